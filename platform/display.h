// The display concern: the current display mode's colour depth and whether the desktop is
// composed by the desktop window manager.
#pragma once

#include <cstdint>

namespace quarro::platform {

class IDisplay {
public:
    virtual ~IDisplay() = default;
    // EnumDisplaySettingsW(NULL, ENUM_CURRENT_SETTINGS): the bits per pixel; false when the mode
    // cannot be read.
    virtual bool CurrentBitsPerPixel(std::uint32_t* bits) = 0;
    // DwmIsCompositionEnabled, loaded by name from "dwmapi.dll": false when the library or the
    // export is missing or the call fails; *enabled is written only on success.
    virtual bool CompositionEnabled(bool* enabled) = 0;
};

}  // namespace quarro::platform
