// Natively the last error is a per-thread value, as on Windows. (The Windows build uses the
// real one, see platform/win32/last_error_win32.cpp.)
#include "platform/last_error.h"

namespace quarro::platform {

namespace {
thread_local std::uint32_t lastError = 0;
}

std::uint32_t GetLastErrorCode() { return lastError; }
void SetLastErrorCode(std::uint32_t error) { lastError = error; }

}  // namespace quarro::platform
