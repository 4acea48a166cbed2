// The tab-module frame's own rules: the chunked report writer, the list table's limits, the
// module entry points every module shares, and the stored column widths.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/native/memory_registry.h"
#include "tabframe/column_widths.h"
#include "tabframe/list_module.h"
#include "tabframe/report_writer.h"

namespace {

namespace pf = quarro::platform;
using tabframe::ListColumnSpec;
using tabframe::ReportResume;
using tabframe::ReportStatus;
using tabframe::ReportWriter;

// ---- The writer ----------------------------------------------------------------------------

TEST(ReportWriter, AppendsBoundedAndLinesOnlyWhenTheyFitWithTwentyBytesToSpare) {
    struct Case {
        const char* behaviour;
        std::string before;  // text already in the buffer
        std::size_t size;
        std::string line;
        bool appended;
        std::string text;  // the buffer's text afterwards
    } cases[] = {
        {"used + length + 20 below the size fits", "ab", 33, std::string(10, 'x'), true, "ab" + std::string(10, 'x')},
        {"reaching the size does not", "ab", 32, std::string(10, 'x'), false, "ab"},
        {"an empty buffer takes even a line too long, cut", "", 8, "0123456789", true, "0123456"},
        {"text already there counts as used", std::string(12, 'u'), 40, std::string(8, 'x'), false, std::string(12, 'u')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.behaviour);
        std::vector<char> buffer(c.size, 0);
        std::copy(c.before.begin(), c.before.end(), buffer.begin());
        ReportWriter writer(buffer.data(), buffer.size(), 1, 0);
        EXPECT_EQ(writer.AppendLine(c.line), c.appended);
        EXPECT_EQ(std::string(buffer.data()), c.text);
        EXPECT_EQ(writer.WroteAnything(), c.text != c.before);
    }
}

TEST(ReportWriter, ClosingKeepsAZeroWordInsideTheBufferAndDiscardTakesTheCallBack) {
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 'z');
    buffer[0] = 'a';
    buffer[1] = 0;
    ReportWriter writer(buffer, sizeof(buffer), 1, 0);
    writer.Append("bcdefghijk");
    EXPECT_EQ(std::string(buffer), "abcdefg") << "cut before the last byte, which stays the terminator";
    writer.Close();
    EXPECT_EQ(buffer[7], 0);
    writer.Discard();
    EXPECT_EQ(std::string(buffer), "a");
    writer.Append("bc");
    writer.Close();
    EXPECT_EQ(std::string(buffer, 5), std::string("abc\0\0", 5));
    EXPECT_EQ(buffer[5], 'f') << "nothing beyond the zero word is touched";
}

TEST(ReportWriter, FieldsFollowTheLayoutAndOnlyTheLowByteOfTheSeparatorCounts) {
    struct Case {
        int separator;
        bool last;
        std::string expected;
    } cases[] = {
        {0, false, "Item       "}, {0, true, "Item       "}, {0x100, false, "Item       "},
        {',', false, "Item,"},      {',', true, "Item\r\n"},    {0x709, false, "Item\t"},
    };
    char buffer[4] = {};
    for (const Case& c : cases) {
        const ReportWriter writer(buffer, sizeof(buffer), 0, c.separator);
        EXPECT_EQ(writer.Field("%-10s ", "Item", c.last), c.expected) << c.separator;
    }
    EXPECT_EQ(tabframe::Piece("%s", std::string(400, 'p').c_str()).size(), 279u);
    EXPECT_EQ(ReportWriter::RuleLine(), std::string(119, '-') + "\r\n");
}

