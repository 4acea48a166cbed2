// The snapshot's battery bays as the class driver would answer: exclusive opens, tags that change
// when a battery is put back, queries that fail on their own, passes that change a bay between
// refreshes, and entries the reader refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/sim/sim_batteries.h"

namespace {

namespace pf = quarro::platform;
using nlohmann::json;

const char16_t kPath[] = u"\\\\?\\ACPI#PNP0C0A#1#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}";

json Bays(const std::string& extra) {
    return json::parse(R"([{"path": "\\\\?\\ACPI#PNP0C0A#1#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}",
        "name": "B1", "chemistry": "LION", "capacity": 10, "rate": -5)" + extra + "}]");
}

TEST(SimBatteries, TagsOpensAndFailingQueries) {
    pf::sim::SimBatteries bays(Bays(R"(, "failing": ["estimatedTime"], "passes": [{}, {"present": false}, {"capacity": 7}])"),
                               nullptr);
    pf::OwnedBattery battery(bays, bays.Open(u"\\\\?\\acpi#pnp0c0a#1#{72631E54-78A4-11D0-BCF7-00AA00B7B32A}"));
    ASSERT_TRUE(battery);
    EXPECT_EQ(bays.Open(kPath), pf::kNoBattery);
    EXPECT_EQ(pf::GetLastErrorCode(), 32u);  // one open at a time
    std::uint32_t tag = 0, first = 0, seconds = 0;
    pf::BatteryStatus status;
    ASSERT_TRUE(bays.QueryTag(battery.Get(), 200, &first));
    EXPECT_TRUE(bays.QueryStatus(battery.Get(), first, 0, &status));
    EXPECT_EQ(status.rate, -5);
    EXPECT_FALSE(bays.QueryEstimatedTime(battery.Get(), first, &seconds));
    EXPECT_EQ(pf::GetLastErrorCode(), 31u);
    EXPECT_FALSE(bays.QueryStatus(battery.Get(), first + 1, 0, &status));  // not the battery's tag
    EXPECT_EQ(pf::GetLastErrorCode(), 433u);
    EXPECT_FALSE(bays.QueryTag(battery.Get(), 200, &tag));  // pass 1: taken out
    EXPECT_EQ(tag, 0u);
    EXPECT_FALSE(bays.QueryStatus(battery.Get(), first, 0, &status));
    ASSERT_TRUE(bays.QueryTag(battery.Get(), 200, &tag));  // pass 2: back, with a new charge
    EXPECT_NE(tag, first);
    EXPECT_TRUE(bays.QueryStatus(battery.Get(), tag, 0, &status));
    EXPECT_EQ(status.capacity, 7u);
    std::u16string name;
    EXPECT_TRUE(bays.QueryDeviceName(battery.Get(), tag, &name));
    EXPECT_EQ(name, u"B1");
}

TEST(SimBatteries, UnusableEntriesAreSkippedAndSaid) {
    const char* entries[] = {
        R"([{"name": "no path"}])",
        R"([{"path": "p", "chemistry": "LITHIUM"}])",
        R"([{"path": "p", "capacity": "lots"}])",
        R"([{"path": "p", "rate": 5000000000}])",
        R"([{"path": "p", "failing": ["charge"]}])",
        R"([{"path": "p", "present": 1}])",
        R"([{"path": "p", "answerDelayMs": 70000}])",
        R"({"path": "p"})",
    };
    for (const char* entry : entries) {
        std::vector<std::string> problems;
        pf::sim::SimBatteries bays(json::parse(entry), &problems);
        EXPECT_EQ(bays.Bays(), 0u) << entry;
        EXPECT_EQ(problems.size(), 1u) << entry;
    }
}

}  // namespace
