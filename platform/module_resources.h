// Resources of a loaded module (Windows): the string table of the module that contains a given
// address, so that code linked into several modules finds each module's own strings.
#pragma once

#include <cstdint>
#include <string>

namespace quarro::platform {

#if defined(_WIN32)
// LoadStringW on the module containing `addressInModule`; empty when there is no such string.
std::u16string LoadResourceString(const void* addressInModule, std::uint32_t id);
#endif

}  // namespace quarro::platform
