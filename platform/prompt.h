// The prompt concern: modal message boxes.
#pragma once

#include <cstdint>

namespace quarro::platform {

using WindowHandle = std::uintptr_t;

// MessageBoxW styles and answers (Win32 values).
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconQuestion = 0x20;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr std::uint32_t kMbDefButton2 = 0x100;
inline constexpr std::uint32_t kMbTopMost = 0x40000;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class IPrompt {
public:
    virtual ~IPrompt() = default;
    // MessageBoxW: returns the button pressed, 0 on failure.
    virtual int ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption,
                           std::uint32_t style) = 0;
};

}  // namespace quarro::platform
