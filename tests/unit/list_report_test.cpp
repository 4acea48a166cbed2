#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tabframe/list_report.h"
#include "tabframe/tab_contract.h"

#include <cstdio>

namespace {

using tabframe::ListColumnSpec;
using tabframe::ListGetStringData;
using tabframe::ListReportSource;
using tabframe::ListTable;

const ListColumnSpec kDriverColumns[] = {
    {2, 70, "%-24s ", 260}, {3, 174, "%-58s ", 260}, {4, 90, "%-16s ", 260}, {6, 108, "%-16s\r\n", 50}};

const std::string kRule(119, '-');

std::string Pad(const std::string& s, std::size_t width) { return s.size() >= width ? s : s + std::string(width - s.size(), ' '); }

std::unique_ptr<ListTable> DriversTable(int rows) {
    auto table = ListTable::Create(kDriverColumns, 4);
    table->SetTitle(0, u"Provider");
    table->SetTitle(1, u"Name");
    table->SetTitle(2, u"Version");
    table->SetTitle(3, u"Type");
    for (int r = 0; r < rows; ++r) {
        const int row = table->AppendRow();
        const std::u16string n = std::u16string(1, static_cast<char16_t>(u'A' + r));
        table->SetField(row, 0, (u"Maker " + n).c_str());
        table->SetField(row, 1, (u"Device " + n).c_str());
        table->SetField(row, 2, u"1.2.3.4");
        table->SetField(row, 3, u"System");
    }
    return table;
}

std::string FixedHeading() {
    return "[Version(Drivers)]\r\n" + kRule + "\r\n    : " + Pad("Provider", 24) + " " + Pad("Name", 58) + " " +
           Pad("Version", 16) + " " + Pad("Type", 16) + "\r\n" + kRule + "\r\n";
}

std::string FixedRow(int number) {
    const std::string n(1, static_cast<char>('A' + number - 1));
    char prefix[16];
    std::snprintf(prefix, sizeof(prefix), "%3d : ", number);
    return prefix + Pad("Maker " + n, 24) + " " + Pad("Device " + n, 58) + " " + Pad("1.2.3.4", 16) + " " +
           Pad("System", 16) + "\r\n";
}

// Runs a whole GetStringData sequence and returns the chunks as the viewer would write them.
std::vector<std::string> Collect(const ListReportSource& source, int size, int separator, std::vector<int>* results = nullptr) {
    std::vector<std::string> chunks;
    tabframe::ReportResume resume;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    for (int chunk = 0; chunk < 100; ++chunk) {
        std::fill(buffer.begin(), buffer.end(), 0);
        const int result = ListGetStringData(source, resume, chunk, buffer.data(), size, separator);
        if (results) results->push_back(result);
        if (result < 0) break;
        chunks.emplace_back(buffer.data());
        if (result == 0) break;
        EXPECT_EQ(result, chunk + 1);
    }
    return chunks;
}

TEST(ListReport, ThreeRowsFixedLayout) {
    auto table = DriversTable(3);
    const ListReportSource source{table.get(), kDriverColumns, "[Version(Drivers)]"};
    const auto chunks = Collect(source, kReportBufferSize, 0);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], FixedHeading() + FixedRow(1) + FixedRow(2) + FixedRow(3) + "\r\n\r\n");
}

TEST(ListReport, SeparatedLayouts) {
    auto table = DriversTable(3);
    const ListReportSource source{table.get(), kDriverColumns, "[Version(Drivers)]"};
    for (const char sep : {',', '\t'}) {
        const std::string s(1, sep);
        std::string expected = "[Version(Drivers)]\r\n" + kRule + "\r\n    :" + s + "Provider" + s + "Name" + s +
                               "Version" + s + "Type\r\n" + kRule + "\r\n";
        for (int r = 1; r <= 3; ++r) {
            const std::string n(1, static_cast<char>('A' + r - 1));
            expected += "  " + std::to_string(r) + " :" + s + "Maker " + n + s + "Device " + n + s + "1.2.3.4" + s +
                        "System\r\n";
        }
        expected += "\r\n\r\n";
        const auto chunks = Collect(source, kReportBufferSize, sep);
        ASSERT_EQ(chunks.size(), 1u);
        EXPECT_EQ(chunks[0], expected) << int(sep);
        // Only the low 8 bits of the separator count.
        const auto high = Collect(source, kReportBufferSize, 0x700 | static_cast<unsigned char>(sep));
        EXPECT_EQ(high, chunks);
        const auto fixed = Collect(source, kReportBufferSize, 0x100);
        EXPECT_EQ(fixed[0].substr(0, FixedHeading().size()), FixedHeading());
    }
}

