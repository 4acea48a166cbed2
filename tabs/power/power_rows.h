// The table of the "Power Options" tab (Facet08): the active power plan (scheme) and its settings
// in words, one row per item, or three (the item, its battery value, its mains value) when the
// machine has batteries. Three ways of collecting, chosen by the OS identity: Vista; Windows 7,
// 8, 8.1 and later; and the older systems (XP, 2000 and the servers), which have power schemes
// and policies instead of plans. Nothing on the system is changed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/power.h"
#include "tabframe/list_table.h"

namespace power_tab {

// String-table ids of the module.
enum StringId : std::uint32_t {
    kItemTitle = 4001,
    kSettingsTitle = 4002,
    kSectionHead = 4003,
    kUnknown = 4004,
    kPowerPlan = 4005,
    kPowerScheme = 4006,
    kOnBattery = 4020,
    kPluggedIn = 4021,
    kNotFound = 4067,
};

inline constexpr int kRowCapacity = 200;
enum Column : int { kItemColumn = 0, kSettingsColumn, kColumnCount };
extern const tabframe::ListColumnSpec kColumns[kColumnCount];

// How a raw setting value becomes text. A value outside a formatter's domain is "Unknown".
enum class Formatter {
    kMinutes,          // seconds: "Never" below a minute, "1 Minute", "%d Minutes"
    kOffOn,
    kNoYes,
    kDisabledEnabled,
    kPercent,          // 0..100: "%d%"
    kAction,           // plans: do nothing, sleep, hibernate, shut down
    kOlderAction,      // schemes: POWER_ACTION values
    kWireless,
    kLinkState,
    kPlanKind,
    kSharingMediaVista,
    kSharingMedia,     // Windows 7 and later (the same words under other ids)
    kCooling,
    kVideo,
    kSlideShow,
};

using StringSource = std::function<std::u16string(std::uint32_t id)>;

// The setting text of `value`.
std::u16string FormatSetting(Formatter formatter, std::uint32_t value, const StringSource& strings);

// The three ways of collecting.
enum class OsPath { kOlder, kVista, kWindows7AndLater };
OsPath PathFor(int osType);

// The subgroups the further settings leave out on an OS (those the fixed items cover).
const char* const* ExcludedSubgroups(int osType, int* count);

struct PowerFacts {
    int osType = 0;             // CWinVersion::OsType
    bool administrator = false;  // member of the local Administrators group (older systems only)
};

// Fills `table` (row 0 is the plan row). False when the power capabilities cannot be read.
bool FillPowerRows(tabframe::ListTable& table, quarro::platform::IPower& power, const PowerFacts& facts,
                   const StringSource& strings);

}  // namespace power_tab