TEST(ReportWriter, OneCallChecksItsArgumentsRestartsAtChunkZeroAndTakesBackAFailedCall) {
    int calls = 0;
    const tabframe::ReportBody body = [&](ReportWriter& w, ReportResume& at) {
        ++calls;
        w.Append("stage " + std::to_string(at.stage));
        if (at.stage == 7) throw std::runtime_error("fails midway");
        ++at.stage;
        return at.stage < 3 ? ReportStatus::kMore : ReportStatus::kComplete;
    };
    char buffer[64] = {};
    ReportResume at{2, 5};
    struct Case {
        char* buffer;
        int size;
        bool hasData;
        int result;
    } errors[] = {{nullptr, 64, true, -2}, {buffer, 0, true, -3}, {buffer, 64, false, -4}, {buffer, -1, true, -3},
                  {nullptr, 0, false, -2}, {buffer, 0, false, -3}, {buffer, -1, false, -4}};
    for (const Case& c : errors) EXPECT_EQ(tabframe::RunReportCall(0, c.buffer, c.size, 0, c.hasData, at, body), c.result);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(at.stage, 2) << "an argument error leaves the sequence alone";

    EXPECT_EQ(tabframe::RunReportCall(4, buffer, 64, 0, true, at, body), 0) << "stage 2 ends the text";
    EXPECT_EQ(std::string(buffer), "stage 2");
    EXPECT_EQ(at.stage, 0) << "a complete text clears the resumption";
    at = {2, 5};
    buffer[0] = 0;
    EXPECT_EQ(tabframe::RunReportCall(0, buffer, 64, 0, true, at, body), 1) << "chunk 0 starts afresh";
    EXPECT_EQ(std::string(buffer), "stage 0");

    at = {7, 1};
    EXPECT_THROW(tabframe::RunReportCall(3, buffer, 64, 0, true, at, body), std::runtime_error);
    EXPECT_EQ(std::string(buffer), "stage 0") << "the failed call's text is taken back";
    EXPECT_EQ(at.stage, 0);
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(tabframe::RunReportCall(1, buffer, 64, 0, true, at, body), -3) << "no terminator inside the buffer";
}

// ---- The list table and the list module ----------------------------------------------------

std::vector<ListColumnSpec> Columns(int count) {
    return std::vector<ListColumnSpec>(static_cast<std::size_t>(count), ListColumnSpec{3, 80, "%-8s ", 16});
}

bool OneRowPerColumn(tabframe::ListTable& table, const TabInitRecord&) {
    const int row = table.AppendRow();
    for (int c = 0; c < table.ColumnCount(); ++c) table.SetField(row, c, u"v");
    return true;
}

TEST(ListFrame, TablesAndModulesTakeUpToSixteenColumns) {
    struct Case {
        int columns;
        int capacity;
        bool built;
    } cases[] = {{1, 500, true}, {16, 500, true}, {17, 500, false}, {0, 500, false},
                 {2, 200, true}, {2, 4096, true}, {2, 4097, false}, {2, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.columns) + " columns, " + std::to_string(c.capacity) + " rows");
        const auto columns = Columns(c.columns);
        auto table = tabframe::ListTable::Create(columns.data(), c.columns, c.capacity);
        EXPECT_EQ(table != nullptr, c.built);
        if (table) {
            EXPECT_EQ(table->Capacity(), c.capacity);
            for (int r = 0; r < c.capacity; ++r) table->AppendRow();
            EXPECT_EQ(table->AppendRow(), -1) << "a full table takes no row";
        }
        tabframe::ListModule module(u"FacetCols", columns.data(), c.columns, &OneRowPerColumn, c.capacity);
        EXPECT_EQ(module.InitTabDLL(nullptr), c.built ? 1 : 0);
        std::vector<char> buffer(8192, 0);
        const int text = module.GetStringData(0, buffer.data(), static_cast<int>(buffer.size()), ',');
        EXPECT_EQ(text, c.built ? 0 : -4);
        if (c.built) {
            std::string row = "  1 :";
            for (int k = 0; k < c.columns; ++k) row += ",v";
            EXPECT_NE(std::string(buffer.data()).find(row + "\r\n"), std::string::npos) << "every column is written";
        }
        EXPECT_EQ(module.TermTabDLL(), 1);
    }
}

TEST(ListFrame, ReportWritesNoRowNumberedBeyondFiveHundred) {
    const auto columns = Columns(1);
    auto table = tabframe::ListTable::Create(columns.data(), 1, 600);
    for (int r = 0; r < 600; ++r) table->SetField(table->AppendRow(), 0, u"r");
    const tabframe::ListReportSource source{table.get(), columns.data(), "[Head]"};
    std::vector<char> buffer(tabframe::kPieceSize * 600, 0);
    ReportResume at;
    ASSERT_EQ(tabframe::ListGetStringData(source, at, 0, buffer.data(), static_cast<int>(buffer.size()), ','), 0);
    const std::string text = buffer.data();
    EXPECT_NE(text.find("500 :,r\r\n\r\n\r\n"), std::string::npos) << "row 500 is the last one";
    EXPECT_EQ(text.find("501 :"), std::string::npos);
}