TEST(ListReport, BufferForHeadingAndTwoRowsGivesTwoChunks) {
    auto table = DriversTable(3);
    const ListReportSource source{table.get(), kDriverColumns, "[Version(Drivers)]"};
    // Room for the heading and two rows, with the 20-byte margin, but not for a third row.
    const int size = static_cast<int>(FixedHeading().size() + 2 * FixedRow(1).size() + FixedRow(3).size() + 20);
    std::vector<int> results;
    const auto chunks = Collect(source, size, 0, &results);
    EXPECT_EQ(results, (std::vector<int>{1, 0}));
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], FixedHeading() + FixedRow(1) + FixedRow(2));
    EXPECT_EQ(chunks[1], FixedRow(3) + "\r\n\r\n");
    // One byte more and the third row fits.
    const auto one = Collect(source, size + 1, 0);
    EXPECT_EQ(one.size(), 1u);
}

TEST(ListReport, EmptyTableStillHasHeadingAndEnd) {
    auto table = DriversTable(0);
    const ListReportSource source{table.get(), kDriverColumns, "[Version(Drivers)]"};
    const auto chunks = Collect(source, kReportBufferSize, 0);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], FixedHeading() + "\r\n\r\n");
}

TEST(ListReport, LongFieldsPushColumnsAndPiecesAreCutAt279Bytes) {
    auto table = DriversTable(1);
    table->SetField(0, 0, u"A maker whose name is longer than 24");
    const std::u16string longName(259, u'n');
    table->SetField(0, 1, longName.c_str());
    const ListReportSource source{table.get(), kDriverColumns, "[Version(Drivers)]"};
    const auto chunks = Collect(source, kReportBufferSize, 0);
    ASSERT_EQ(chunks.size(), 1u);
    const std::string expectedRow = "  1 : A maker whose name is longer than 24 " + std::string(259, 'n') + " " +
                                    Pad("1.2.3.4", 16) + " " + Pad("System", 16) + "\r\n";
    EXPECT_EQ(chunks[0], FixedHeading() + expectedRow + "\r\n\r\n");

    // A piece is cut at 279 bytes: a 300-byte section head keeps 279 bytes including its "\r\n".
    const ListReportSource longHead{table.get(), kDriverColumns, std::string(300, 'h')};
    const auto cut = Collect(longHead, kReportBufferSize, 0);
    EXPECT_EQ(cut[0].substr(0, 280), std::string(279, 'h') + "-");
}

TEST(ListReport, ArgumentErrors) {
    auto table = DriversTable(1);
    const ListReportSource source{table.get(), kDriverColumns, "[Version(Drivers)]"};
    const ListReportSource none{nullptr, kDriverColumns, "[Version(Drivers)]"};
    char buffer[64] = {};
    tabframe::ReportResume resume;
    EXPECT_EQ(ListGetStringData(source, resume, 0, nullptr, 64, 0), -2);
    EXPECT_EQ(ListGetStringData(source, resume, 0, buffer, 0, 0), -3);
    EXPECT_EQ(ListGetStringData(none, resume, 0, buffer, 64, 0), -4);
    EXPECT_EQ(buffer[0], 0);
}

TEST(ListReport, RowsBeyondCapacityAreNeverWrittenAndTinyBuffersEnd) {
    auto table = DriversTable(3);
    const ListReportSource source{table.get(), kDriverColumns, "[Version(Drivers)]"};
    // A buffer too small for any row: the sequence still ends, every chunk bounded.
    std::vector<int> results;
    const auto chunks = Collect(source, 64, 0, &results);
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(results.back(), 0);
    for (const auto& chunk : chunks) EXPECT_LT(chunk.size(), 64u);
}

}  // namespace
