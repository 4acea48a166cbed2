// CWinVersion: classifies the running operating system once, when it is constructed.
#pragma once

#include <cstdint>

#include "platform/os_identity.h"
#include "platform/prompt.h"

class CWinVersion {
public:
    // The hard-disk tab, the watch service and the utility were built against the earlier
    // classification, which has no codes for NT 6.3 and later minors: there they count as NT 6.2
    // (13 or 14), so those programs' tests of 13 also hold on Windows 8.1.
    enum class Form { Current, Earlier };

    // OsType codes.
    static constexpr std::int16_t kUnknown = 0;
    static constexpr std::int16_t kWin32s = 1;
    static constexpr std::int16_t kWindows95 = 2;
    static constexpr std::int16_t kWindows98 = 3;
    static constexpr std::int16_t kNt4 = 4;
    static constexpr std::int16_t kWindows2000 = 5;
    static constexpr std::int16_t kWindowsXp = 6;
    static constexpr std::int16_t kWindowsMe = 7;
    static constexpr std::int16_t kVista = 8;
    static constexpr std::int16_t kServer2008 = 9;
    static constexpr std::int16_t kServer2003 = 10;
    static constexpr std::int16_t kWindows7 = 11;
    static constexpr std::int16_t kServer2008R2 = 12;
    static constexpr std::int16_t kWindows8 = 13;
    static constexpr std::int16_t kServer2012 = 14;
    static constexpr std::int16_t kWindows81 = 15;
    static constexpr std::int16_t kServer2012R2 = 16;
    static constexpr std::int16_t kFutureOs = -1;

    // EditionFlags bits.
    static constexpr std::uint32_t kEditionTabletPc = 1u << 0;
    static constexpr std::uint32_t kEditionMediaCenter = 1u << 1;
    static constexpr std::uint32_t kEditionStarter = 1u << 2;

    explicit CWinVersion(Form form = Form::Current);
    virtual ~CWinVersion() = default;

    // 1 = continue, 0 = stop. Asks only on a future system, unless the machine-wide
    // "DisableFutureOSWarning" (REG_DWORD 1, 64-bit view) says not to.
    int ConfirmSupportedOs(quarro::platform::WindowHandle owner, const char16_t* text, const char16_t* caption) const;

    // True for a client Windows of the Vista family or later (8, 11, 13, 15, -1).
    bool IsVistaFamilyClient() const;

    quarro::platform::SystemInfo SystemInfo{};
    quarro::platform::OsVersionInfoEx VersionInfo{};
    std::int16_t OsType = kUnknown;
    std::uint16_t Bitness = 0;
    std::uint32_t EditionFlags = 0;
    std::uint16_t ServicePackMajor = 0;
    char16_t ServicePackText[128] = {};
    std::uint32_t ProductType = 0;

private:
    std::int16_t Classify(Form form);
};
