// The module concern on Windows: GetModuleFileNameW, LoadLibraryW, GetProcAddress, FreeLibrary.
// A loaded library is the caller's to free through IModules::Free.
#include <vector>

#include "platform/concerns.h"
#include "platform/modules.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

// SetErrorMode for the lifetime of the object; the previous mode comes back when it goes.
class ErrorModeScope {
public:
    explicit ErrorModeScope(UINT mode) : previous_(SetErrorMode(mode)) {}
    ~ErrorModeScope() { SetErrorMode(previous_); }
    ErrorModeScope(const ErrorModeScope&) = delete;
    ErrorModeScope& operator=(const ErrorModeScope&) = delete;

private:
    UINT previous_;
};

class Win32Modules : public IModules {
public:
    std::u16string ProgramFileName() override {
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

    LibraryHandle Load(const char16_t* name, bool quietErrors) override {
        if (!name) return 0;
        if (quietErrors) {
            const ErrorModeScope quiet(SEM_NOOPENFILEERRORBOX);
            return reinterpret_cast<LibraryHandle>(LoadLibraryW(W(name)));
        }
        return reinterpret_cast<LibraryHandle>(LoadLibraryW(W(name)));
    }

    void* GetExport(LibraryHandle library, const char* name) override {
        if (!library || !name) return nullptr;
        return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
    }

    void Free(LibraryHandle library) override {
        if (library) FreeLibrary(reinterpret_cast<HMODULE>(library));
    }
};

}  // namespace

std::shared_ptr<IModules> MakeWin32Modules() { return std::make_shared<Win32Modules>(); }

}  // namespace quarro::platform::win32
