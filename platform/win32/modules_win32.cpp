#include <vector>

#include "platform/win32/win32_os.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

std::u16string Win32Modules::ProgramFileName() {
    // Long paths: grow the buffer until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::u16string(U(buffer.data()), length);
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

LibraryHandle Win32Modules::Load(const char16_t* name, bool quietErrors) {
    if (!name) return 0;
    UINT previous = 0;
    if (quietErrors) previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(W(name));
    if (quietErrors) SetErrorMode(previous);
    return reinterpret_cast<LibraryHandle>(module);
}

void* Win32Modules::GetExport(LibraryHandle library, const char* name) {
    if (!library || !name) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

void Win32Modules::Free(LibraryHandle library) {
    if (library) FreeLibrary(reinterpret_cast<HMODULE>(library));
}

}  // namespace quarro::platform::win32
