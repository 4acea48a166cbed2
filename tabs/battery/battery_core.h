// The battery tab's portable core: the battery walk over the battery concern and the firmware,
// the two display blocks ("current" and "previous") with their refresh on a worker thread, the
// rows of the page and how the list is brought up to date, and the report text. The module
// (facet07.cpp) and its page only adapt the session, the string table and the list control to it.
//
// Promises:
//   - at most two battery slots; a slot without a battery shows "Not Present";
//   - every value has its own validity flag; a failed query clears only the flags of its values;
//   - a walk runs on a worker thread and is waited for at most the refresh wait (2000 ms); while
//     it runs no second walk starts, and the display says "Unknown" (busy) until it ends;
//   - the list is brought up to date by changing only what changed (rows inserted for a battery
//     that appeared, "Not Present" for one that went, changed value cells rewritten).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/battery.h"
#include "platform/clock.h"

namespace battery_tab {

inline constexpr int kSlots = 2;
inline constexpr std::uint32_t kRefreshWaitMs = 2000;
inline constexpr std::uint32_t kTagWaitMs = 200;
inline constexpr std::uint32_t kTimerPeriodMs = 4000;
inline constexpr std::uintptr_t kFirstTimerId = 1100;
inline constexpr std::int64_t kRecalibrationSeconds = 15552000;  // 180 days
inline constexpr std::uint32_t kHealthRecalibrate = 200;

// String ids of the module's table.
enum StringId : unsigned {
    kStrItem = 2, kStrStatus = 3, kStrHead = 5, kStrUnknown = 14, kStrDegrees = 21, kStrName = 22,
    kStrChemistry = 23, kStrPowerState = 31, kStrOnLine = 32, kStrCharging = 33, kStrDischarging = 34,
    kStrRemaining = 35, kStrFullCharged = 36, kStrVoltage = 37, kStrRate = 38, kStrChargeIndex = 39,
    kStrBattery = 40, kStrMwh = 41, kStrMv = 42, kStrMw = 43, kStrTemperature = 44, kStrNotPresent = 45,
    kStrCritical = 46, kStrBusy = 49, kStrRemainingTime = 50, kStrHours = 51, kStrId = 52, kStrHealth = 53,
    kStrRecalibrate = 54,
};

// The firmware as the battery tab asks it; each call is true when the request was answered
// (library code 0 and status 0). `slot` is the battery slot index (0 or 1).
class IBatteryFirmware {
public:
    virtual ~IBatteryFirmware() = default;
    virtual bool BatteryMode(std::uint8_t* mode) = 0;                                           // 0x21A
    virtual bool HealthSupport(std::uint16_t* bits) = 0;                                        // 0x293
    virtual bool StateWord(std::uint16_t slot, std::uint32_t* word) = 0;                        // 0x232
    virtual bool ChargeIndex(std::uint16_t slot, std::uint16_t* value) = 0;                     // 0x244
    virtual bool Temperature(std::uint16_t slot, std::uint16_t* value) = 0;                     // 0x243
    virtual bool SerialNumber(std::uint16_t slot, std::uint16_t* value) = 0;                    // 0x246
    virtual bool ManufactureDate(std::uint16_t slot, std::uint16_t* packed) = 0;                // 0x242
    virtual bool ReferenceDate(std::uint16_t slot, std::uint16_t asked, std::uint16_t* packed) = 0;  // 0x230
    // The battery data word `item` of the slot: by firmware command (0x21E) or, with `ec`, by
    // embedded-controller command (0x215).
    virtual bool DataWord(bool ec, std::uint8_t item, std::uint16_t slot, std::uint16_t* word) = 0;
    virtual bool EcRegister(std::uint8_t address, std::uint8_t* value) = 0;                    // 0x210
};

// The embedded-controller registers read when the firmware has no battery functions: (high, low).
struct EcRegisterMap {
    std::uint8_t temperature[2];
    std::uint8_t chargeIndex[2];
    std::uint8_t serial[2];
    std::uint8_t date[2];
    std::uint8_t nameFirst, nameLast;
};
extern const EcRegisterMap kEcRegisters[kSlots];

// Packed firmware dates.
struct PackedDate {
    int year, month, day;
};
PackedDate UnpackDate(std::uint16_t packed);
std::uint16_t PackDate(int year, int month, int day);

// One battery slot's last reading (all flags false: nothing known).
struct BatteryInfo {
    bool present = false;
    bool nameValid = false, chemistryValid = false, powerStateValid = false, remainingValid = false,
         fullChargedValid = false, designedValid = false, voltageValid = false, rateValid = false,
         chargeIndexValid = false, temperatureValid = false, timeValid = false, idValid = false,
         healthValid = false;
    bool relative = false;
    std::u16string name;
    char chemistry[5] = {};
    std::uint32_t powerState = 0, remaining = 0, fullCharged = 0, designed = 0, voltage = 0;
    std::int32_t rate = 0;
    std::uint16_t chargeIndex = 0, temperature = 0;
    std::uint32_t estimatedTime = 0;
    std::string id;
    std::uint32_t health = 0;  // per cent, or kHealthRecalibrate
};

// Fixed at set-up.
struct BatterySettings {
    std::uint8_t firmwareMode = 0;              // 3, 255 or another value
    bool healthSupported[kSlots] = {false, false};
    bool showRemainingTime = false;
};

enum class WalkMode { kCount, kFull, kRefresh };

// The walk over the battery devices and the firmware (one per module).
class BatteryWalk {
public:
    BatteryWalk(quarro::platform::IBatteries& batteries, IBatteryFirmware* firmware, const BatterySettings& settings,
                std::function<quarro::platform::SystemTime()> localNow,
                std::function<std::string(std::u16string_view)> toAnsi);

