// The Setup tab's session adapter against the simulated driver: the device table's second try
// with the room the firmware asks for, and the 0x1001 packet.
#include <gtest/gtest.h>

#include <string>

#include "tabs/setup/session_firmware.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

std::string Names(std::size_t bytes) {
    // ANSI entries of 100 letters (tag 2, never picked by English) ahead of the English name.
    nlohmann::json names = nlohmann::json::array();
    for (std::size_t used = 0; used + 102 <= bytes; used += 102) names.push_back({{"tag", 2}, {"text", std::string(100, 'x')}});
    names.push_back({{"tag", 1}, {"text", "Dock LAN"}});
    return names.dump();
}

TEST(SetupSession, DeviceNamesGetTheRoomTheFirmwareAsksFor) {
    const std::string json = R"({"miscDriver": {"present": true, "driverVersion": "1.0.900.0", "cipher": true,
      "deviceTable": {
        "1": [ { "state": 2, "names": )" + Names(0) + R"( } ],
        "2": [ { "state": 2, "names": )" + Names(500) + R"( } ],
        "3": [ { "state": 2, "names": )" + Names(500) + R"(, "reportedSize": 1 } ],
        "4": [ { "state": 2, "names": )" + Names(1100) + R"( } ]
      },
      "uefiBoot": { "1": { "value": 1, "flag": 0 }, "2": { "value": 1, "flag": 1 } } }})";
    sim::SimDeviceInterfaces devices(nlohmann::json::parse(json));
    devices.Driver().Seed(3);
    pf::Services services;
    services.devices = &devices;
    const pf::ScopedOverride override(services);
    MiscCommon::CMiscCommon session;
    ASSERT_EQ(session.Open(), MiscCommon::kMiscSuccess);
    setup_tab::SessionFirmware firmware(session);
    const setup_tab::AnsiDecoder ansi = [](std::string_view s) { return std::u16string(s.begin(), s.end()); };

    struct Case { std::uint16_t device; bool answered; };
    const Case cases[] = {{1, true}, {2, true}, {3, false}, {4, false}, {5, false}};
    for (const Case& c : cases) {
        std::uint16_t values[4] = {};
        std::vector<std::uint8_t> names;
        EXPECT_EQ(firmware.DeviceEntry(c.device, 0, values, &names), c.answered) << c.device;
        if (c.answered) {
            EXPECT_EQ(values[0], 2);
            EXPECT_EQ(setup_tab::DeviceOwnName(names, u"1", ansi), u"Dock LAN") << c.device;
        }
    }

    std::uint32_t value = 7;
    EXPECT_TRUE(firmware.UefiBoot(1, &value));
    EXPECT_EQ(value, 1u);
    EXPECT_FALSE(firmware.UefiBoot(2, &value));  // the flag says the value is not valid
    EXPECT_FALSE(firmware.UefiBoot(0, &value));  // not listed
}

}  // namespace
}  // namespace tab_tests
