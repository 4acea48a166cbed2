// The SMBIOS module: its set-up through an injected source, the outline the tree and the report
// share, and the report text byte for byte in both layouts, with the call index and small buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tabs/smbios/smbios_module.h"
#include "tests/smbios/smbios_test_support.h"

namespace smbios_tests {
namespace {

// BIOS (vendor "Mirelta"), an enabled on-board video device, one processor; no pointing device.
Bytes SmallTable() {
    Bytes bios(0x14, 0);
    bios[0] = 1;      // vendor
    bios[1] = 2;      // version
    bios[4] = 3;      // release date
    bios[5] = 0x0F;   // 1024 KB
    Bytes onBoard = {0x83, 1};  // video, enabled, string 1
    Bytes cpu(0x1E, 0);
    cpu[1] = 3;                 // central processor
    return Join({Structure(0, bios, {"Mirelta", "1.07", "03/14/2012"}), Structure(10, onBoard, {"Onboard IGD"}),
                 Structure(4, cpu, {}), EndOfTable()});
}

struct Report {
    int result;
    std::string text;
};

Report Call(smbios::SmbiosModule& module, int chunk, int separator, int size = 102400) {
    std::vector<char> buffer(static_cast<std::size_t>(size), 0);
    const int result = module.GetStringData(chunk, buffer.data(), size, separator);
    return {result, std::string(buffer.data(), quarro::text::LengthBounded(buffer.data(), buffer.size()))};
}

const std::string kRule = std::string(119, '-') + "\r\n";
const std::string kFixedHead = "[SMBIOS Data]\r\n" + kRule + "Item" + std::string(31, ' ') + "        Value" +
                               std::string(79, ' ') + "\r\n" + kRule;

TEST(SmbiosModule, ReportTextInBothLayoutsAndAgainWithoutTheHeading) {
    CountingSource source(Record(SmallTable()));
    smbios::SmbiosModule module(&source);
    ASSERT_EQ(module.InitTabDLL(nullptr), 1);
    const std::string fixedBody =
        "System Management BIOS\r\n"
        "General Information\r\n"
        "  BIOS Information\r\n"
        "    Vendor                                 Mirelta\r\n";
    const Report fixed = Call(module, 0, 0);
    EXPECT_EQ(fixed.result, 0);
    ASSERT_EQ(fixed.text.substr(0, kFixedHead.size() + fixedBody.size()), kFixedHead + fixedBody);
    // The value column starts at byte 43, under "Value".
    EXPECT_EQ(kFixedHead.find("Value") - kFixedHead.find("Item"), 43u);

    const Report comma = Call(module, 0, ',');
    const std::vector<std::string> wanted = {
        "[SMBIOS Data]\r\n" + kRule + "Item,Value\r\n" + kRule + "System Management BIOS\r\n",
        "  BIOS Information\r\n    Vendor,Mirelta\r\n    BIOS Version,1.07\r\n",
        "    BIOS ROM Size,1024KB\r\n",
        "  On Board Devices Information\r\n    Device Type 1,Video (Enabled)\r\n    Description String 1,Onboard IGD\r\n",
        "Processor Information\r\n  Processor 1\r\n    Processor Type,Central Processor\r\n",
        "    Processor Upgrade,\r\n\r\n\r\n",
    };
    std::size_t at = 0;
    for (const std::string& piece : wanted) {
        const std::size_t found = comma.text.find(piece, at);
        EXPECT_NE(found, std::string::npos) << piece;
        if (found != std::string::npos) at = found + piece.size();
    }
    EXPECT_EQ(at, comma.text.size());
    EXPECT_EQ(comma.text.find("Built-in Pointing Device"), std::string::npos);
    EXPECT_EQ(comma.text.find("OEM Strings"), std::string::npos);

    // Any other call index: the same body without the heading block, complete in that call.
    for (const auto& [separator, first] : {std::pair<int, const Report*>{0, &fixed}, {',', &comma}}) {
        const Report again = Call(module, 1, separator);
        EXPECT_EQ(again.result, 0);
        const std::size_t body = first->text.find("System Management BIOS");
        EXPECT_EQ(again.text, first->text.substr(body));
    }
    EXPECT_EQ(source.reads, 1);
}

TEST(SmbiosModule, NoTableIsNotFoundAndNoRowBlockIsNoReport) {
    struct Case {
        const char* what;
        bool answers;
        smbios::RawSmbiosRecord record;
    };
    const Case cases[] = {
        {"no WMI object", false, {}},
        {"version 2.3", true, Record(SmallTable(), 2, 3)},
        {"size 0", true, [] { auto r = Record(SmallTable()); r.size = 0; return r; }()},
        {"no complete structure", true, Record({0, 0x20, 0, 0, 1, 2})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CountingSource source(c.record, c.answers);
        smbios::SmbiosModule module(&source);
        char buffer[8] = {};
        EXPECT_EQ(module.GetStringData(0, buffer, sizeof(buffer), 0), -4);
        ASSERT_EQ(module.InitTabDLL(nullptr), 1);
        EXPECT_TRUE(smbios::Outline(module.Tables()).empty());
        EXPECT_EQ(Call(module, 0, 0).text, kFixedHead + "Not Found\r\n\r\n\r\n");
        EXPECT_EQ(Call(module, 3, '\t').text, "Not Found\r\n\r\n\r\n");
        EXPECT_EQ(module.TermTabDLL(), 1);
        EXPECT_EQ(module.GetStringData(0, buffer, sizeof(buffer), 0), -4);
    }
}

TEST(SmbiosModule, SmallBuffersDropRowsNotTitlesAndStillEnd) {
    CountingSource source(Record(SmallTable()));
    smbios::SmbiosModule module(&source);
    ASSERT_EQ(module.InitTabDLL(nullptr), 1);
    const std::string full = Call(module, 1, ',').text;
    for (int size = 1; size <= static_cast<int>(full.size()) + 30; ++size) {
        SCOPED_TRACE(size);
        const Report cut = Call(module, 1, ',', size);
        EXPECT_EQ(cut.result, 0);
        ASSERT_LT(cut.text.size(), static_cast<std::size_t>(size));
        // Every row written has 20 bytes of room after it; the titles fill what is left.
        std::size_t lineStart = 0;
        for (std::size_t end; (end = cut.text.find("\r\n", lineStart)) != std::string::npos; lineStart = end + 2) {
            const std::string line = cut.text.substr(lineStart, end + 2 - lineStart);
            if (line.rfind("    ", 0) == 0) {
                EXPECT_LT(end + 2 + 20, static_cast<std::size_t>(size)) << line;
            }
        }
    }
    // Enough room for all but the last rows: the instance titles after the first dropped row
    // still come.
    const std::size_t room = full.find("    Processor Type") + 10;
    const Report cut = Call(module, 1, ',', static_cast<int>(room));
    EXPECT_NE(cut.text.find("  Processor 1\r\n"), std::string::npos);
    EXPECT_EQ(cut.text.find("Processor Type"), std::string::npos);
}

TEST(SmbiosModule, OutlineShowsNonEmptyGroupsAndInstances) {
    CountingSource source(Record(SmallTable()));
    smbios::SmbiosModule module(&source);
    ASSERT_EQ(module.InitTabDLL(nullptr), 1);
    std::vector<std::string> shown;
    for (const smbios::OutlineGroup& group : smbios::Outline(module.Tables())) {
        shown.push_back(quarro::text::ToUtf8(group.title));
        for (const smbios::OutlineInstance& instance : group.instances) {
            shown.push_back("  " + quarro::text::ToUtf8(instance.label) + " " + std::to_string(instance.rows.end - instance.rows.first));
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"General Information", "  BIOS Information 18",
                                               "  On Board Devices Information 2", "Processor Information",
                                               "  Processor 1 8"}));
}

}  // namespace
}  // namespace smbios_tests
