#include "tabs/disk/disk_report.h"

#include "common/ansi.h"

namespace disk_tab {

namespace {

using tabframe::Piece;
using tabframe::ReportStatus;
using tabframe::ReportWriter;

enum Stage : int { kHeading = 0, kRows, kAdvanced };

std::string Ansi(const Strings& strings, std::uint32_t id) { return quarro::text::ToAnsi(strings(id)); }

// Titles joined by the separator, ended by CR LF.
std::string Joined(const ReportWriter& w, const Strings& strings, std::initializer_list<std::uint32_t> ids) {
    std::string line;
    for (std::uint32_t id : ids) {
        if (!line.empty()) line += w.Separator();
        line += Ansi(strings, id);
    }
    return line + "\r\n";
}

std::string VolumeLine(const ReportWriter& w, const VolumeEntry& volume) {
    std::string drive = quarro::text::ToAnsi(volume.root);
    if (!drive.empty()) drive.pop_back();
    for (char& c : drive) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    const std::string fileSystem = quarro::text::ToAnsi(volume.fileSystem);
    if (w.Fixed()) {
        return Piece("%-10s%-20s%15I64u    %15I64u", drive.c_str(), fileSystem.c_str(), volume.freeToCaller,
                     volume.total) + "\r\n";
    }
    const char s = w.Separator();
    return Piece("%s%c%s%c%I64u%c%I64u", drive.c_str(), s, fileSystem.c_str(), s, volume.freeToCaller, s,
                 volume.total) + "\r\n";
}

std::string AttributeLine(const ReportWriter& w, const DiskData& data, const Strings& strings, const SmartEntry& e) {
    const char* hex = "%02x%02x%02x%02x%02x%02x";
    std::string line;
    if (w.Fixed()) {
        line = Piece("%5d ", e.id) + Piece("%10d ", e.current) + "   " +
               Piece(hex, e.raw[5], e.raw[4], e.raw[3], e.raw[2], e.raw[1], e.raw[0]) + " " +
               Piece("%10d", e.further) + (data.namedView ? "      " : "\r\n");
    } else {
        const char s = w.Separator();
        line = Piece("%d%c", e.id, s) + Piece("%d%c", e.current, s) +
               Piece(hex, e.raw[5], e.raw[4], e.raw[3], e.raw[2], e.raw[1], e.raw[0]) + s + Piece("%d", e.further) +
               (data.namedView ? std::string(1, s) : std::string("\r\n"));
    }
    if (data.namedView) {
        const std::uint32_t name = AttributeNameId(e.id);
        line += (name ? Ansi(strings, name) : std::string()) + "\r\n";
    }
    return line;
}

void WriteHeading(const DiskData& data, const Strings& strings, ReportWriter& w) {
    const std::string volumeTitles = w.Fixed() ? Ansi(strings, kIdsVolumeHeading) + "\r\n"
                                               : Joined(w, strings, {kIdsDrive, kIdsFileSystem, kIdsFreeSpace, kIdsCapacity});
    w.Append(ReportWriter::HeadBlock(Ansi(strings, kIdsSectionHead), volumeTitles));
    for (const VolumeEntry& volume : data.volumes) w.Append(VolumeLine(w, volume));
    w.Append("\r\n" + ReportWriter::RuleLine());
    std::string attributeTitles;
    if (w.Fixed()) {
        attributeTitles = Ansi(strings, data.namedView ? kIdsAttributeHeadingNamed : kIdsAttributeHeading) + "\r\n";
    } else if (data.namedView) {
        attributeTitles = Joined(w, strings, {kIdsId, kIdsAttribute1, kIdsAttribute2, kIdsAttribute3, kIdsAttributeName});
    } else {
        attributeTitles = Joined(w, strings, {kIdsId, kIdsAttribute1, kIdsAttribute2, kIdsAttribute3});
    }
    w.Append(attributeTitles + ReportWriter::RuleLine());
    if (!data.notFound.empty()) w.Append("  " + quarro::text::ToAnsi(data.notFound) + "\r\n");
}

void WriteDump(const DiskData& data, const Strings& strings, ReportWriter& w) {
    w.Append("\r\n" + ReportWriter::RuleLine() + "  " + Ansi(strings, kIdsAdvancedTitle) + "\r\n" +
             ReportWriter::RuleLine());
    if (data.rawLength != kRawSectorSize) {
        w.Append("  " + Ansi(strings, kIdsNotFound) + "\r\n");
        return;
    }
    for (int offset = 0; offset < kRawSectorSize; offset += 16) {
        std::string line = w.Fixed() ? Piece("  %03X  ", offset) : Piece("  %03X%c", offset, w.Separator());
        for (int i = 0; i < 16; ++i) {
            line += Piece(w.Fixed() || i > 0 ? " %02X" : "%02X", data.rawSector[static_cast<std::size_t>(offset + i)]);
        }
        w.Append(line + "\r\n");
    }
}

}  // namespace

ReportStatus WriteDiskReport(const DiskData& data, const Strings& strings, ReportWriter& w,
                             tabframe::ReportResume& at) {
    if (at.stage == kHeading) {
        WriteHeading(data, strings, w);
        at = {kRows, 0};
    }
    if (at.stage == kRows) {
        // The count came from the pipe: never past the 30 entries there are, never below none.
        for (; at.index < data.ShownAttributes(); ++at.index) {
            if (!w.AppendLine(AttributeLine(w, data, strings, data.Attribute(at.index)))) return ReportStatus::kMore;
        }
        at = {kAdvanced, 0};
        if (data.advancedMode && w.PartNeedsFreshCall()) return ReportStatus::kMore;
    }
    if (at.stage == kAdvanced && data.advancedMode) WriteDump(data, strings, w);
    w.Append("\r\n\r\n");
    return ReportStatus::kComplete;
}

}  // namespace disk_tab
