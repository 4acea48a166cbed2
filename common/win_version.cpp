#include "common/win_version.h"

#include <cstring>

#include "common/reg.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

CWinVersion::CWinVersion(Form form) {
    VersionInfo.size = pf::kOsVersionInfoSize;
    pf::IOsIdentity& os = pf::Os();

    if (os.GetNativeSystemInfo(&SystemInfo)) {
        switch (SystemInfo.processorArchitecture) {
        case pf::kProcessorArchitectureIntel: Bitness = 1; break;
        case pf::kProcessorArchitectureIa64:
        case pf::kProcessorArchitectureAmd64:
        case pf::kProcessorArchitectureIa32OnWin64: Bitness = 2; break;
        default: Bitness = 0; break;
        }
    }

    if (os.GetSystemMetrics(pf::kSmTabletPc)) EditionFlags |= kEditionTabletPc;
    if (os.GetSystemMetrics(pf::kSmMediaCenter)) EditionFlags |= kEditionMediaCenter;
    if (os.GetSystemMetrics(pf::kSmStarter)) EditionFlags |= kEditionStarter;

    if (!os.GetVersionRecord(&VersionInfo)) {
        OsType = kUnknown;
        return;
    }
    OsType = Classify(form);

    ServicePackMajor = VersionInfo.servicePackMajor;
    std::size_t units = 0;
    while (units < 127 && VersionInfo.csdVersion[units]) ++units;
    std::memcpy(ServicePackText, VersionInfo.csdVersion, units * sizeof(char16_t));
    ServicePackText[units] = 0;

    std::uint32_t product = 0;
    if (VersionInfo.majorVersion >= 6 &&
        os.GetProductInfo(VersionInfo.majorVersion, VersionInfo.minorVersion, VersionInfo.servicePackMajor,
                          VersionInfo.servicePackMinor, &product)) {
        ProductType = product;
    }
}

std::int16_t CWinVersion::Classify(Form form) {
    const std::uint32_t platformId = VersionInfo.platformId;
    if (platformId == 0) return kWin32s;
    if (platformId == 1) {
        if (VersionInfo.minorVersion < 10) return kWindows95;
        if (VersionInfo.minorVersion < 90) return kWindows98;
        return kWindowsMe;
    }
    if (platformId != 2) return kUnknown;
    if (VersionInfo.majorVersion <= 4) return kNt4;

    // From NT 5 on the product type and service pack numbers are needed: ask again with the
    // extended record.
    std::memset(&VersionInfo, 0, sizeof(VersionInfo));
    VersionInfo.size = pf::kOsVersionInfoExSize;
    if (!pf::Os().GetVersionRecord(&VersionInfo)) return kUnknown;

    const std::uint32_t major = VersionInfo.majorVersion;
    const std::uint32_t minor = VersionInfo.minorVersion;
    const bool workstation = VersionInfo.productType == pf::kVerNtWorkstation;
    if (major >= 7) return kFutureOs;
    if (major == 5) {
        if (minor == 0) return kWindows2000;
        if (minor == 1) return kWindowsXp;
        // NT 5.2: XP x64 is a workstation on AMD64; everything else is Server 2003.
        const bool amd64 = SystemInfo.processorArchitecture == pf::kProcessorArchitectureAmd64;
        return workstation && amd64 ? kWindowsXp : kServer2003;
    }
    if (major == 6) {
        if (minor == 0) return workstation ? kVista : kServer2008;
        if (minor == 1) return workstation ? kWindows7 : kServer2008R2;
        if (minor == 2 || form == Form::Earlier) return workstation ? kWindows8 : kServer2012;
        return workstation ? kWindows81 : kServer2012R2;
    }
    return kUnknown;
}

int CWinVersion::ConfirmSupportedOs(pf::WindowHandle owner, const char16_t* text, const char16_t* caption) const {
    if (OsType != kFutureOs) return 1;
    CReg reg;
    std::uint32_t disabled = 0;
    if (reg.ReadDword(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\Common", u"DisableFutureOSWarning", &disabled,
                      pf::kKeyWow64_64Key) &&
        disabled == 1) {
        return 1;
    }
    if (!text || !caption) return 1;
    const int answer =
        pf::Prompt().ShowMessage(owner, text, caption, pf::kMbYesNo | pf::kMbIconWarning | pf::kMbDefButton2 | pf::kMbTopMost);
    return answer == pf::kIdNo ? 0 : 1;
}

bool CWinVersion::IsVistaFamilyClient() const {
    return OsType == kVista || OsType == kWindows7 || OsType == kWindows8 || OsType == kWindows81 ||
           OsType == kFutureOs;
}