TEST(TabModuleContract, EntryPointsBehaveAlikeWithoutAPageOrASetUp) {
    const auto columns = Columns(2);
    tabframe::ListModule module(u"FacetSame", columns.data(), 2, &OneRowPerColumn);
    EXPECT_EQ(module.TermTabDLL(), 1) << "without a set-up";
    EXPECT_EQ(module.SetupPropertyPage(nullptr), -1);
    PropSheetPageHandle page = &page;
    EXPECT_EQ(module.SetupPropertyPage(&page), -2) << "natively there is no page to make";
    EXPECT_EQ(page, nullptr);
    char buffer[64] = {};
    EXPECT_EQ(module.GetStringData(0, buffer, 64, 0), -4) << "no data before InitTabDLL";

    const TabInitRecord record{3, 1000, nullptr, 1};
    ASSERT_EQ(module.InitTabDLL(&record), 1);
    EXPECT_EQ(module.Record().TabIndex, 3);
    EXPECT_EQ(module.Record().SmartIdNames, 1);
    ASSERT_EQ(module.InitTabDLL(nullptr), 1);
    EXPECT_EQ(module.Record().TabIndex, 0) << "a null record reads as all zero";
    EXPECT_EQ(module.Record().RefreshPeriod, 0);

    // Saving: set by 1, cleared by 2, untouched by every other code.
    struct Step {
        int code;
        bool saving;
    } steps[] = {{1, true}, {100, true}, {120, true}, {2, false}, {113, false}, {1, true}, {1, true}, {2, false}};
    for (const Step& s : steps) {
        EXPECT_EQ(module.CommandMessage(s.code), 1);
        EXPECT_EQ(module.Saving(), s.saving) << s.code;
    }
    EXPECT_EQ(module.TermTabDLL(), 1);
    EXPECT_EQ(module.GetStringData(0, buffer, 64, 0), -4) << "TermTabDLL freed the table";
}

// ---- Column widths as stored -----------------------------------------------------------------

TEST(ColumnWidths, AreStoredAsColumnWNnDwordsAndReadBackForTheFirstTenColumns) {
    pf::sim::MemoryRegistry registry;
    pf::Services services;
    services.registry = &registry;
    const pf::ScopedOverride use(services);

    tabframe::StoreColumnWidths(u"FacetW", {{0, 70}, {1, 0}, {4, 60}, {10, 33}});
    pf::RegKey key = 0;
    ASSERT_EQ(registry.OpenKey(pf::kHkeyCurrentUser, u"Software\\Mirelta\\quarro\\FacetW", pf::kKeyRead, &key),
              pf::kErrorSuccess);
    std::vector<std::pair<std::u16string, std::uint32_t>> values;
    for (std::uint32_t i = 0;; ++i) {
        char16_t name[64] = {};
        std::uint32_t chars = 64, type = 0, data = 0, size = 4;
        if (registry.EnumValue(key, i, name, &chars, &type, reinterpret_cast<std::uint8_t*>(&data), &size) !=
            pf::kErrorSuccess) {
            break;
        }
        EXPECT_EQ(type, pf::kRegDword);
        values.emplace_back(std::u16string(name, chars), data);
    }
    registry.CloseKey(key);
    EXPECT_EQ(values, (std::vector<std::pair<std::u16string, std::uint32_t>>{
                          {u"ColumnW00", 70}, {u"ColumnW01", 0}, {u"ColumnW04", 60}, {u"ColumnW10", 33}}));

    // Read back: stored values win (even 0), other columns and numbers from 10 on take defaults; a
    // value of another type does not read.
    const std::uint8_t text[] = {'9', 0, 0, 0};
    ASSERT_EQ(registry.CreateKey(pf::kHkeyCurrentUser, u"Software\\Mirelta\\quarro\\FacetW", pf::kKeyAllAccess, &key,
                                 nullptr),
              pf::kErrorSuccess);
    registry.SetValue(key, u"ColumnW05", pf::kRegSz, text, sizeof(text));
    registry.CloseKey(key);
    EXPECT_EQ(tabframe::ReadColumnWidths(u"FacetW", {1, 2, 3}), (std::vector<int>{70, 0, 3}));
    EXPECT_EQ(tabframe::ReadColumnWidths(u"FacetW", {1, 2, 3, 4, 5, 6, 7}, 4), (std::vector<int>{60, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);

    // Nothing is written for a negative width, nor for no widths at all.
    tabframe::StoreColumnWidths(u"FacetN", {{0, 5}, {1, -1}});
    tabframe::StoreColumnWidths(u"FacetE", {});
    for (const char16_t* name : {u"Software\\Mirelta\\quarro\\FacetN", u"Software\\Mirelta\\quarro\\FacetE"}) {
        EXPECT_NE(registry.OpenKey(pf::kHkeyCurrentUser, name, pf::kKeyRead, &key), pf::kErrorSuccess);
    }
}

}  // namespace
