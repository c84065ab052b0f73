"""The import table of the built .exe names no function newer than Windows 7, and no DLL that the
loader would look for beside the program.

Windows refuses to start a program whose import table names a function the system lacks ("The
procedure entry point ... could not be located"), so every function added after Windows 7 is looked
up at run time (windows/newer_api.cpp). This reads the table with mingw-w64's objdump; it needs the
Windows build but not Wine.

Run as a script, it prints the table: ``python3 test_imports.py --list [path/to/exe]``.
"""

from __future__ import annotations

import os
import re
import shutil
import subprocess
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_DIR = Path(os.environ.get("VORTIKA_SOURCE_DIR", HERE.parent.parent)).resolve()
WINDOWS_BUILD = Path(os.environ.get("VORTIKA_WINDOWS_BUILD", SOURCE_DIR / "build" / "windows")).resolve()
MONITOR_EXE = WINDOWS_BUILD / "VORTikaMonitor.exe"
OBJDUMP = "x86_64-w64-mingw32-objdump"

# Functions that Windows 7 SP1 lacks and that a program like this one is tempted to call. Each
# entry is the first Windows version that has it.
NEWER_THAN_WINDOWS_7 = {
    # user32
    "GetDpiForWindow": "10 1607",
    "GetDpiForSystem": "10 1607",
    "AdjustWindowRectExForDpi": "10 1607",
    "GetSystemMetricsForDpi": "10 1607",
    "SystemParametersInfoForDpi": "10 1607",
    "EnableNonClientDpiScaling": "10 1607",
    "SetThreadDpiAwarenessContext": "10 1607",
    "GetThreadDpiAwarenessContext": "10 1607",
    "GetWindowDpiAwarenessContext": "10 1607",
    "AreDpiAwarenessContextsEqual": "10 1607",
    "SetProcessDpiAwarenessContext": "10 1703",
    "GetDpiForMonitor": "8.1",  # shcore
    "SetProcessDpiAwareness": "8.1",  # shcore
    "GetProcessDpiAwareness": "8.1",  # shcore
    "GetPointerType": "8",
    "GetPointerInfo": "8",
    "SetCoalescableTimer": "8",
    "IsImmersiveProcess": "8",
    "GetDisplayAutoRotationPreferences": "8",
    # kernel32
    "GetSystemTimePreciseAsFileTime": "8",
    "CreateFile2": "8",
    "GetCurrentThreadStackLimits": "8",
    "SetThreadDescription": "10 1607",
    "GetThreadDescription": "10 1607",
    "SetThreadInformation": "8",
    "GetProcessInformation": "8",
    "PrefetchVirtualMemory": "8",
    "VirtualAlloc2": "10 1803",
    "WaitOnAddress": "8",
    "WakeByAddressSingle": "8",
    "WakeByAddressAll": "8",
    "CopyFile2": "8",
    "GetOverlappedResultEx": "8",
    "AppPolicyGetProcessTerminationMethod": "10",
}

# DLLs that Windows 7 does not have at all.
DLLS_NEWER_THAN_WINDOWS_7 = {"shcore.dll", "api-ms-win-core-synch-l1-2-0.dll"}


# What the program may import: the system's known DLLs (HKLM\SYSTEM\CurrentControlSet\Control\
# Session Manager\KnownDLLs, the same on Windows 7 to 11), which the loader maps from System32
# whatever lies beside the program; and comctl32, which the manifest binds to the side-by-side
# assembly of the common controls 6. Any other DLL would be looked for in the program's folder first
# (the setup runs the program's helper modes elevated from its temporary folder): load it at run time
# from System32 (windows/system_library.h).
ALLOWED_DLLS = {"advapi32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
                "shell32.dll", "user32.dll", "comctl32.dll"}
MANIFEST = WINDOWS_BUILD / "VORTikaMonitor.manifest"


def read_imports(exe: Path) -> dict[str, list[str]]:
    """DLL name -> imported function names (or '#ordinal'), from objdump's import table."""
    out = subprocess.run([OBJDUMP, "-p", str(exe)], check=True, capture_output=True, text=True).stdout
    imports: dict[str, list[str]] = {}
    section = False
    current: list[str] | None = None
    for line in out.splitlines():
        if line.startswith("The Import Tables"):
            section = True
            continue
        if not section:
            continue
        if line and not line[0].isspace():
            break  # the next table
        m = re.match(r"^\s*DLL Name:\s*(\S+)", line)
        if m:
            current = imports.setdefault(m.group(1), [])
            continue
        if current is None:
            continue
        # "	4af28	 1604  RegCloseKey" (by name) or "	80000000	   12  <none>" (by ordinal)
        m = re.match(r"^\t([0-9a-fA-F]+)\s+(\d+)\s+(\S+)", line)
        if m:
            name = m.group(3)
            current.append(name if name != "<none>" else f"#{m.group(2)}")
        elif not line.strip():
            current = None
    return imports


@unittest.skipUnless(shutil.which(OBJDUMP), f"{OBJDUMP} is not installed")
class ImportTableTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not MONITOR_EXE.is_file():
            raise unittest.SkipTest(f"{MONITOR_EXE} is not built")
        cls.imports = read_imports(MONITOR_EXE)

    def test_TableIsRead(self):
        # A change of objdump's layout must not turn the checks below into checks of nothing.
        self.assertIn("KERNEL32.dll", self.imports)
        self.assertIn("USER32.dll", self.imports)
        self.assertIn("CreateWindowExW", self.imports["USER32.dll"])

    def test_NoFunctionNewerThanWindows7IsImported(self):
        found = sorted(f"{dll}!{name} (Windows {NEWER_THAN_WINDOWS_7[name]})"
                       for dll, names in self.imports.items() for name in names if name in NEWER_THAN_WINDOWS_7)
        self.assertEqual(found, [], "the program would not start on Windows 7: look these up at run time")

    def test_OnlyKnownDllsAreImported(self):
        found = sorted(dll for dll in self.imports if dll.lower() not in ALLOWED_DLLS)
        self.assertEqual(found, [], "a DLL planted beside the program would be loaded: load these from System32")
        if "comctl32.dll" in (dll.lower() for dll in self.imports):
            self.assertIn('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', MANIFEST.read_text())

    def test_NoDllNewerThanWindows7IsImported(self):
        found = sorted(dll for dll in self.imports if dll.lower() in DLLS_NEWER_THAN_WINDOWS_7)
        self.assertEqual(found, [])


if __name__ == "__main__":
    if len(sys.argv) >= 2 and sys.argv[1] == "--list":
        exe = Path(sys.argv[2]) if len(sys.argv) > 2 else MONITOR_EXE
        for dll, names in read_imports(exe).items():
            for name in names:
                print(f"{dll}: {name}")
    else:
        unittest.main()
