// The "PC Status" tab (Facet06): operating history and live machine settings, the programs that
// start with Windows and the running processes, as an "Item" / "Status" list and a report
// section "[PC Status]".
//
// The core is portable. Firmware requests and the driver's registry reads go through
// IStatusFirmware (the module adapts the viewer's driver session to it), the maker's start-up
// utility through IVelostart (null when its library is not installed), texts through a string
// lookup (the module's string table); the rest comes from the platform seam (registry, clock,
// display, processes, shell folders and links).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tabframe/report_writer.h"

namespace pcstatus {

// String-table ids of the module.
enum StringId : std::uint32_t {
    kItemTitle = 2, kStatusTitle = 3, kSectionHead = 5,
    kFirstLogon = 7, kElapsedTime = 8, kRunListTitle = 9, kLimitCount = 10, kStatusCode = 11,
    kTemperatureMin = 12, kTemperatureMax = 13, kUnknown = 14, kAllUsersTitle = 15, kCurrentUserTitle = 16,
    kDefaultUserTitle = 17, kProcessesTitle = 18, kDegreesOrAbove = 19, kDegreesOrBelow = 20, kDegrees = 21,
    kLcdTime = 22, kEtmSupport = 23, kFanControlMode = 24, kScreenColors = 25, kWindowsAero = 26,
    kStandard = 27, kHighSpeed = 28, kLowSpeed = 29, kHighest32 = 30, kMedium16 = 31, kEnabled = 32,
    kDisabled = 33, kMode = 34, kEtmControlMode = 35, kTrueColor32 = 36, kHighColor16 = 37,
    kRecoveryDisc = 38, kCreated = 39, kCreatable = 40, kVelostart = 41, kDelayLaunch = 42,
    kNetworkWhileOff = 43, kStartupSound = 44, kAdjustRestorePoint = 47, kSystemOnMemory = 48,
    kSkipLogo = 49, kNoDesktopWait = 50, kMakeRestorePoints = 58, kNoRestorePoints = 59,
    kOptimizeDiscReading = 62, kDelayHibernation = 63, kUsbRapidCharging = 64, kUsbPowerOffCharging = 65,
    kAlwaysEnabled = 66, kAuto = 67, kChargeSpeed = 68, kAcAdaptor = 69, kSmall = 70, kNotConnected = 71,
    kDetecting = 72, kOther = 73, kSlow = 74, kEnabledAcPower = 75, kEnabledAcBattery = 76, kOn = 77,
    kOff = 78, kOptimizeLaunch = 79, kTpm = 80, kHoldButton = 81, kHoldOperation = 82,
    kDisableKeyboardTouchpad = 83, kDisableTouchpad = 84, kHoldAutoCancel = 85, kHoldEnabled = 87,
    kHoldDisabled = 88,
};

inline constexpr std::size_t kTextUnits = 260;   // 259 characters and the terminator
inline constexpr std::size_t kListMax = 100;     // entries kept per list
inline constexpr std::size_t kMaxProcessIds = 500;

// The five lists, in report order.
enum ListId : int { kRunList = 0, kAllUsersList, kCurrentUserList, kDefaultUserList, kProcessList, kListCount };

// At most kListMax texts of at most 259 characters; what comes later is dropped.
struct EntryList {
    std::vector<std::u16string> entries;
    void Clear() { entries.clear(); }
    // False (and nothing kept) when the list is full.
    bool Add(std::u16string text);
};

// The eight queries of the start-up utility's library, in the order they are resolved.
enum VelostartQuery : int {
    kPagingExecutive = 0,      // Get_DisablePagingExecutive
    kDelayedDesktopSwitch,     // Get_DisableDelayedDesktopSwitch
    kPeriodicRecoveryPoint,    // Get_DisablePeriodicallyRecoveryPointCreation
    kConfig,                   // Get_VelostartConfig: delayed launch, network while off, start-up sound
    kNoGuiBoot,                // Get_NoGUIBootBySvc
    kReadyBoot,                // Get_EnableReadyBoot
    kHibernationDelay,         // Get_VelostartDelayHibernation
    kUseTpm,                   // Get_UseTPM, asked only after the configuration query succeeded
    kVelostartQueries
};
extern const char* const kVelostartExports[kVelostartQueries];

// The library as the tab sees it: true when the export exists and reported success; `words`
// receives one word (three for kConfig).
class IVelostart {
public:
    virtual ~IVelostart() = default;
    virtual bool Query(VelostartQuery query, std::uint32_t words[3]) = 0;
};

struct VelostartValues {
    bool present = false;
    std::array<bool, kVelostartQueries> answered{};
    std::array<std::uint32_t, kVelostartQueries> value{};
    std::uint32_t network = 0, sound = 0;  // the configuration's second and third words
};

// Everything the page and the report show. -1 is "not available" throughout.
struct StatusData {
    std::u16string firstLogon, elapsed;
    std::int64_t limitCount = -1, statusCode = -1, minRecord = -1, maxRecord = -1, lcdRaw = -1;
    std::uint32_t lcdUnit = 100;
    std::u16string thermal, controlMode, screenColors;
    bool fanControl = false;
    int composition = -1, acState = -1, chargeSpeed = -1, usbRapid = -1, usbPowerOff = -1;
    int hold = -1;
    std::uint8_t holdFlags = 0, holdAutoCancel = 0;
    int recovery = -1;
    VelostartValues velostart;
    std::array<EntryList, kListCount> lists;
};

// The firmware and the driver's registry service. Every query answers true only when the
// request was carried and the firmware reported success (status 0); outputs are written only then.
class IStatusFirmware {
public:
    virtual ~IStatusFirmware() = default;
    virtual bool Setting(std::uint32_t item, std::uint32_t* value) = 0;                      // 0x10C, masked
    virtual bool Thermal(std::uint16_t sub, std::uint16_t index, std::uint16_t* result) = 0;  // 0x270
    virtual bool FanMarks(std::uint8_t marks[2]) = 0;                                         // 0x2A0
    virtual bool FanControl(std::uint16_t* value) = 0;                                        // 0x2A1
    virtual bool FeatureLevel(std::uint8_t* level) = 0;                                       // 0x21A
    virtual bool FeatureFlags(std::uint8_t argument, std::uint8_t* flags) = 0;                // 0x21B
    virtual bool FirmwareCommand(const std::uint8_t arguments[4], std::uint8_t results[4]) = 0;  // 0x21E
    virtual bool Hold(std::uint8_t bytes[3]) = 0;  // 0x2E0: auto-cancel, HOLD flags, one more
    // A 32-bit value of HKLM read by the driver: true only for a reply of exactly 4 bytes.
    virtual bool RegistryDword(const char16_t* path, const char16_t* name, std::uint32_t* value) = 0;
};

// What the tab takes from CWinVersion.
struct StatusFacts {
    std::int16_t osType = 0;          // CWinVersion codes
    bool sixtyFourBit = false;        // a 64-bit processor architecture
};

using StringLookup = std::function<std::u16string(std::uint32_t id)>;

// The collection at set-up, every step in order. `velostart` null: the library did not load.
void CollectStatus(StatusData& data, IStatusFirmware& firmware, IVelostart* velostart, const StatusFacts& facts,
                   const StringLookup& text);

// The single steps, for the refresh timer and the tests.
std::u16string ElapsedText(const StatusFacts& facts);
std::u16string FirstLogonText(std::uint32_t installDate, std::int64_t biasSeconds);
std::u16string ThermalText(IStatusFirmware& firmware);
// The AC adaptor state for HOLD-less flag bytes: bits 0 and 1 must both be set (else -1).
int AcAdaptorState(std::uint8_t flags);
// Recomputes the AC adaptor state; keeps the previous one when the firmware does not answer.
void RefreshAcAdaptor(StatusData& data, IStatusFirmware& firmware);
void CollectUsbCharging(StatusData& data);
void CollectRecoveryDisc(StatusData& data, IStatusFirmware& firmware);
void CollectVelostart(StatusData& data, IVelostart* velostart);
void CollectLists(StatusData& data, const StatusFacts& facts);
void CollectProcesses(EntryList& list, const StatusFacts& facts);

// One row of the page, and of the report's single-value part.
enum class RowForm { kText, kCount, kHex, kTemperature, kLcd, kListTitle, kListEntry };
struct StatusRow {
    std::u16string item, value;  // as the page shows them
    RowForm form = RowForm::kText;
    std::int64_t number = 0;     // count, code, temperature, LCD time or entry number
    std::u16string suffix;       // temperature suffix
    bool mark = false;           // LCD "*"
    int list = -1;               // the list a title or entry row belongs to
};

// The single-value rows, in order, under their conditions.
std::vector<StatusRow> ValueRows(const StatusData& data, const StringLookup& text);
// The title row and the entry rows of one list; nothing for an empty list.
std::vector<StatusRow> ListRows(const StatusData& data, ListId list, const StringLookup& text);
// The whole page: value rows and then the five lists.
std::vector<StatusRow> PageRows(const StatusData& data, const StringLookup& text);

// Report stages; the index is the row within the stage (-1: a list's title line).
enum ReportStage : int { kStageHeading = 0, kStageValues, kStageLists, kStageEnd = kStageLists + kListCount };

// Turns UTF-16 into report text (the ANSI code page).
using AnsiEncoder = std::function<std::string(const std::u16string&)>;
// Re-collects the lists: all of them for a new report, the processes before their part.
using ListRefresher = std::function<void(StatusData& data, int list)>;

tabframe::ReportStatus WriteStatusReport(tabframe::ReportWriter& writer, tabframe::ReportResume& at, StatusData& data,
                                         const StringLookup& text, const AnsiEncoder& ansi,
                                         const ListRefresher& refresh);

}  // namespace pcstatus
