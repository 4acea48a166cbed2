// The display concern on Windows: EnumDisplaySettingsW, and DwmIsCompositionEnabled from
// "dwmapi.dll" loaded by name (the library does not exist before Vista).
#include <windows.h>

#include "platform/concerns.h"
#include "platform/display.h"
#include "platform/win32/handles.h"

namespace quarro::platform::win32 {

namespace {

class Win32Display : public IDisplay {
public:
    bool CurrentBitsPerPixel(std::uint32_t* bits) override {
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return false;
        if (bits) *bits = mode.dmBitsPerPel;
        return true;
    }

    bool CompositionEnabled(bool* enabled) override {
        quarro::win32::UniqueLibrary dwm(LoadLibraryW(L"dwmapi.dll"));
        if (!dwm) return false;
        using IsEnabled = HRESULT(WINAPI*)(BOOL*);
        const auto isEnabled =
            reinterpret_cast<IsEnabled>(reinterpret_cast<void*>(GetProcAddress(dwm.Get(), "DwmIsCompositionEnabled")));
        if (!isEnabled) return false;
        BOOL on = FALSE;
        if (FAILED(isEnabled(&on))) return false;
        if (enabled) *enabled = on != FALSE;
        return true;
    }
};

}  // namespace

std::shared_ptr<IDisplay> MakeWin32Display() { return std::make_shared<Win32Display>(); }

}  // namespace quarro::platform::win32
