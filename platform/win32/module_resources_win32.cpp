#include "platform/module_resources.h"

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace quarro::platform {

std::u16string LoadResourceString(const void* addressInModule, std::uint32_t id) {
    const HINSTANCE module = quarro::win32::ModuleOfAddress(addressInModule);
    if (!module) return {};
    // With a zero buffer size LoadStringW hands back a pointer to the resource text itself.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::u16string(win32::U(text), static_cast<std::size_t>(length));
}

}  // namespace quarro::platform
