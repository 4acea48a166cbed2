// The watch service's log and history engine: for each event it takes the disk's snapshot,
// appends one entry to the month's log file in "Log" beside the program, and keeps the short
// history of key counters in the registry. It runs on one thread, one event at a time.
//
// Files, registry and clock come from the platform concerns; the disk, the firmware and the
// batteries from the interfaces it is given.
#pragma once

#include <cstdint>
#include <string>

#include "service/watch_types.h"

namespace watch {

// Texts from the service's string table.
struct LogTexts {
    std::u16string product;     // "Quarro"
    std::u16string maker;       // "Mirelta Corporation"
    std::u16string heading;     // "Hard Disk Management Information"
    std::u16string dateFormat;  // "yyyy/MM/dd"
};

// The running system as the log header names it; osType 0 = not determined.
struct OsNumbers {
    std::int16_t osType = 0;
    std::uint32_t major = 0, minor = 0, build = 0;
};

// The log file's name for these parts and month: characters that are not valid in long file names
// are dropped (so no part can name another folder), at most 259 characters.
std::u16string LogFileName(const std::string& driveSerial, const std::string& pcSerial, const std::string& pcModel,
                           int year, int month);

// Every entry (and its body) is bounded to this many bytes.
inline constexpr std::size_t kMaxEntryBytes = 2047;

// `entry` within the bound: a longer one keeps the whole lines that fit before the empty line that
// closes every entry, so that no line is torn and the next entry begins on a line of its own.
std::string BoundEntry(std::string entry);

class WatchLog {
public:
    WatchLog(IDiskReader& disk, IWatchFirmware& firmware, IBatteryReader& batteries, LogTexts texts,
             OsNumbers os, std::u16string programFolder);

    // Handles one event: snapshot (events 1..4), log entry, history. Returns the snapshot's state
    // (so the caller can retry a resume whose disk was not spun up).
    std::int32_t Handle(int event);

    // Held from power-on (for tests and the service).
    int Family() const { return family_; }
    int BatteryBays() const { return bays_; }

private:
    void PreparePowerOn(const DriveIdentity& identity);
    bool WriteEntry(int event, const SmartSnapshot& snapshot);
    std::string Header() const;
    std::string DockingPart();
    std::string ThermalPart(bool afterDocking);
    std::string BatteryPart(bool afterOther);
    std::string Body(const SmartSnapshot& snapshot) const;
    void UpdateHistory(int event, const SmartSnapshot& snapshot, const std::string& date, const std::string& time);

    IDiskReader& disk_;
    IWatchFirmware& firmware_;
    IBatteryReader& batteries_;
    LogTexts texts_;
    OsNumbers os_;
    std::u16string programFolder_;

    bool sessionOpen_ = false;
    std::string driveModel_, driveSerial_, pcModel_ = "Unknown", pcSerial_ = "Unknown";
    int family_ = 0;
    bool solidState_ = false;
    int bays_ = 0;
    SmartSnapshot previous_;
};

}  // namespace watch
