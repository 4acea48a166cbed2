// The battery concern: the batteries that Windows' battery class driver serves, found through
// their device interfaces ({72631E54-78A4-11D0-BCF7-00AA00B7B32A}) and asked with the
// IOCTL_BATTERY_* requests. The battery tab and the watch service read batteries only through it.
//
// Each call is one Win32 step, so a caller decides which failure matters:
//   OpenSet / InterfacePath / CloseSet   SetupDiGetClassDevsW(GUID_DEVICE_BATTERY, flags), then per
//                                        index SetupDiEnumDeviceInterfaces and the two calls of
//                                        SetupDiGetDeviceInterfaceDetailW (size, then data)
//   Open / Close                         CreateFileW(GENERIC_READ, no sharing, OPEN_EXISTING,
//                                        FILE_FLAG_OVERLAPPED)
//   QueryTag                             IOCTL_BATTERY_QUERY_TAG with a wait in milliseconds
//   QueryDeviceName, QueryInformation,   IOCTL_BATTERY_QUERY_INFORMATION at the levels
//   QueryEstimatedTime                   BatteryDeviceName, BatteryInformation, BatteryEstimatedTime
//   QueryStatus                          IOCTL_BATTERY_QUERY_STATUS with a wait in milliseconds
//
// Promises: replies are checked before they are handed on (a reply of the wrong size is a failed
// query), a device name is cut at 259 characters, and every failure sets the thread's last error.
// Calls on one handle come from one thread at a time; different handles may be used from
// different threads.
#pragma once

#include <cstdint>
#include <string>

#include "platform/owner.h"

namespace quarro::platform {

using BatterySet = std::uintptr_t;     // HDEVINFO; 0 when none could be had
using BatteryHandle = std::uintptr_t;  // HANDLE
inline constexpr BatteryHandle kNoBattery = ~static_cast<BatteryHandle>(0);  // INVALID_HANDLE_VALUE

// Values the battery class driver uses.
inline constexpr std::uint32_t kBatteryPowerOnLine = 0x1;
inline constexpr std::uint32_t kBatteryDischarging = 0x2;
inline constexpr std::uint32_t kBatteryCharging = 0x4;
inline constexpr std::uint32_t kBatteryCritical = 0x8;
inline constexpr std::uint32_t kBatteryCapacityRelative = 0x40000000;
inline constexpr std::uint32_t kBatteryUnknownValue = 0xFFFFFFFFu;  // capacity, voltage, time
inline constexpr std::int32_t kBatteryUnknownRate = static_cast<std::int32_t>(0x80000000u);
inline constexpr std::uint32_t kBatteryNameMaxChars = 259;
inline constexpr std::uint32_t kBatteryNameReplyBytes = 520;
// DIGCF_DEVICEINTERFACE and DIGCF_PRESENT, for OpenSet.
inline constexpr std::uint32_t kBatterySetInterfaces = 0x10;
inline constexpr std::uint32_t kBatterySetPresent = 0x02;

// BATTERY_INFORMATION, field for field (36 bytes).
struct BatteryInformation {
    std::uint32_t capabilities = 0;
    std::uint8_t technology = 0;
    std::uint8_t reserved[3] = {};
    char chemistry[4] = {};
    std::uint32_t designedCapacity = 0;
    std::uint32_t fullChargedCapacity = 0;
    std::uint32_t defaultAlert1 = 0;
    std::uint32_t defaultAlert2 = 0;
    std::uint32_t criticalBias = 0;
    std::uint32_t cycleCount = 0;
};
static_assert(sizeof(BatteryInformation) == 36, "BATTERY_INFORMATION layout");

// BATTERY_STATUS, field for field (16 bytes).
struct BatteryStatus {
    std::uint32_t powerState = 0;
    std::uint32_t capacity = 0;
    std::uint32_t voltage = 0;
    std::int32_t rate = 0;
};
static_assert(sizeof(BatteryStatus) == 16, "BATTERY_STATUS layout");

class IBatteries {
public:
    virtual ~IBatteries() = default;

    // The device-information set of the battery interfaces; 0 on failure.
    virtual BatterySet OpenSet(std::uint32_t flags) = 0;
    // The device path of the interface at `index`: false with ERROR_NO_MORE_ITEMS past the last
    // one, with another error when a step for this index failed (the next index may still work).
    virtual bool InterfacePath(BatterySet set, std::uint32_t index, std::u16string* path) = 0;
    virtual void CloseSet(BatterySet set) = 0;

    // Opens a battery's device path; kNoBattery on failure.
    virtual BatteryHandle Open(const char16_t* path) = 0;
    virtual void Close(BatteryHandle battery) = 0;

    // The tag of the battery now in the slot, waiting up to `waitMs` for one; false (tag 0) when
    // there is no battery or the request failed.
    virtual bool QueryTag(BatteryHandle battery, std::uint32_t waitMs, std::uint32_t* tag) = 0;
    // The battery's name, at most kBatteryNameMaxChars characters.
    virtual bool QueryDeviceName(BatteryHandle battery, std::uint32_t tag, std::u16string* name) = 0;
    virtual bool QueryInformation(BatteryHandle battery, std::uint32_t tag, BatteryInformation* info) = 0;
    // Seconds left at the present rate (kBatteryUnknownValue when the driver cannot tell).
    virtual bool QueryEstimatedTime(BatteryHandle battery, std::uint32_t tag, std::uint32_t* seconds) = 0;
    virtual bool QueryStatus(BatteryHandle battery, std::uint32_t tag, std::uint32_t waitMs,
                             BatteryStatus* status) = 0;
};

struct BatterySetTraits {
    using Interface = IBatteries;
    using Handle = BatterySet;
    static BatterySet None() { return 0; }
    static void Close(IBatteries& batteries, BatterySet set) {
        const KeepLastError keep;
        batteries.CloseSet(set);
    }
};
struct BatteryHandleTraits {
    using Interface = IBatteries;
    using Handle = BatteryHandle;
    static BatteryHandle None() { return kNoBattery; }
    static void Close(IBatteries& batteries, BatteryHandle battery) {
        const KeepLastError keep;
        batteries.Close(battery);
    }
};
using OwnedBatterySet = SeamOwner<BatterySetTraits>;
using OwnedBattery = SeamOwner<BatteryHandleTraits>;

}  // namespace quarro::platform
