# The Windows program: the portable monitor plus its Win32 bindings and window shell.
enable_language(RC)
# Stripped: the symbols of the static runtime would otherwise be most of the file and be read
# into memory by the loader.
set(static_flags -static -static-libgcc -static-libstdc++ -s)
# Windows 7 SP1 and later: the SDK declares nothing newer, so a newer function cannot be called
# by mistake; the few the program uses are looked up at run time (windows/newer_api.cpp).
target_compile_definitions(vortika_subsystems PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                     _WIN32_WINNT=0x0601 WINVER=0x0601)

# The version resource and the manifest carry the project's version (four parts).
set(VORTIKA_VERSION4 "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(VORTIKA_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, 0")
set(VORTIKA_MANIFEST ${CMAKE_BINARY_DIR}/VORTikaMonitor.manifest)
set(VORTIKA_ICON ${CMAKE_SOURCE_DIR}/windows/VORTikaMonitor.ico)
configure_file(${CMAKE_SOURCE_DIR}/windows/VORTikaMonitor.manifest.in ${VORTIKA_MANIFEST} @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/windows/VORTikaMonitor.rc.in ${CMAKE_BINARY_DIR}/VORTikaMonitor.rc @ONLY)

# The event log's message table, English and French, from the UTF-8 text of the messages; the
# resource script includes it from the build folder.
find_program(VORTIKA_WINDMC NAMES x86_64-w64-mingw32-windmc windmc REQUIRED)
set(VORTIKA_MESSAGES ${CMAKE_BINARY_DIR}/event_messages.rc ${CMAKE_BINARY_DIR}/MSG00409.bin
                     ${CMAKE_BINARY_DIR}/MSG0040C.bin)
add_custom_command(OUTPUT ${VORTIKA_MESSAGES}
  COMMAND ${VORTIKA_WINDMC} -C 65001 -U -h ${CMAKE_BINARY_DIR} -r ${CMAKE_BINARY_DIR}
          ${CMAKE_SOURCE_DIR}/windows/event_messages.mc
  DEPENDS ${CMAKE_SOURCE_DIR}/windows/event_messages.mc VERBATIM)

add_executable(VORTikaMonitor WIN32 ${WINDOWS_SOURCES} ${CMAKE_BINARY_DIR}/VORTikaMonitor.rc)
target_link_libraries(VORTikaMonitor PRIVATE vortika_core)
target_link_options(VORTikaMonitor PRIVATE -municode ${static_flags})
# Known DLLs only (mapped from System32 whatever the search path; comctl32 from the side-by-side
# assembly the manifest names): anything else is loaded at run time from System32.
target_link_libraries(VORTikaMonitor PRIVATE comctl32 shell32 gdi32 user32 advapi32 ole32 oleaut32 uuid)
set_target_properties(VORTikaMonitor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set_source_files_properties(${CMAKE_BINARY_DIR}/VORTikaMonitor.rc PROPERTIES
  OBJECT_DEPENDS "${VORTIKA_MANIFEST};${VORTIKA_ICON};${VORTIKA_MESSAGES}")
# Small Win32 helpers that the end-to-end tests drive.
file(GLOB win_tools CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/win32/*.cpp)
foreach(src IN LISTS win_tools)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} WIN32 ${src})
  target_compile_definitions(${name} PRIVATE UNICODE _UNICODE NOMINMAX)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_options(${name} PRIVATE -municode ${static_flags})
  target_link_libraries(${name} PRIVATE user32 gdi32 shell32)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endforeach()
