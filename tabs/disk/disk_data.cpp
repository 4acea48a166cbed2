#include "tabs/disk/disk_data.h"

#include <algorithm>
#include <cstring>

#include "common/format.h"
#include "common/text.h"
#include "common/win_version.h"
#include "platform/clock.h"
#include "platform/pipe_client.h"
#include "platform/volumes.h"

namespace disk_tab {

namespace pf = quarro::platform;

namespace {

constexpr char16_t kHarddiskVolume[] = u"\\Device\\HarddiskVolume";
constexpr std::int32_t kServiceRunning = 4;

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// The identifiers that have a name; every other identifier has none.
constexpr struct {
    int first, last;
} kNamedIds[] = {{1, 13}, {191, 209}, {220, 228}, {230, 231}, {240, 240}, {250, 250}};

// Reads exactly `size` bytes (a pipe may hand them over in parts); false when fewer come.
bool ReadAll(pf::IPipeClient& pipes, pf::PipeHandle pipe, void* data, std::uint32_t size) {
    auto* at = static_cast<std::uint8_t*>(data);
    std::uint32_t got = 0;
    while (got < size) {
        std::uint32_t read = 0;
        if (!pipes.Read(pipe, at + got, size - got, &read) || read == 0 || read > size - got) return false;
        got += read;
    }
    return true;
}

std::string RawHex(const SmartEntry& entry) {
    std::string hex;
    for (int i = 5; i >= 0; --i) hex += quarro::text::Format("%02x", entry.raw[i]);
    return hex;
}

}  // namespace

int DiskData::ShownAttributes() const { return std::clamp<std::int32_t>(attributeCount, 0, kAttributeSlots); }

SmartEntry DiskData::Attribute(int index) const {
    SmartEntry entry{};
    if (index >= 0 && index < kAttributeSlots) std::memcpy(&entry, attributes.data() + index * kSmartEntrySize, sizeof entry);
    return entry;
}

std::vector<VolumeEntry> BuildVolumeTable(pf::IVolumes& volumes, const std::u16string& unknown) {
    std::uint32_t mask = 0;
    for (int n = 0; n < 26; ++n) {
        const char16_t device[] = {static_cast<char16_t>(u'a' + n), u':', 0};
        std::u16string target;
        if (volumes.DosDeviceTarget(device, &target) &&
            quarro::text::StartsWithNoCaseAscii(target, kHarddiskVolume)) {
            mask |= 1u << n;
        }
    }
    std::vector<VolumeEntry> table;
    for (int n = 0; n < 26 && static_cast<int>(table.size()) < kMaxVolumes; ++n) {
        const char16_t root[] = {static_cast<char16_t>(u'a' + n), u':', u'\\', 0};
        if (!(mask & (1u << n)) || volumes.DriveType(root) != pf::kDriveFixed) continue;
        VolumeEntry entry;
        entry.root = root;
        char16_t name[kFileSystemUnits] = {};
        if (volumes.FileSystemName(root, name, kFileSystemUnits)) {
            entry.fileSystem.assign(name, quarro::text::LengthBounded(name, kFileSystemUnits - 1));
        } else {
            entry.fileSystem = unknown.substr(0, kFileSystemUnits - 1);
        }
        pf::VolumeSpace space;
        if (!volumes.Space(root, &space)) continue;
        entry.freeToCaller = space.freeToCaller;
        entry.total = space.total;
        entry.totalFree = space.totalFree;
        table.push_back(entry);
    }
    return table;
}

void RefreshVolumes(pf::IVolumes& volumes, std::vector<VolumeEntry>& table) {
    for (VolumeEntry& entry : table) {
        pf::VolumeSpace space;
        if (!volumes.Space(entry.root.c_str(), &space)) continue;
        entry.freeToCaller = space.freeToCaller;
        entry.total = space.total;
        entry.totalFree = space.totalFree;
    }
}

void FetchSmartSnapshot(pf::IPipeClient& pipes, pf::IClock& clock, DiskData& data, const std::u16string& notFoundText,
                        int attempts) {
    pf::OwnedPipe pipe(pipes);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) clock.Sleep(kPipeRetryMs);
        pipe.Reset(pipes.Open(kPipeName));
        if (pipe) break;
    }
    if (pipe) {
        const std::uint8_t mode = data.advancedMode ? kModeAdvanced : kModeNormal;
        std::uint32_t written = 0;
        if (pipes.Write(pipe.Get(), &mode, 1, &written) && written == 1) {
            std::uint8_t countBytes[4] = {};
            if (ReadAll(pipes, pipe.Get(), countBytes, 4)) {
                const auto count = static_cast<std::int32_t>(
                    static_cast<std::uint32_t>(countBytes[0]) | static_cast<std::uint32_t>(countBytes[1]) << 8 |
                    static_cast<std::uint32_t>(countBytes[2]) << 16 | static_cast<std::uint32_t>(countBytes[3]) << 24);
                std::array<std::uint8_t, kAttributeBytes> entries{};
                if (count >= 1 && ReadAll(pipes, pipe.Get(), entries.data(), kAttributeBytes)) {
                    data.attributes = entries;
                    data.attributeCount = count;
                }
                std::array<std::uint8_t, kRawSectorSize> sector{};
                if (data.advancedMode && ReadAll(pipes, pipe.Get(), sector.data(), kRawSectorSize)) {
                    data.rawSector = sector;
                    data.rawLength = kRawSectorSize;
                }
            }
        }
    }
    data.notFound = data.attributeCount == 0 ? notFoundText.substr(0, 99) : std::u16string();
}

