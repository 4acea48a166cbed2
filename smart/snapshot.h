// The S.M.A.R.T. snapshot of the system hard disk, shared by the pipe server and the watch
// service: finding the physical drive behind the system folder, reading it through the storage
// concern (power state, version, ENABLE OPERATIONS, IDENTIFY DEVICE, READ DATA) and compacting
// the data sector's 30 attribute slots into 10-byte entries.
//
// Everything a drive answers is checked before use: reply sizes, driver status bytes, and the
// sector is read only from the bytes that arrived. Nothing here keeps state between calls.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/storage.h"

namespace quarro::smart {

inline constexpr int kEntryCount = 30;
inline constexpr int kEntrySize = 10;
inline constexpr int kEntryBytes = 310;  // 30 entries and 10 spare bytes, as they go over the pipe
inline constexpr int kSectorSize = 512;

// Snapshot states (> 0: the number of entries).
inline constexpr std::int32_t kNoEntries = 0;
inline constexpr std::int32_t kNoDisk = -1;
inline constexpr std::int32_t kNotSpunUp = -2;
inline constexpr std::int32_t kNotification = -3;
inline constexpr std::int32_t kUnusable = -4;

// Failure steps of kNoDisk.
inline constexpr std::uint8_t kStepNoSystemFolder = 1;
inline constexpr std::uint8_t kStepNoDriveName = 2;
inline constexpr std::uint8_t kStepCannotOpen = 3;
inline constexpr std::uint8_t kStepCannotOpenReadWrite = 4;

// Events: 1 hourly sample, 2 stand-by, 3 resume, 4 power-on; 101..104 notifications (no reading).
inline constexpr int kEventSample = 1;
inline constexpr int kEventPowerOn = 4;

// Entry layout: 0 identifier, 1 current value, 2..7 raw value (least significant first), 8 the
// worst value when asked for (else 0), 9 spare.
using Entries = std::array<std::uint8_t, kEntryBytes>;

struct Snapshot {
    std::int32_t state = kNoEntries;
    Entries entries{};
    std::array<std::uint8_t, kSectorSize> sector{};
    bool sectorRead = false;   // the sector above came from the drive
    std::uint8_t failureStep = 0;
    std::uint32_t failureCode = 0;
};

// The physical drive found by discovery.
struct SystemDrive {
    std::u16string name;       // "\\.\PhysicalDrive<n>", empty when none was found
    std::uint32_t number = 0;  // <n>; odd drive numbers select the second device on the channel
};

// What IDENTIFY DEVICE tells (power-on only).
struct DriveIdentity {
    std::string model;   // 40 characters as the drive gives them (blank-padded)
    std::string serial;  // 20 characters
    bool solidState = false;
};

// Finds the physical drive that carries the system folder. On failure `drive->name` stays empty
// and `failure` gets state kNoDisk with its step (1 or 2) and the Win32 error that went with it.
void FindSystemDrive(platform::IStorage& storage, SystemDrive* drive, Snapshot* failure);

// The drive-family index of a drive model (leading and trailing blanks ignored): the first entry
// of the family table whose prefix the model starts with, ignoring case; 0 when none does.
int DriveFamily(const std::string& model);

// Reads the drive for event `event` (1..4; any other event gives kNotification without touching
// the drive). Event 4 also fills `identity` and takes the drive family from its model; other
// events use `family` for the compaction rule. With `worstInByte8` every entry carries the
// attribute's worst value in byte 8.
Snapshot TakeSnapshot(platform::IStorage& storage, const SystemDrive& drive, int event, int family,
                      DriveIdentity* identity, bool worstInByte8);

// Compacts a data sector into entries; returns the snapshot state: the number of entries, or
// kUnusable when there is no attribute or every raw value is zero (for family 10 only when the
// checksum byte is zero as well).
std::int32_t Compact(const std::array<std::uint8_t, kSectorSize>& sector, int family, bool worstInByte8,
                     Entries* entries);

}  // namespace quarro::smart
