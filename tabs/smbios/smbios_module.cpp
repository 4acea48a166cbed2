#include "tabs/smbios/smbios_module.h"

#include <string>

#include "common/ansi.h"
#include "platform/platform.h"
#include "platform/raw_smbios.h"

namespace smbios {

namespace {

using tabframe::Piece;
using tabframe::ReportStatus;
using tabframe::ReportWriter;

// A text of the row block in the ANSI code page, at most 280 bytes.
std::string Ansi(std::u16string_view text) {
    std::string bytes = quarro::text::ToAnsi(text);
    if (bytes.size() > tabframe::kPieceSize) bytes.resize(tabframe::kPieceSize);
    return bytes;
}

std::string Ansi(const char16_t* text, std::size_t units) {
    return Ansi(std::u16string_view(text, quarro::text::LengthBounded(text, units)));
}

}  // namespace

std::vector<OutlineGroup> Outline(const SmbiosTables& tables) {
    std::vector<OutlineGroup> groups;
    if (tables.TableLength() == 0 || !tables.Items()) return groups;
    for (int g = 0; g < kGroupCount; ++g) {
        const auto group = static_cast<SmbiosGroup>(g);
        const std::uint32_t count = tables.GroupCounter(group);
        if (count == 0) continue;
        OutlineGroup shown{tables.Load(GroupTitleId(group)), {}};
        for (std::uint32_t i = 0; i < count; ++i) {
            if (group == SmbiosGroup::kGeneral) {
                if (i >= kGeneralEntryCount) break;
                const auto entry = static_cast<GeneralEntry>(i);
                const RowRange rows = tables.GeneralRange(entry);
                if (!rows.empty()) shown.instances.push_back({tables.Load(GeneralBudget(entry).titleId), rows});
            } else {
                const RowRange rows = tables.InstanceRange(group, i);
                if (rows.empty()) continue;
                const std::string number = " " + std::to_string(i + 1);
                shown.instances.push_back(
                    {tables.Load(InstanceLabelId(group)) + std::u16string(number.begin(), number.end()), rows});
            }
        }
        groups.push_back(std::move(shown));
    }
    return groups;
}

bool SmbiosModule::BuildData(const TabInitRecord&) {
    if (!tables_.AllocateItemTable()) return false;
    IRawSmbiosSource& source = source_ ? *source_ : quarro::platform::RawSmbiosTables();
    // No table, or one that cannot be shown, leaves the length 0: the page and the report say
    // "Not Found", and the module still has its page.
    tables_.SetUp(source);
    return true;
}

ReportStatus SmbiosModule::WriteReport(ReportWriter& w, tabframe::ReportResume&) {
    const ItemTable* items = tables_.Items();
    if (w.Chunk() == 0) {
        const std::string item = Ansi(items->headings[0], kHeadingUnits);
        const std::string value = Ansi(items->headings[1], kHeadingUnits);
        const std::string columns = w.Fixed() ? Piece("%-34s ", item.c_str()) + Piece("        %-84s\r\n", value.c_str())
                                              : Piece("%s%c", item.c_str(), w.Separator()) + Piece("%s\r\n", value.c_str());
        w.Append(ReportWriter::HeadBlock(Ansi(tables_.Load(kSectionHeadId)), columns));
    }
    if (tables_.TableLength() == 0) {
        w.Append(Piece("%s\r\n", Ansi(tables_.Load(kNotFoundId)).c_str()));
    } else {
        w.Append(Piece("%s\r\n", Ansi(tables_.Load(kRootTitleId)).c_str()));
        for (const OutlineGroup& group : Outline(tables_)) {
            w.Append(Piece("%s\r\n", Ansi(group.title).c_str()));
            for (const OutlineInstance& instance : group.instances) {
                w.Append(Piece("  %s\r\n", Ansi(instance.label).c_str()));
                for (std::uint32_t r = instance.rows.first; r < instance.rows.end && r < kMaxRows; ++r) {
                    const std::string item = Ansi(items->rows[r].item, kTextUnits);
                    const std::string value = Ansi(items->rows[r].value, kTextUnits);
                    const std::string left = w.Fixed() ? Piece("    %-34s ", item.c_str())
                                                       : Piece("    %s%c", item.c_str(), w.Separator());
                    const std::string right = w.Fixed() ? Piece("    %s\r\n", value.c_str()) : Piece("%s\r\n", value.c_str());
                    if (!w.Fits(left.size() + right.size())) break;
                    w.Append(left);
                    w.Append(right);
                }
            }
        }
    }
    w.Append("\r\n\r\n");
    return ReportStatus::kComplete;
}

}  // namespace smbios
