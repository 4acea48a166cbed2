// The data of the "Hard Disk Status" tab (Facet05) and the rules that build it, apart from any
// window: the fixed-disk volume table, the S.M.A.R.T. snapshot asked of the server over its named
// pipe, the attribute names, the text of the page's rows and the check box's state.
//
// Everything from the pipe is untrusted: the count it sends is kept as received, but every reader
// of the entries goes through ShownAttributes(), which never reaches past the 30 entries that
// exist, whatever the count says.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarro::platform {
class IClock;
class IPipeClient;
class IVolumes;
}  // namespace quarro::platform

namespace disk_tab {

// String table of the module (disk.rc).
enum StringId : std::uint32_t {
    kIdsId = 2,
    kIdsAttribute1 = 3,
    kIdsAttribute2 = 4,
    kIdsSectionHead = 5,
    kIdsAttribute3 = 6,
    kIdsVolumeHeading = 7,
    kIdsUnknown = 8,
    kIdsNotFound = 9,
    kIdsDrive = 10,
    kIdsFileSystem = 11,
    kIdsFreeSpace = 12,
    kIdsCapacity = 13,
    kIdsAttributeHeading = 14,
    kIdsCheckBox = 15,
    kIdsManagementInformation = 16,
    kIdsAttributeName = 17,
    kIdsAttributeHeadingNamed = 18,
    kIdsAdvancedTitle = 19,
    // The name of attribute n is string kIdsAttributeNameBase + n.
    kIdsAttributeNameBase = 1000,
};

using Strings = std::function<std::u16string(std::uint32_t id)>;

inline constexpr int kAttributeSlots = 30;
inline constexpr int kSmartEntrySize = 10;
inline constexpr int kAttributeBytes = 310;  // 30 entries and 10 unused bytes, as sent
inline constexpr int kRawSectorSize = 512;
inline constexpr int kMaxVolumes = 26;
inline constexpr int kFileSystemUnits = 20;  // terminator included
inline constexpr std::uint8_t kModeNormal = 0;
inline constexpr std::uint8_t kModeAdvanced = 3;
inline constexpr int kPipeAttempts = 50;
inline constexpr std::uint32_t kPipeRetryMs = 1000;
inline constexpr char16_t kPipeName[] = u"\\\\.\\pipe\\MireltaQuarroPipeSVName";

// One SmartEntry as the server sends it.
struct SmartEntry {
    std::uint8_t id;        // 0: an empty slot
    std::uint8_t current;   // normalised value
    std::uint8_t raw[6];    // least significant first
    std::uint8_t further;   // the server's further byte (ours sends the worst value)
    std::uint8_t spare;
};
static_assert(sizeof(SmartEntry) == kSmartEntrySize, "SmartEntry is 10 bytes");

struct VolumeEntry {
    std::u16string root;        // "c:\"
    std::u16string fileSystem;  // at most 19 characters
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    std::uint64_t totalFree = 0;  // kept and refreshed, never shown
};

struct DiskData {
    bool advancedMode = false;  // HKLM "Hdd_AdvancedMode" reads 1
    bool namedView = false;     // the advanced-view flag: the attribute name column
    std::vector<VolumeEntry> volumes;
    std::int32_t attributeCount = 0;  // as received; 0 when nothing came
    std::array<std::uint8_t, kAttributeBytes> attributes{};
    std::u16string notFound;  // "Not Found" when no snapshot came
    std::array<std::uint8_t, kRawSectorSize> rawSector{};
    int rawLength = 0;  // 512 when the raw sector came

    // The entries to show: the received count clamped to 0..30.
    int ShownAttributes() const;
    SmartEntry Attribute(int index) const;  // index below ShownAttributes()
};

// The fixed-disk volumes: letters whose device is a "\Device\HarddiskVolume..." and whose root is
// a fixed disk, with readable byte counts; the file system is `unknown` (cut to 19 characters)
// when it cannot be read.
std::vector<VolumeEntry> BuildVolumeTable(quarro::platform::IVolumes& volumes, const std::u16string& unknown);
// Reads the three counts of every volume again (a volume that cannot be read keeps its counts).
void RefreshVolumes(quarro::platform::IVolumes& volumes, std::vector<VolumeEntry>& table);

// The one exchange with the S.M.A.R.T. server: up to `attempts` opens `kPipeRetryMs` apart (the
// pauses through `clock`), the mode byte, the count, the entries and in advanced mode the raw
// sector. Fills the count, the entries and the raw sector of `data`, and the not-found text.
void FetchSmartSnapshot(quarro::platform::IPipeClient& pipes, quarro::platform::IClock& clock, DiskData& data,
                        const std::u16string& notFoundText, int attempts = kPipeAttempts);

// The string id of an attribute's name, 0 when it has none (the names exist for 1..13 and for
// most of 191..250).
std::uint32_t AttributeNameId(int id);

// The page's rows.
std::vector<std::u16string> VolumeRow(const VolumeEntry& volume);  // 4 cells
std::u16string FreeSpaceCell(const VolumeEntry& volume);
// 4 cells, 5 with the named view; one "Not Found" row when nothing came.
std::vector<std::vector<std::u16string>> AttributeRows(const DiskData& data, const Strings& strings);

// The 32 dump lines of the raw sector as the dialog shows them ("%03X   %02X ...").
std::vector<std::u16string> DialogDumpLines(const DiskData& data);

// The check box: ticked unless the service ran (state 4) at the viewer's start. From Vista on it is
// disabled only when the state could not be had (0); on older systems also for a user who is not
// an administrator.
struct CheckBoxState {
    bool ticked;
    bool enabled;
};
CheckBoxState CheckBoxFor(std::int32_t serviceState, int osType, bool administrator);

// Default widths of the page's columns: the volume columns (values 00..03), then the attribute
// columns (04..08).
inline constexpr int kVolumeWidths[4] = {51, 98, 100, 90};
inline constexpr int kAttributeWidths[5] = {60, 70, 120, 70, 108};
inline constexpr int kAttributeFirstWidth = 4;

}  // namespace disk_tab