    // Runs one walk; returns the number of battery devices opened (0, 1 or 2).
    int Run(WalkMode mode);
    const BatteryInfo& Slot(int slot) const { return slots_[slot]; }
    int Devices() const { return devices_; }

private:
    void ReadSlot(quarro::platform::BatteryHandle battery, std::uint32_t tag, int slot, bool readOnce);
    void ReadFirmwareValues(int slot, bool readId, const std::string& ansiName);
    void ReadHealth(int slot);

    quarro::platform::IBatteries& batteries_;
    IBatteryFirmware* firmware_;
    BatterySettings settings_;
    std::function<quarro::platform::SystemTime()> localNow_;
    std::function<std::string(std::u16string_view)> toAnsi_;
    BatteryInfo slots_[kSlots];
    int devices_ = 0;
};

// The battery ID text: the name padded to 14, yymmdd and the serial number as five digits.
std::string BatteryIdText(const std::string& name, std::uint16_t packedDate, std::uint16_t serial);
// Health from a reference date, the present local time and the capacities.
void ComputeHealth(std::uint16_t packedDate, const quarro::platform::SystemTime& now, BatteryInfo* info);

// One display block.
struct BatteryDisplay {
    int firstRow[kSlots] = {-1, -1};
    int batteryCount = 0;
    bool busy = false;
    BatteryInfo slots[kSlots];
    double celsius[kSlots] = {0, 0};
    std::uint32_t hours[kSlots] = {0, 0}, minutes[kSlots] = {0, 0};
};

// Runs a walk on a worker thread. Start is false when no thread could be made; Wait is true
// when the walk has ended (the thread is then gone).
class IWalkThread {
public:
    virtual ~IWalkThread() = default;
    virtual bool Start(std::function<void()> work) = 0;
    virtual bool Wait(std::uint32_t milliseconds) = 0;
};
// The platform's worker thread (CreateThread on Windows).
std::unique_ptr<IWalkThread> MakeWalkThread();

// The refresh: "current" and "previous", the walk on its thread, and the busy state.
class BatteryRefresh {
public:
    BatteryRefresh(BatteryWalk& walk, std::unique_ptr<IWalkThread> thread, std::uint32_t waitMs = kRefreshWaitMs);
    ~BatteryRefresh();  // waits for a walk still running
    void Refresh(WalkMode mode);
    const BatteryDisplay& Current() const { return current_; }
    const BatteryDisplay& Previous() const { return previous_; }
    BatteryDisplay& Current() { return current_; }
    // Walks started so far (a test sees that no second walk ran).
    int WalksStarted() const { return started_; }

private:
    void Copy();

    BatteryWalk& walk_;
    std::unique_ptr<IWalkThread> thread_;
    std::uint32_t waitMs_;
    bool running_ = false;
    int started_ = 0;
    BatteryDisplay current_, previous_;
};

// The module's strings by id, and ANSI text (the battery ID) made wide.
struct Texts {
    std::function<std::u16string(unsigned id)> load;
    std::function<std::u16string(std::string_view ansi)> fromAnsi;
};

struct Row {
    std::u16string label, value;
    bool operator==(const Row& o) const { return label == o.label && value == o.value; }
};

// The rows of battery `slot` (heading first) as the page shows them.
std::vector<Row> BatteryRows(const BatteryDisplay& display, const BatterySettings& settings, int slot,
                             const Texts& texts);
// The value texts, shared by the page and the report.
std::u16string TemperatureText(double celsius, const Texts& texts);
std::u16string PowerStateText(std::uint32_t state, const Texts& texts);

// The list control as the core sees it: rows of a label and a value.
class IBatteryList {
public:
    virtual ~IBatteryList() = default;
    virtual void InsertRow(int index, const std::u16string& label, const std::u16string& value) = 0;
    virtual void SetValue(int index, const std::u16string& value) = 0;
    virtual void DeleteRow(int index) = 0;
};

// What the list shows, kept so that a tick changes only what changed.
class BatteryListState {
public:
    // Page initialisation: the rows of every battery.
    void Fill(IBatteryList& list, const BatteryDisplay& display, const BatterySettings& settings,
              const Texts& texts);
    // A tick: brings the list from what it shows to `display`.
    void Update(IBatteryList& list, const BatteryDisplay& display, const BatterySettings& settings,
                const Texts& texts);
    int FirstRow(int slot) const;

private:
    void Clear(IBatteryList& list);
    std::vector<Row> shown_[kSlots];
    int slotsShown_ = 0;
    bool busyRow_ = false;
};

// The whole report section, in the fixed layout (separator 0) or separated by `separator`.
// Labels are "%-25s " in the fixed layout and "%s" and the separator otherwise; values "%s\r\n".
std::string ReportText(const BatteryDisplay& display, const BatterySettings& settings, char separator,
                       const Texts& texts, const std::function<std::string(std::u16string_view)>& toAnsi);

}  // namespace battery_tab
