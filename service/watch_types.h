// What the watch service's log engine works with: the event codes, the S.M.A.R.T. snapshot it
// compares and the three sources it asks (the disk, the maker's firmware, the batteries). The
// sources are interfaces so that the engine runs natively against simulated ones.
#pragma once

#include <cstdint>

namespace watch {

// Event codes, as the log prints them.
enum Event : int {
    kPeriodic = 1,
    kSuspend = 2,
    kResume = 3,
    kPowerOn = 4,
    kPowerOff = 5,
    kStop = 6,
    kNotif1 = 101,
    kNotif2 = 102,
    kNotif3 = 103,
    kNotif4 = 104,
};

// Snapshot states below 1 (a positive state is the number of entries).
inline constexpr std::int32_t kStateNoEntries = 0;
inline constexpr std::int32_t kStateNoDisk = -1;
inline constexpr std::int32_t kStateNotSpunUp = -2;
inline constexpr std::int32_t kStateNotification = -3;
inline constexpr std::int32_t kStateSmartUnusable = -4;

inline constexpr int kMaxSmartEntries = 30;
inline constexpr int kSectorBytes = 512;

// One compacted attribute: identifier, current value, raw value (least significant first), one
// further byte and a spare, both 0 here.
struct SmartEntry {
    std::uint8_t id;
    std::uint8_t current;
    std::uint8_t raw[6];
    std::uint8_t extra;
    std::uint8_t spare;
};
static_assert(sizeof(SmartEntry) == 10, "SmartEntry is 10 bytes");

struct SmartSnapshot {
    std::int32_t state = 0;
    SmartEntry entries[kMaxSmartEntries] = {};
    std::uint8_t sector[kSectorBytes] = {};
    std::uint8_t failureStep = 0;  // for kStateNoDisk: 1 system folder, 2 drive name, 3 open, 4 open read/write
    std::uint32_t failureCode = 0;

    int Count() const { return state > 0 ? (state < kMaxSmartEntries ? state : kMaxSmartEntries) : 0; }
    // The entry with identifier `id`, or null.
    const SmartEntry* Find(std::uint8_t id) const {
        for (int i = 0; i < Count(); ++i) {
            if (entries[i].id == id) return &entries[i];
        }
        return nullptr;
    }
};

// The drive's identity, read at power-on: ANSI text as the drive gives it (not yet trimmed).
struct DriveIdentity {
    char model[41] = {};
    char serial[21] = {};
    bool solidState = false;
};

// The system disk. `Take` fills a cleared snapshot for events 1..4; at power-on it also finds the
// drive and fills `identity`.
class IDiskReader {
public:
    virtual ~IDiskReader() = default;
    virtual void Take(int event, SmartSnapshot* snapshot, DriveIdentity* identity) = 0;
};

// The maker's firmware through the driver session. Every request answers true only when it was
// answered with success; outputs are written only then.
class IWatchFirmware {
public:
    virtual ~IWatchFirmware() = default;
    // Opens the session (once; it then stays open).
    virtual bool Open() = 0;
    // A model-number record field (type 1 model number, 2 serial number) into `buffer`.
    virtual bool ModelNumber(std::uint32_t type, std::uint8_t* buffer, std::uint32_t size) = 0;
    virtual bool BatteryBays(std::uint16_t* bits) = 0;
    virtual bool DockingState(std::uint8_t* state) = 0;
    virtual bool ThermalMask(std::uint16_t* mask) = 0;
    // Sensor `index`'s reading in tenths of a kelvin.
    virtual bool ThermalReading(std::uint16_t index, std::uint16_t* tenthsKelvin) = 0;
};

// One battery's charge as the battery class driver reports it.
struct BatteryCharge {
    bool ok = false;        // tag and status read, capacity and rate both available
    std::uint32_t capacityMwh = 0;
    std::int32_t rateMw = 0;
};

// The batteries present: opens battery device interfaces until `wanted` are open. Returns how
// many were found (the engine writes no battery part when fewer than `wanted`) and the charge of
// the first two in `charges`.
class IBatteryReader {
public:
    virtual ~IBatteryReader() = default;
    virtual int Read(int wanted, BatteryCharge charges[2]) = 0;
};

}  // namespace watch
