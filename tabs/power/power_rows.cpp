#include "tabs/power/power_rows.h"

#include <cstdio>
#include <memory>

#include "platform/utf8.h"

namespace power_tab {

namespace pf = quarro::platform;

const tabframe::ListColumnSpec kColumns[kColumnCount] = {
    {kItemTitle, 200, "%-34s ", 260},
    {kSettingsTitle, 220, "%s\r\n", 260},
};

namespace {

// --- words -----------------------------------------------------------------------------------

enum WordId : std::uint32_t {
    kNever = 4022, kMinute = 4023, kMinutes = 4024, kOff = 4025, kOn = 4026, kNo = 4027, kYes = 4028,
    kDisabled = 4029, kEnabled = 4041, kDoNothing = 4042, kSleep = 4043, kHibernate = 4044, kShutDown = 4045,
    kStandBy = 4046, kAskMe = 4047, kNoAction = 4048, kMaximumPerformance = 4049, kLowPowerSaving = 4050,
    kMediumPowerSaving = 4051, kMaximumPowerSaving = 4052, kModerateSavings = 4053, kMaximumSavings = 4061,
    kPowerSaver = 4062, kBalanced = 4063, kHighPerformance = 4066, kPassive = 4082, kActive = 4083,
    kOptimizeVideo = 4086, kOptimizePower = 4087, kAvailable = 4088, kPaused = 4089,
};

struct Word {
    std::uint32_t value;
    std::uint32_t id;
};
struct WordList {
    Formatter formatter;
    Word words[6];
    int count;
};

const WordList kWordLists[] = {
    {Formatter::kOffOn, {{0, kOff}, {1, kOn}}, 2},
    {Formatter::kNoYes, {{0, kNo}, {1, kYes}}, 2},
    {Formatter::kDisabledEnabled, {{0, kDisabled}, {1, kEnabled}}, 2},
    {Formatter::kAction, {{0, kDoNothing}, {1, kSleep}, {2, kHibernate}, {3, kShutDown}}, 4},
    {Formatter::kOlderAction,
     {{0, kDoNothing}, {2, kStandBy}, {3, kHibernate}, {4, kShutDown}, {6, kShutDown}, {8, kAskMe}}, 6},
    {Formatter::kWireless,
     {{0, kMaximumPerformance}, {1, kLowPowerSaving}, {2, kMediumPowerSaving}, {3, kMaximumPowerSaving}}, 4},
    {Formatter::kLinkState, {{0, kOff}, {1, kModerateSavings}, {2, kMaximumSavings}}, 3},
    {Formatter::kPlanKind, {{0, kPowerSaver}, {1, kBalanced}, {2, kHighPerformance}}, 3},
    {Formatter::kSharingMediaVista, {{0, 4054}, {1, 4055}, {2, 4056}}, 3},
    {Formatter::kSharingMedia, {{0, 4090}, {1, 4091}, {2, 4092}}, 3},
    {Formatter::kCooling, {{0, kPassive}, {1, kActive}}, 2},
    {Formatter::kVideo, {{0, kOptimizeVideo}, {1, kBalanced}, {2, kOptimizePower}}, 3},
    {Formatter::kSlideShow, {{0, kAvailable}, {1, kPaused}}, 2},
};

std::u16string Ascii(const char* text) { return quarro::platform::Utf8ToUtf16(text); }

std::u16string Number(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld", value);
    return Ascii(text);
}

// --- the items -------------------------------------------------------------------------------

enum class When {
    kAlways, kSleepStates, kS4, kS4AndFast, kLid, kPowerButton, kSleepButton, kBatteries, kWindows7Only,
    kSuspendAllowed, kHibernateAllowed, kHibernateAllowedAndFast,
};

constexpr const char* kNoSubgroup = "fea3413e-7e05-4911-9a71-700331f1c294";
constexpr const char* kDisplay = "7516b95f-f776-4464-8c53-06167f40cc99";
constexpr const char* kDisk = "0012ee47-9041-4b5d-9b77-535fba8b1442";
constexpr const char* kSleepGroup = "238c9fa8-0aad-41ed-83f4-97be242c8f20";
constexpr const char* kButtons = "4f971e89-eebd-4455-a8de-9e59040e7347";
constexpr const char* kBattery = "e73a048d-bf27-4f12-9731-8b2076e8891f";
constexpr const char* kProcessor = "54533251-82be-4824-96c1-47b60b740d00";
constexpr const char* kPciExpress = "501a4d13-42af-4429-9fd1-a8218c268e20";
constexpr const char* kWirelessGroup = "19cbb8fa-5279-450e-9fac-8a3d5fedd0c1";
constexpr const char* kUsb = "2a737441-1930-4402-8d77-b2bebba308a3";
constexpr const char* kMultimedia = "9596fb26-9850-41fd-ac3e-f7c3c00afd4b";
constexpr const char* kSearch = "581a5406-53a3-4acd-af43-f685fa098e06";
constexpr const char* kSlideShowGroup = "0d7dbae2-4294-402a-ba8e-26777e8488cd";

struct PlanItem {
    std::uint32_t name;       // string id on this OS
    std::uint32_t nameLater;  // string id after Windows 7 (0: the same)
    const char* subgroup;
    const char* setting;
    When when;
    Formatter formatter;
    std::uint32_t add;  // added to the raw value before it is formatted
};

using F = Formatter;

const PlanItem kWindows7Items[] = {
    {4074, 0, kDisplay, "17aaa29b-8b43-4b94-aafe-35f64daaf1ee", When::kAlways, F::kMinutes, 0},
    {4057, 0, kDisplay, "3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e", When::kAlways, F::kMinutes, 0},
    {4065, 0, kDisk, "6738e2c4-e8a5-4a42-b16a-e040e769756e", When::kAlways, F::kMinutes, 0},
    {4008, 0, kSleepGroup, "29f6c1db-86da-48c5-9fdb-f2b67b1f44da", When::kSleepStates, F::kMinutes, 0},
    {4064, 0, kSleepGroup, "9d7815a6-7ee4-497e-8888-515a05f02364", When::kS4, F::kMinutes, 0},
    {4012, 0, kSleepGroup, "94ac6d29-73ce-41a6-809f-6363ba21b47e", When::kS4AndFast, F::kOffOn, 0},
    {4075, 0, kSleepGroup, "bd3b718a-0680-4d9d-8ab2-e1d2b4ac806d", When::kSleepStates, F::kDisabledEnabled, 0},
    {4076, 0, kButtons, "5ca83367-6e45-459f-a27b-476b1d01c936", When::kLid, F::kAction, 0},
    {4014, 0, kButtons, "7648efa3-dd9c-4e3e-b566-50f929386280", When::kPowerButton, F::kAction, 0},
    {4073, 0, kButtons, "96996bc0-ad50-47ec-923b-6f41874dd9eb", When::kSleepButton, F::kAction, 0},
    {4030, 4097, kBattery, "bcded951-187b-4d05-bccc-f7e51960c258", When::kBatteries, F::kOffOn, 0},
    {4015, 4098, kBattery, "8183ba9a-e910-48da-8769-14ae6dc1170a", When::kBatteries, F::kPercent, 0},
    {4016, 4099, kBattery, "d8742dcb-3e6a-4b3c-b3fe-374623cdcf06", When::kBatteries, F::kAction, 0},
    {4017, 0, kBattery, "9a66d8d7-4ff7-4ef9-b5a2-5a326ca2a469", When::kBatteries, F::kPercent, 0},
    {4018, 4100, kBattery, "637ea02f-bbcb-4015-8e2c-a1c7b9c0b546", When::kBatteries, F::kAction, 0},
    {4077, 0, kBattery, "f3c5027d-cd16-4930-aa6b-90db844a8f00", When::kBatteries, F::kPercent, 0},
    {4094, 0, kNoSubgroup, "0e796bdb-100d-47d6-a2d5-f7d2daa51f51", When::kAlways, F::kNoYes, 0},
    {4078, 0, kDisk, "ddde356e-bdc6-4b22-a9e3-70d1f92c3017", When::kAlways, F::kDisabledEnabled, 0},
    {4079, 0, kWirelessGroup, "12bbebe6-58d6-4636-95bb-3217ef867c1a", When::kAlways, F::kWireless, 0},
    {4093, 0, kUsb, "48e6b7a6-50f5-4782-a5d4-53bb8f07e226", When::kAlways, F::kDisabledEnabled, 0},
    {4034, 0, kPciExpress, "ee12f906-d277-404b-b6da-e5fa1a576df5", When::kAlways, F::kLinkState, 0},
    {4035, 0, kProcessor, "893dee8e-2bef-41e0-89c6-b55d0929964c", When::kAlways, F::kPercent, 0},
    {4080, 0, kProcessor, "94d3a615-a899-4ac5-ae2b-e4d8f634367f", When::kAlways, F::kCooling, 0},
    {4036, 0, kProcessor, "bc5038f7-23e0-4960-96da-33abaf5935ec", When::kAlways, F::kPercent, 0},
    {4039, 0, kDisplay, "aded5e82-b909-4619-9949-f5d71dac0bcb", When::kAlways, F::kPercent, 0},
    {4081, 0, kDisplay, "f1fbfde2-a960-4165-9f88-50667911ce96", When::kAlways, F::kPercent, 0},
    {4095, 0, kDisplay, "fbd9aa66-9553-4097-ba44-ed6e9d65eab8", When::kWindows7Only, F::kOffOn, 0},
    {4040, 4096, kMultimedia, "03680956-93bc-4294-bba6-4e0f09bb717f", When::kAlways, F::kSharingMedia, 0},
    {4084, 0, kMultimedia, "34c7b99f-9a6d-4b3c-8dc7-b6693b78cef4", When::kAlways, F::kVideo, 0},
    {4085, 0, kSlideShowGroup, "309dce9b-bef4-4119-9921-a851fb12f0f4", When::kAlways, F::kSlideShow, 0},
};

const PlanItem kVistaItems[] = {
    {4057, 0, kDisplay, "3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e", When::kAlways, F::kMinutes, 0},
    {4065, 0, kDisk, "6738e2c4-e8a5-4a42-b16a-e040e769756e", When::kAlways, F::kMinutes, 0},
    {4008, 0, kSleepGroup, "29f6c1db-86da-48c5-9fdb-f2b67b1f44da", When::kSuspendAllowed, F::kMinutes, 0},
    {4064, 0, kSleepGroup, "9d7815a6-7ee4-497e-8888-515a05f02364", When::kHibernateAllowed, F::kMinutes, 0},
    {4012, 0, kSleepGroup, "94ac6d29-73ce-41a6-809f-6363ba21b47e", When::kHibernateAllowedAndFast, F::kOffOn, 0},
    {4013, 0, kButtons, "5ca83367-6e45-459f-a27b-476b1d01c936", When::kLid, F::kAction, 0},
    {4014, 0, kButtons, "7648efa3-dd9c-4e3e-b566-50f929386280", When::kPowerButton, F::kAction, 0},
    {4073, 0, kButtons, "96996bc0-ad50-47ec-923b-6f41874dd9eb", When::kSleepButton, F::kAction, 0},
    // The Start menu button stores 0 for sleep where the action words start with "Do nothing".
    {4019, 0, kButtons, "a7066653-8d6c-40a8-910e-a1f54b84c7e5", When::kAlways, F::kAction, 1},
    {4030, 0, kBattery, "bcded951-187b-4d05-bccc-f7e51960c258", When::kBatteries, F::kOffOn, 0},
    {4015, 0, kBattery, "8183ba9a-e910-48da-8769-14ae6dc1170a", When::kBatteries, F::kPercent, 0},
    {4016, 0, kBattery, "d8742dcb-3e6a-4b3c-b3fe-374623cdcf06", When::kBatteries, F::kAction, 0},
    {4017, 0, kBattery, "9a66d8d7-4ff7-4ef9-b5a2-5a326ca2a469", When::kBatteries, F::kPercent, 0},
    {4018, 0, kBattery, "637ea02f-bbcb-4015-8e2c-a1c7b9c0b546", When::kBatteries, F::kAction, 0},
    {4031, 0, kNoSubgroup, "0e796bdb-100d-47d6-a2d5-f7d2daa51f51", When::kAlways, F::kNoYes, 0},
    {4072, 0, kDisk, "ddde356e-bdc6-4b22-a9e3-70d1f92c3017", When::kAlways, F::kDisabledEnabled, 0},
    {4032, 0, kWirelessGroup, "12bbebe6-58d6-4636-95bb-3217ef867c1a", When::kAlways, F::kWireless, 0},
    {4033, 0, kUsb, "48e6b7a6-50f5-4782-a5d4-53bb8f07e226", When::kAlways, F::kDisabledEnabled, 0},
    {4034, 0, kPciExpress, "ee12f906-d277-404b-b6da-e5fa1a576df5", When::kAlways, F::kLinkState, 0},
    {4035, 0, kProcessor, "893dee8e-2bef-41e0-89c6-b55d0929964c", When::kAlways, F::kPercent, 0},
    {4036, 0, kProcessor, "bc5038f7-23e0-4960-96da-33abaf5935ec", When::kAlways, F::kPercent, 0},
    {4037, 0, kSearch, "c1dd9fd6-ff5b-4270-8ab6-d48f1c40506a", When::kAlways, F::kPlanKind, 0},
    {4038, 0, kDisplay, "90959d22-d6a1-49b9-af93-bce885ad335b", When::kAlways, F::kOffOn, 0},
    {4039, 0, kDisplay, "aded5e82-b909-4619-9949-f5d71dac0bcb", When::kAlways, F::kPercent, 0},
    {4040, 0, kMultimedia, "03680956-93bc-4294-bba6-4e0f09bb717f", When::kAlways, F::kSharingMediaVista, 0},
};

// The subgroups the fixed items read, then what each OS adds.
const char* const kVistaExcluded[] = {
    kNoSubgroup, kDisplay, kDisk, kSleepGroup, kButtons, kBattery, kProcessor, kPciExpress,
    kMultimedia, kWirelessGroup, kUsb, kSearch,
};
const char* const kWindows7Excluded[] = {
    kNoSubgroup, kDisplay, kDisk, kSleepGroup, kButtons, kBattery, kProcessor, kPciExpress,
    kMultimedia, kWirelessGroup, kUsb, kSlideShowGroup,
};
const char* const kLaterExcluded[] = {
    kNoSubgroup, kDisplay, kDisk, kSleepGroup, kButtons, kBattery, kProcessor, kPciExpress,
    kMultimedia, kWirelessGroup, kUsb, kSlideShowGroup,
    "2e601130-5351-4d9d-8e04-252966bad054", "8619b916-e004-4dd8-9b66-dae86f806698",
    "48672f38-7a9a-4bb2-8bf8-3d85be19de4e",
};

constexpr int kWindows7 = 11;

pf::PowerGuid Guid(const char* text) {
    pf::PowerGuid guid;
    pf::ParsePowerGuid(text, &guid);
    return guid;
}

// --- the rows --------------------------------------------------------------------------------

// Appends rows to the table under the row rules: one row per item without batteries, the
// three-row form with them; capacity is checked before an item begins.
class RowWriter {
public:
    RowWriter(tabframe::ListTable& table, bool batteries, const StringSource& strings)
        : table_(table), batteries_(batteries), strings_(strings) {}

