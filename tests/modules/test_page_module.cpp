#include "tests/modules/test_page_module.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "common/module_strings.h"

namespace test_page {

namespace {

using tabframe::Piece;
using tabframe::ReportStatus;
using tabframe::ReportWriter;

void ThrowIfAsked(const char* exportName) {
    const char* which = std::getenv("QUARRO_TEST_PAGE_THROW");
    if (which && std::strcmp(which, exportName) == 0) throw std::runtime_error(exportName);
}

// The stages of the report: where a call goes on.
enum Stage : int { kHeading = 0, kFacts, kEntryList, kDump, kEnd };

std::string ItemLine(const ReportWriter& w, const std::string& item, const std::string& value) {
    return w.Field("%-34s ", item, false) + w.Field("%-84s\r\n", value, true);
}

std::string EntryLine(const ReportWriter& w, int number) {
    const std::string entry = "entry " + std::to_string(number);
    if (w.Fixed()) return Piece("%-34s", "") + Piece("%3d : ", number) + Piece("%-79s\r\n", entry.c_str());
    return Piece("%c", w.Separator()) + Piece("%3d : ", number) + Piece("%s\r\n", entry.c_str());
}

std::string DumpLine(const ReportWriter& w, int row) {
    const int b = row * 4;
    return w.Fixed() ? Piece("  %03X   %02X %02X %02X %02X\r\n", row * 16, b, b + 1, b + 2, b + 3)
                     : Piece("  %03X%c%02X %02X %02X %02X\r\n", row * 16, w.Separator(), b, b + 1, b + 2, b + 3);
}

}  // namespace

std::vector<TestPageModule::Fact> TestPageModule::Facts() const {
    const TabInitRecord& record = Record();
    return {{"TabIndex", std::to_string(record.TabIndex)},
            {"RefreshPeriod", std::to_string(record.RefreshPeriod)},
            {"Session", record.Session ? "yes" : "no"},
            {"SmartIdNames", std::to_string(record.SmartIdNames)},
            {"Saving", Saving() ? "1" : "0"}};
}

bool TestPageModule::BuildData(const TabInitRecord&) {
    built_ = true;
    ThrowIfAsked("InitTabDLL");
    return true;
}

void TestPageModule::ReleaseData() {
    const bool had = built_;
    built_ = false;
    if (had) ThrowIfAsked("TermTabDLL");
}

void TestPageModule::OnCommand(int) { ThrowIfAsked("CommandMessage"); }

tabframe::ITabPage* TestPageModule::CreatePage() {
    ThrowIfAsked("SetupPropertyPage");
    return TabModule::CreatePage();
}

ReportStatus TestPageModule::WriteReport(ReportWriter& w, tabframe::ReportResume& at) {
    if (at.stage == kHeading) {
        const std::string item = quarro::resources::LoadModuleStringAnsi(kItemStringId);
        const std::string value = quarro::resources::LoadModuleStringAnsi(kValueStringId);
        w.Append(ReportWriter::HeadBlock(quarro::resources::LoadModuleStringAnsi(kHeadStringId),
                                         ItemLine(w, item, value)));
        at = {kFacts, 0};
    }
    const std::vector<Fact> facts = Facts();
    for (; at.stage == kFacts; ++at.index) {
        if (at.index == static_cast<int>(facts.size())) {
            at = {kEntryList, -1};
            break;
        }
        if (!w.AppendLine(ItemLine(w, facts[static_cast<std::size_t>(at.index)].item,
                                   facts[static_cast<std::size_t>(at.index)].value))) {
            return ReportStatus::kMore;
        }
        ThrowIfAsked("GetStringData");
    }
    for (; at.stage == kEntryList; ++at.index) {
        if (at.index == kEntries) {
            at = {kDump, 0};
            break;
        }
        // Entry -1 is the list's title line.
        const std::string title = w.Fixed() ? Piece("%-34s\r\n", "Entries") : Piece("%s%c\r\n", "Entries", w.Separator());
        const std::string line = at.index < 0 ? title : EntryLine(w, at.index + 1);
        if (!w.AppendLine(line)) return ReportStatus::kMore;
    }
    if (at.stage == kDump) {
        if (w.PartNeedsFreshCall()) return ReportStatus::kMore;
        w.Append("  Dump\r\n");
        for (int row = 0; row < 4; ++row) w.Append(DumpLine(w, row));
        at = {kEnd, 0};
    }
    w.Append("\r\n\r\n");
    return ReportStatus::kComplete;
}

}  // namespace test_page

namespace {
test_page::TestPageModule theModule;
}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
