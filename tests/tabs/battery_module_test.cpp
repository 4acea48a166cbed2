// The real Facet07 module loaded as the viewer loads it: when it refuses set-up, the switch of
// the remaining-time row, and the one-call report.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_batteries.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

class BatteryModule : public LoadedModule {
public:
    BatteryModule() : LoadedModule(QUARRO_MODULE_DIR, "Facet07") {}
};

const char* kBay = R"({"path": "\\\\?\\ACPI#PNP0C0A#1#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}", "name": "B1",
    "chemistry": "LION", "powerState": 2, "capacity": 100, "voltage": 11000, "rate": -50, "estimatedTime": 5400})";

TEST(BatteryModule, RefusesWithoutSessionOrBatteryDevice) {
    SimMachine machine;
    sim::SimBatteries none(nlohmann::json::array(), nullptr);
    sim::SimBatteries one(nlohmann::json::array({nlohmann::json::parse(kBay)}), nullptr);
    const TabInitRecord record{0, kTabRefreshPeriod, machine.Session(), 0};
    const TabInitRecord noSession{0, kTabRefreshPeriod, nullptr, 0};
    struct Case {
        sim::SimBatteries* batteries;
        const TabInitRecord* record;
        int result;
    };
    for (const Case& c : {Case{&one, &noSession, 0}, Case{&none, &record, 0}, Case{&one, &record, 1}}) {
        pf::Services services;
        services.batteries = c.batteries;
        const pf::ScopedOverride override(services);
        BatteryModule facet;
        EXPECT_EQ(facet.Init(c.record), c.result);
        char buffer[64] = {};
        EXPECT_EQ(facet.Chunk(0, buffer, sizeof buffer, 0), c.result ? 0 : -4);
        EXPECT_EQ(c.batteries->OpenHandles(), 0u);
        EXPECT_EQ(c.batteries->OpenSets(), 0u);
    }
}

TEST(BatteryModule, ModeSbcShowsTheRemainingTimeAndTheReportComesInOneCall) {
    SimMachine machine;
    sim::SimBatteries one(nlohmann::json::array({nlohmann::json::parse(kBay)}), nullptr);
    pf::Services services;
    services.batteries = &one;
    const pf::ScopedOverride override(services);
    for (int mode : {0, 1}) {
        machine.Registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mirelta\\Quarro]\r\n\"ModeSBC\"=dword:0000000" +
                         std::to_string(mode) + "\r\n");
        BatteryModule facet;
        const TabInitRecord record{0, kTabRefreshPeriod, machine.Session(), 0};
        ASSERT_EQ(facet.Init(&record), 1);
        for (int code : {1, 2, 100, 101, 102, 103, 110, 120, 7}) EXPECT_EQ(facet.Command(code), 1);
        const std::string text = facet.Text();
        EXPECT_EQ(text.find("  Remaining Time          1:30 hours\r\n") != std::string::npos, mode == 1) << text;
        // A buffer too small for the section gets it cut, still in one call.
        std::vector<char> small(100, 0);
        EXPECT_EQ(facet.Chunk(3, small.data(), 100, ','), 0);
        EXPECT_EQ(std::string(small.data()).rfind("[Battery Status]\r\n", 0), 0u);
        EXPECT_LE(std::string(small.data()).size(), 99u);
    }
}

}  // namespace
}  // namespace tab_tests
