// The frame seen from outside, through a non-list module (tests/modules/test_page_module.*)
// loaded as the viewer loads it: the record, the saving flag, the chunked report with a list
// resumed inside and a part that starts a call of its own, and what a throwing module returns.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

class PageModule : public LoadedModule {
public:
    PageModule() : LoadedModule(QUARRO_TEST_MODULE_DIR, "TestPage") {}

    // A whole sequence in buffers of `size` bytes; the chunks as the viewer writes them.
    std::vector<std::string> Chunks(int size, char separator) {
        std::vector<std::string> chunks;
        std::vector<char> buffer(static_cast<std::size_t>(size));
        for (int chunk = 0; chunk < 200; ++chunk) {
            std::fill(buffer.begin(), buffer.end(), 0);
            const int result = Chunk(chunk, buffer.data(), size, separator);
            EXPECT_GE(result, 0);
            if (result < 0) break;
            chunks.emplace_back(buffer.data());
            EXPECT_LT(chunks.back().size(), static_cast<std::size_t>(size));
            if (result == 0) break;
            EXPECT_EQ(result, chunk + 1);
        }
        return chunks;
    }
};

std::string Join(const std::vector<std::string>& parts) {
    std::string all;
    for (const auto& part : parts) all += part;
    return all;
}

const std::string kRule(119, '-');

TEST(PageModule, ReportShowsTheRecordAndSavingAndPutsTheDumpInACallOfItsOwn) {
    PageModule module;
    const TabInitRecord record{4, kTabRefreshPeriod, nullptr, 1};
    ASSERT_EQ(module.Init(&record), 1);
    ASSERT_EQ(module.Command(kTabCommandSaveBegin), 1);
    std::string entries;
    for (int n = 1; n <= 12; ++n) entries += "," + std::string(n < 10 ? "  " : " ") + std::to_string(n) + " : entry " + std::to_string(n) + "\r\n";
    const auto chunks = module.Chunks(kReportBufferSize, ',');
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], "[Test Page]\r\n" + kRule + "\r\nItem,Value\r\n" + kRule +
                             "\r\nTabIndex,4\r\nRefreshPeriod,1000\r\nSession,no\r\nSmartIdNames,1\r\nSaving,1\r\n"
                             "Entries,\r\n" + entries);
    EXPECT_EQ(chunks[1], "  Dump\r\n  000,00 01 02 03\r\n  010,04 05 06 07\r\n  020,08 09 0A 0B\r\n  030,0C 0D 0E 0F\r\n\r\n\r\n");

    ASSERT_EQ(module.Command(kTabCommandSaveEnd), 1);
    const auto fixed = module.Chunks(kReportBufferSize, 0);
    ASSERT_EQ(fixed.size(), 2u);
    EXPECT_NE(fixed[0].find("Saving" + std::string(29, ' ') + "0" + std::string(83, ' ') + "\r\n"), std::string::npos);
    EXPECT_NE(fixed[0].find(std::string(34, ' ') + " 12 : entry 12" + std::string(71, ' ') + "\r\n"), std::string::npos);
    EXPECT_EQ(fixed[1].rfind("  Dump\r\n  000   00 01 02 03\r\n  010   04", 0), 0u);

    ASSERT_EQ(module.Init(nullptr), 1);
    EXPECT_NE(module.Chunks(kReportBufferSize, ',')[0].find("TabIndex,0\r\nRefreshPeriod,0\r\nSession,no\r\nSmartIdNames,0\r\n"),
              std::string::npos)
        << "a null record reads as all zero";
}

TEST(PageModule, EveryBufferSizeGivesTheSameTextCutAtLines) {
    // From the heading's size (written whole only into a buffer that holds it) upwards.
    PageModule module;
    ASSERT_EQ(module.Init(nullptr), 1);
    const std::string whole = Join(module.Chunks(kReportBufferSize, ','));
    bool resumedInsideTheList = false;
    for (int size = 300; size <= 700; size += 7) {
        SCOPED_TRACE(size);
        const auto chunks = module.Chunks(size, ',');
        EXPECT_EQ(Join(chunks), whole);
        for (std::size_t k = 1; k < chunks.size(); ++k) {
            ASSERT_FALSE(chunks[k].empty());
            EXPECT_EQ(chunks[k - 1].substr(chunks[k - 1].size() - 2), "\r\n") << "a call ends at a whole line";
            if (chunks[k][0] == ',' && chunks[k].find(" : entry ") == 4) resumedInsideTheList = true;
        }
        std::size_t dumps = 0;
        for (const auto& chunk : chunks) dumps += chunk.rfind("  Dump\r\n", 0) == 0 ? 1 : 0;
        EXPECT_EQ(dumps, 1u) << "the dump starts a call";
    }
    EXPECT_TRUE(resumedInsideTheList);
}

TEST(PageModule, AnythingThrownBecomesTheExportsFailureResult) {
    struct Case {
        const char* exportName;  // whose module part throws
        int init, text;
    } cases[] = {{"InitTabDLL", 0, -4}, {"GetStringData", 1, -4}, {"CommandMessage", 1, 1}, {"TermTabDLL", 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exportName);
        setenv("QUARRO_TEST_PAGE_THROW", c.exportName, 1);
        {
            PageModule module;
            PropSheetPageHandle page = &page;
            EXPECT_EQ(module.Setup(&page), -2) << "natively there is no page";
            EXPECT_EQ(page, nullptr);
            EXPECT_EQ(module.Init(nullptr), c.init);
            EXPECT_EQ(module.Command(kTabCommandSaveBegin), 1);
            char buffer[512] = {};
            EXPECT_EQ(module.Chunk(0, buffer, sizeof(buffer), ','), c.text);
            if (c.text < 0) {
                EXPECT_EQ(buffer[0], 0) << "a failed call leaves no text";
            } else {
                EXPECT_NE(std::string(buffer).find("Saving,1"), std::string::npos) << "1 still sets saving";
            }
            EXPECT_EQ(module.Term(), 1);
            EXPECT_EQ(module.Chunk(0, buffer, sizeof(buffer), ','), -4) << "TermTabDLL released the data";
            unsetenv("QUARRO_TEST_PAGE_THROW");
            ASSERT_EQ(module.Init(nullptr), 1);
            buffer[0] = 0;
            EXPECT_EQ(module.Chunk(0, buffer, sizeof(buffer), ','), 1) << "the next sequence starts afresh";
            EXPECT_EQ(std::string(buffer).rfind("[Test Page]\r\n", 0), 0u);
        }
        unsetenv("QUARRO_TEST_PAGE_THROW");
    }
}

}  // namespace
}  // namespace tab_tests
