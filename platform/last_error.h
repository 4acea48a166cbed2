// The thread's last Win32 error, as GetLastError/SetLastError keep it. On Windows these are the
// real calls, so a simulated device and the real system share one last error.
#pragma once

#include <cstdint>

namespace quarro::platform {

std::uint32_t GetLastErrorCode();
void SetLastErrorCode(std::uint32_t error);

}  // namespace quarro::platform
