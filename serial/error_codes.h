// The Win32 error codes the monitor tells apart after a failed port call, as Windows numbers them
// (checked against <windows.h> in windows/serial.cpp).
#pragma once
#include <cstdint>

inline constexpr std::uint32_t kErrorBadCommand = 22;        // ERROR_BAD_COMMAND
inline constexpr std::uint32_t kErrorGenFailure = 31;        // ERROR_GEN_FAILURE
inline constexpr std::uint32_t kErrorSemTimeout = 121;       // ERROR_SEM_TIMEOUT
inline constexpr std::uint32_t kErrorOperationAborted = 995; // ERROR_OPERATION_ABORTED
