#include <windows.h>

#include "platform/last_error.h"

namespace quarro::platform {

std::uint32_t GetLastErrorCode() { return ::GetLastError(); }
void SetLastErrorCode(std::uint32_t error) { ::SetLastError(error); }

}  // namespace quarro::platform