    bool Full() const { return table_.Full(); }

    void Row(const std::u16string& item, const std::u16string& setting) {
        const int row = table_.AppendRow();
        if (row < 0) return;
        table_.SetField(row, kItemColumn, item.c_str());
        table_.SetField(row, kSettingsColumn, setting.c_str());
    }

    // An item whose value differs by power source; a null text is a value that cannot be read.
    // False when the table has no room to begin it.
    bool DualItem(const std::u16string& item, const std::u16string* dc, const std::u16string* ac) {
        const int needed = batteries_ ? 3 : 1;
        if (table_.RowCount() + needed > table_.Capacity()) return false;
        if (!batteries_) {
            if (ac) Row(item, *ac);
            return true;
        }
        if (!dc && !ac) return true;
        Row(item, u"");
        if (dc) Row(strings_(kOnBattery), *dc);
        if (ac) Row(strings_(kPluggedIn), *ac);
        return true;
    }

    bool Batteries() const { return batteries_; }

private:
    tabframe::ListTable& table_;
    bool batteries_;
    const StringSource& strings_;
};

bool Shown(When when, const pf::PowerCapabilities& caps, int osType, pf::IPowerLibrary& library) {
    switch (when) {
        case When::kAlways: return true;
        case When::kSleepStates: return caps.s1 || caps.s2 || caps.s3;
        case When::kS4: return caps.s4;
        case When::kS4AndFast: return caps.s4 && caps.fastS4;
        case When::kLid: return caps.lid;
        case When::kPowerButton: return caps.powerButton;
        case When::kSleepButton: return caps.sleepButton;
        case When::kBatteries: return caps.batteries;
        case When::kWindows7Only: return osType == kWindows7;
        case When::kSuspendAllowed: return library.IsPwrSuspendAllowed();
        case When::kHibernateAllowed: return library.IsPwrHibernateAllowed();
        case When::kHibernateAllowedAndFast: return library.IsPwrHibernateAllowed() && caps.fastS4;
    }
    return false;
}

// The plan-based collection of Vista and later.
void FillPlanRows(RowWriter& rows, pf::IPowerLibrary* library, const pf::PowerCapabilities& caps, int osType,
                  const StringSource& strings) {
    const OsPath path = PathFor(osType);
    const std::u16string unknown = strings(kUnknown);
    pf::PowerGuid scheme;
    if (!library || library->GetActiveScheme(&scheme) != pf::kPowerOk) {
        rows.Row(strings(kPowerPlan), unknown);
        return;
    }
    std::u16string planName;
    if (library->ReadFriendlyName(&scheme, nullptr, nullptr, &planName) != pf::kPowerOk) planName = unknown;
    rows.Row(strings(kPowerPlan), planName);

    const bool later = osType != kWindows7;
    const PlanItem* items = path == OsPath::kVista ? kVistaItems : kWindows7Items;
    const std::size_t count = path == OsPath::kVista ? std::size(kVistaItems) : std::size(kWindows7Items);
    for (std::size_t i = 0; i < count; ++i) {
        const PlanItem& item = items[i];
        if (!Shown(item.when, caps, osType, *library)) continue;
        const pf::PowerGuid subgroup = Guid(item.subgroup);
        const pf::PowerGuid setting = Guid(item.setting);
        if (library->ReadSettingAttributes(&subgroup, &setting) & pf::kPowerAttributeHide) continue;
        std::uint32_t ac = 0, dc = 0;
        std::unique_ptr<std::u16string> acText, dcText;
        if (library->ReadAcValueIndex(&scheme, &subgroup, &setting, &ac) == pf::kPowerOk) {
            acText = std::make_unique<std::u16string>(FormatSetting(item.formatter, ac + item.add, strings));
        }
        if (rows.Batteries() && library->ReadDcValueIndex(&scheme, &subgroup, &setting, &dc) == pf::kPowerOk) {
            dcText = std::make_unique<std::u16string>(FormatSetting(item.formatter, dc + item.add, strings));
        }
        const std::uint32_t name = later && item.nameLater ? item.nameLater : item.name;
        if (!rows.DualItem(strings(name), dcText.get(), acText.get())) return;
    }

    // The further settings: every setting of the subgroups the items above do not cover.
    int excludedCount = 0;
    const char* const* excluded = ExcludedSubgroups(osType, &excludedCount);
    for (std::uint32_t g = 0;; ++g) {
        pf::PowerGuid subgroup;
        if (library->Enumerate(&scheme, nullptr, pf::kPowerAccessSubgroup, g, &subgroup) != pf::kPowerOk) break;
        bool skip = false;
        for (int e = 0; e < excludedCount && !skip; ++e) skip = Guid(excluded[e]) == subgroup;
        if (skip) continue;
        std::u16string groupName;
        if (library->ReadFriendlyName(&scheme, &subgroup, nullptr, &groupName) != pf::kPowerOk) groupName = unknown;
        for (std::uint32_t s = 0;; ++s) {
            pf::PowerGuid setting;
            if (library->Enumerate(&scheme, &subgroup, pf::kPowerAccessSetting, s, &setting) != pf::kPowerOk) break;
            if (library->ReadSettingAttributes(&subgroup, &setting) & pf::kPowerAttributeHide) continue;
            std::u16string settingName;
            if (library->ReadFriendlyName(&scheme, &subgroup, &setting, &settingName) != pf::kPowerOk) {
                settingName = unknown;
            }
            std::u16string units;
            const bool hasUnits = library->ReadValueUnitsSpecifier(&subgroup, &setting, &units) == pf::kPowerOk;
            auto text = [&](std::uint32_t value) {
                if (hasUnits) return Number(static_cast<std::int32_t>(value)) + u" " + units;
                std::u16string possible;
                if (library->ReadPossibleFriendlyName(&subgroup, &setting, value, &possible) != pf::kPowerOk) {
                    return unknown;
                }
                return possible;
            };
            std::uint32_t ac = 0, dc = 0;
            std::unique_ptr<std::u16string> acText, dcText;
            if (library->ReadAcValueIndex(&scheme, &subgroup, &setting, &ac) == pf::kPowerOk) {
                acText = std::make_unique<std::u16string>(text(ac));
            }
            if (rows.Batteries() && library->ReadDcValueIndex(&scheme, &subgroup, &setting, &dc) == pf::kPowerOk) {
                dcText = std::make_unique<std::u16string>(text(dc));
            }
            if (!rows.DualItem(groupName + u"-" + settingName, dcText.get(), acText.get())) return;
        }
    }
}

// The scheme-based collection of XP and 2000.
void FillOlderRows(RowWriter& rows, pf::IPowerLibrary* library, const pf::PowerCapabilities& caps,
                   const PowerFacts& facts, const StringSource& strings) {
    const std::u16string unknown = strings(kUnknown);
    if (!facts.administrator) {
        rows.Row(strings(kPowerScheme), strings(kNotFound));
        return;
    }
    std::uint32_t active = 0;
    bool found = false;
    std::u16string name;
    if (library && library->GetActivePwrScheme(&active)) {
        library->EnumPwrSchemes([&](const pf::OlderPowerScheme& scheme) {
            if (scheme.index != active) return true;
            found = true;
            name = scheme.name;
            return false;
        });
    }
    if (!found) {
        rows.Row(strings(kPowerScheme), unknown);
        return;
    }
    rows.Row(strings(kPowerScheme), name);
    pf::OlderPowerPolicies p;
    if (!library->GetCurrentPowerPolicies(&p)) return;

    auto minutes = [&](std::uint32_t seconds) { return FormatSetting(F::kMinutes, seconds, strings); };
    auto dual = [&](std::uint32_t id, std::uint32_t dc, std::uint32_t ac) {
        const std::u16string dcText = minutes(dc), acText = minutes(ac);
        rows.DualItem(strings(id), &dcText, &acText);
    };
    constexpr std::uint32_t kHibernateAction = 3;
    auto standby = [](const pf::PowerActionPolicy& idle, std::uint32_t timeout) {
        return idle.action == kHibernateAction ? 0u : timeout;
    };
    auto hibernates = [](const pf::PowerActionPolicy& idle, std::uint32_t timeout, std::uint32_t doze) {
        if (idle.action == kHibernateAction) return timeout;
        return doze == 0 ? 0u : doze + timeout;
    };

    dual(4011, p.videoTimeoutDc, p.videoTimeoutAc);
    dual(4007, p.spindownTimeoutDc, p.spindownTimeoutAc);
    if (library->IsPwrSuspendAllowed()) {
        dual(4009, standby(p.idleDc, p.idleTimeoutDc), standby(p.idleAc, p.idleTimeoutAc));
    }
    if (library->IsPwrHibernateAllowed()) {
        dual(4010, hibernates(p.idleDc, p.idleTimeoutDc, p.dozeS4TimeoutDc),
             hibernates(p.idleAc, p.idleTimeoutAc, p.dozeS4TimeoutAc));
    }
    if (caps.lid) rows.Row(strings(4013), FormatSetting(F::kOlderAction, p.lidCloseAc.action, strings));
    if (caps.powerButton) {
        constexpr std::uint32_t kNotifyButton = 0x8, kNotifyShutdown = 0x10;
        std::uint32_t action = p.powerButtonAc.action;
        if (action == 0) {
            if (p.powerButtonAc.eventCode & kNotifyButton) {
                action = 8;
            } else if (p.powerButtonAc.eventCode & kNotifyShutdown) {
                action = 4;
            }
        }
        rows.Row(strings(4014), FormatSetting(F::kOlderAction, action, strings));
    }
    if (caps.batteries) {
        struct Alarm {
            int level;  // discharge policy index
            std::uint32_t alarm, levelName, actionName;
        };
        const Alarm alarms[] = {{1, 4058, 4068, 4069}, {0, 4059, 4070, 4071}};
        for (const Alarm& a : alarms) {
            const pf::PowerDischargeLevel& level = p.discharge[a.level];
            rows.Row(strings(a.alarm), FormatSetting(F::kDisabledEnabled, level.enable ? 1 : 0, strings));
            if (!level.enable) continue;
            rows.Row(strings(a.levelName), FormatSetting(F::kPercent, level.batteryLevel, strings));
            const std::uint32_t action = level.policy.action == 0 ? 9 : level.policy.action;
            rows.Row(strings(a.actionName), FormatSetting(F::kOlderAction, action, strings));
        }
    }
    constexpr std::uint32_t kPasswordLogon = 0x4;
    rows.Row(strings(4060), FormatSetting(F::kDisabledEnabled, (p.globalFlags & kPasswordLogon) ? 1 : 0, strings));
}

}  // namespace

std::u16string FormatSetting(Formatter formatter, std::uint32_t value, const StringSource& strings) {
    if (formatter == Formatter::kMinutes) {
        const std::uint32_t m = value / 60;
        if (m == 0) return strings(kNever);
        return Number(m) + u" " + strings(m == 1 ? kMinute : kMinutes);
    }
    if (formatter == Formatter::kPercent) {
        if (value > 100) return strings(kUnknown);
        return Number(value) + u"%";
    }
    if (formatter == Formatter::kOlderAction && value == 9) return strings(kNoAction);
    for (const WordList& list : kWordLists) {
        if (list.formatter != formatter) continue;
        for (int i = 0; i < list.count; ++i) {
            if (list.words[i].value == value) return strings(list.words[i].id);
        }
    }
    return strings(kUnknown);
}

OsPath PathFor(int osType) {
    switch (osType) {
        case 8: return OsPath::kVista;
        case 11: case 13: case 15: case -1: return OsPath::kWindows7AndLater;
        default: return OsPath::kOlder;
    }
}

const char* const* ExcludedSubgroups(int osType, int* count) {
    if (osType == 8) {
        *count = static_cast<int>(std::size(kVistaExcluded));
        return kVistaExcluded;
    }
    if (osType == kWindows7) {
        *count = static_cast<int>(std::size(kWindows7Excluded));
        return kWindows7Excluded;
    }
    *count = static_cast<int>(std::size(kLaterExcluded));
    return kLaterExcluded;
}

bool FillPowerRows(tabframe::ListTable& table, pf::IPower& power, const PowerFacts& facts,
                   const StringSource& strings) {
    pf::PowerCapabilities caps;
    if (!power.Capabilities(&caps)) return false;
    // The library stays loaded for this collection only.
    const std::unique_ptr<pf::IPowerLibrary> library = power.Load();
    RowWriter rows(table, caps.batteries, strings);
    if (PathFor(facts.osType) == OsPath::kOlder) {
        FillOlderRows(rows, library.get(), caps, facts, strings);
    } else {
        FillPlanRows(rows, library.get(), caps, facts.osType, strings);
    }
    return true;
}

}  // namespace power_tab
