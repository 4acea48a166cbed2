// The OS identity concern: version records, native system information, system metrics and the
// product type, as GetVersionExW, GetNativeSystemInfo, GetSystemMetrics and GetProductInfo give them.
#pragma once

#include <cstdint>

namespace quarro::platform {

// Field for field the layout of SYSTEM_INFO (pointers held as integers).
struct SystemInfo {
    std::uint16_t processorArchitecture;
    std::uint16_t reserved;
    std::uint32_t pageSize;
    std::uintptr_t minimumApplicationAddress;
    std::uintptr_t maximumApplicationAddress;
    std::uintptr_t activeProcessorMask;
    std::uint32_t numberOfProcessors;
    std::uint32_t processorType;
    std::uint32_t allocationGranularity;
    std::uint16_t processorLevel;
    std::uint16_t processorRevision;
};

// Field for field the layout of OSVERSIONINFOEXW; the first five fields and the text are
// OSVERSIONINFOW.
struct OsVersionInfoEx {
    std::uint32_t size;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint32_t buildNumber;
    std::uint32_t platformId;
    char16_t csdVersion[128];
    std::uint16_t servicePackMajor;
    std::uint16_t servicePackMinor;
    std::uint16_t suiteMask;
    std::uint8_t productType;
    std::uint8_t reserved;
};

inline constexpr std::uint32_t kOsVersionInfoSize = 276;    // sizeof(OSVERSIONINFOW)
inline constexpr std::uint32_t kOsVersionInfoExSize = 284;  // sizeof(OSVERSIONINFOEXW)
static_assert(sizeof(OsVersionInfoEx) == kOsVersionInfoExSize, "OSVERSIONINFOEXW layout");

inline constexpr std::uint16_t kProcessorArchitectureIntel = 0;
inline constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;
inline constexpr std::uint16_t kProcessorArchitectureIa32OnWin64 = 10;

inline constexpr std::uint8_t kVerNtWorkstation = 1;

inline constexpr int kSmTabletPc = 86;
inline constexpr int kSmMediaCenter = 87;
inline constexpr int kSmStarter = 88;

class IOsIdentity {
public:
    virtual ~IOsIdentity() = default;

    // False when the system has no GetNativeSystemInfo (the record is then untouched).
    virtual bool GetNativeSystemInfo(SystemInfo* info) = 0;
    // Fills as much as info->size asks for (kOsVersionInfoSize or kOsVersionInfoExSize); false
    // for any other size, as the real call does.
    virtual bool GetVersionRecord(OsVersionInfoEx* info) = 0;
    virtual int GetSystemMetrics(int index) = 0;
    // False when the system has no GetProductInfo or the call fails.
    virtual bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor,
                                std::uint32_t spMinor, std::uint32_t* productType) = 0;
};

}  // namespace quarro::platform