std::uint32_t AttributeNameId(int id) {
    for (const auto& range : kNamedIds) {
        if (id >= range.first && id <= range.last) return kIdsAttributeNameBase + static_cast<std::uint32_t>(id);
    }
    return 0;
}

std::vector<std::u16string> VolumeRow(const VolumeEntry& volume) {
    std::u16string drive = volume.root;
    if (!drive.empty()) drive.pop_back();
    return {quarro::text::Upper(drive) + u" ", volume.fileSystem + u" ", FreeSpaceCell(volume),
            Ascii(quarro::text::Format("%I64u ", volume.total))};
}

std::u16string FreeSpaceCell(const VolumeEntry& volume) { return Ascii(quarro::text::Format("%I64u ", volume.freeToCaller)); }

std::vector<std::vector<std::u16string>> AttributeRows(const DiskData& data, const Strings& strings) {
    const std::size_t columns = data.namedView ? 5 : 4;
    std::vector<std::vector<std::u16string>> rows;
    if (!data.notFound.empty() && data.attributeCount == 0) {
        std::vector<std::u16string> row(columns);
        row[0] = data.notFound;
        rows.push_back(row);
        return rows;
    }
    for (int i = 0; i < data.ShownAttributes(); ++i) {
        const SmartEntry entry = data.Attribute(i);
        std::vector<std::u16string> row = {Ascii(quarro::text::Format("%-3d ", entry.id)),
                                           Ascii(quarro::text::Format("%-5d ", entry.current)),
                                           Ascii(RawHex(entry) + " "), Ascii(quarro::text::Format("%-5d ", entry.further))};
        if (data.namedView) {
            const std::uint32_t name = AttributeNameId(entry.id);
            row.push_back(name ? strings(name) : std::u16string());
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::u16string> DialogDumpLines(const DiskData& data) {
    std::vector<std::u16string> lines;
    if (data.rawLength != kRawSectorSize) return lines;
    for (int offset = 0; offset < kRawSectorSize; offset += 16) {
        std::string line = quarro::text::Format("%03X  ", offset);
        for (int i = 0; i < 16; ++i) line += quarro::text::Format(" %02X", data.rawSector[static_cast<std::size_t>(offset + i)]);
        lines.push_back(Ascii(line));
    }
    return lines;
}

CheckBoxState CheckBoxFor(std::int32_t serviceState, int osType, bool administrator) {
    const bool vistaOrLater = osType == CWinVersion::kVista || osType == CWinVersion::kWindows7 ||
                              osType == CWinVersion::kWindows8 || osType == CWinVersion::kWindows81 ||
                              osType == CWinVersion::kFutureOs;
    const bool enabled = vistaOrLater ? serviceState != 0 : serviceState != 0 && administrator;
    return {serviceState != kServiceRunning, enabled};
}

}  // namespace disk_tab
