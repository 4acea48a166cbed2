// The battery tab's core against simulated batteries and a table of firmware answers: the report
// lines of each edge case byte for byte, the busy path with a slow battery, the list brought up
// to date by the smallest change, and the session adapter's slot argument on the wire.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tabs/battery/battery_core.h"
#include "tabs/battery/session_firmware.h"
#include "platform/sim/sim_batteries.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

using namespace battery_tab;
using nlohmann::json;
using BRow = battery_tab::Row;

// The English string table's battery texts (the module's own table is checked by the report
// comparisons of the real module).
const std::map<unsigned, std::string> kEnglish = {
    {2, "Item"}, {3, "Status"}, {5, "[Battery Status]"}, {14, "Unknown"}, {21, "\xC2\xB0" "C"},
    {22, "  Battery Name"}, {23, "  Chemistry"}, {31, "  Power State"}, {32, "On Line"}, {33, "Charging"},
    {34, "Discharging"}, {35, "  Remaining Capacity"}, {36, "  Full Charged Capacity"}, {37, "  Voltage"},
    {38, "  Rate"}, {39, "  Total Charge Index"}, {40, "Battery #"}, {41, " mWh"}, {42, " mV"}, {43, " mW"},
    {44, "  Temperature"}, {45, "Not Present"}, {46, "Critical"}, {49, "Unknown"}, {50, "  Remaining Time"},
    {51, "hours"}, {52, "  Battery ID"}, {53, "  Battery Health"},
    {54, "Unknown (Please perform Battery Recalibration.)"}};

const Texts kTexts = {[](unsigned id) { return U(kEnglish.at(id)); },
                      [](std::string_view a) { return std::u16string(a.begin(), a.end()); }};

std::string Latin1(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 256 ? static_cast<char>(c) : '?');
    return out;
}

// Firmware answers by slot; a function left out is not answered.
struct FakeFirmware : IBatteryFirmware {
    std::optional<std::uint8_t> mode = 3;
    std::optional<std::uint16_t> health = 5;
    std::map<int, std::uint32_t> state;
    std::map<int, std::uint16_t> charge, temperature, serial, made, reference, dataWord;
    std::map<std::uint8_t, std::uint8_t> ec;
    int idReads = 0;

    template <typename T, typename V>
    static bool Get(const std::map<int, T>& m, int slot, V* out) {
        auto it = m.find(slot);
        if (it == m.end()) return false;
        *out = static_cast<V>(it->second);
        return true;
    }
    bool BatteryMode(std::uint8_t* m) override { return mode && (*m = *mode, true); }
    bool HealthSupport(std::uint16_t* b) override { return health && (*b = *health, true); }
    bool StateWord(std::uint16_t s, std::uint32_t* w) override { return Get(state, s, w); }
    bool ChargeIndex(std::uint16_t s, std::uint16_t* v) override { return Get(charge, s, v); }
    bool Temperature(std::uint16_t s, std::uint16_t* v) override { return Get(temperature, s, v); }
    bool SerialNumber(std::uint16_t s, std::uint16_t* v) override { return ++idReads, Get(serial, s, v); }
    bool ManufactureDate(std::uint16_t s, std::uint16_t* v) override { return Get(made, s, v); }
    bool ReferenceDate(std::uint16_t s, std::uint16_t asked, std::uint16_t* v) override {
        EXPECT_EQ(asked, PackDate(2099, 12, 31));
        return Get(reference, s, v);
    }
    bool DataWord(bool, std::uint8_t item, std::uint16_t s, std::uint16_t* w) override {
        EXPECT_EQ(item, 0x8D);
        return Get(dataWord, s, w);
    }
    bool EcRegister(std::uint8_t a, std::uint8_t* v) override {
        auto it = ec.find(a);
        return it != ec.end() && (*v = it->second, true);
    }
};

const pf::SystemTime kNow = {2026, 12, 0, 7, 15, 0, 0, 0};

json Bay(int n, json values) {
    json bay = {{"path", "\\\\?\\ACPI#PNP0C0A#" + std::to_string(n) + "#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}"},
                {"name", "BAT" + std::to_string(n)}, {"chemistry", "LION"}, {"designedCapacity", 5000},
                {"fullChargedCapacity", 4000}, {"powerState", 5}, {"capacity", 3000}, {"voltage", 11100},
                {"rate", 1500}, {"estimatedTime", "unknown"}};
    if (values.is_object()) bay.update(values);
    return bay;
}

std::string Line(const std::string& label, const std::string& value) {
    std::string padded = label;
    padded.resize(std::max<std::size_t>(25, label.size()), ' ');
    return padded + " " + value + "\r\n";
}

// One walk and refresh over `bays` and `firmware`; the report lines after the column heading.
struct Rig {
    Rig(json bays, FakeFirmware& firmware, bool showTime = false, std::uint32_t waitMs = kRefreshWaitMs)
        : batteries(bays, nullptr),
          settings(ReadSettings(firmware, showTime)),
          walk(batteries, &firmware, settings, [] { return kNow; }, &Latin1),
          refresh(walk, MakeWalkThread(), waitMs) {}
    std::string Report(WalkMode mode = WalkMode::kFull, char separator = 0) {
        refresh.Refresh(mode);
        const std::string text = ReportText(refresh.Current(), settings, separator, kTexts, &Latin1);
        const std::string head = "[Battery Status]\r\n" + std::string(119, '-') + "\r\n" +
                                 (separator ? std::string("Item") + separator + "Status\r\n" : Line("Item", "Status")) +
                                 std::string(119, '-') + "\r\n";
        EXPECT_EQ(text.substr(0, head.size()), head);
        EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
        return text.substr(head.size(), text.size() - head.size() - 4);
    }
    sim::SimBatteries batteries;
    BatterySettings settings;
    BatteryWalk walk;
    BatteryRefresh refresh;
};

std::string Battery1(const std::string& tail) {
    return Line("Battery #1", "") + Line("  Battery Name", "BAT1*") + Line("  Chemistry", "LION") + tail;
}

TEST(BatteryCore, EdgeCasesByteForByte) {
    struct Case {
        const char* what;
        json bays;
        std::function<void(FakeFirmware&)> firmware;
        bool showTime;
        std::string expected;  // the lines of battery 1 from "  Power State" on, or the whole body
        bool whole;
    };
    const std::string capacities = Line("  Remaining Capacity", "3000 mWh") + Line("  Full Charged Capacity", "4000 mWh") +
                                   Line("  Voltage", "11100 mV") + Line("  Rate", "1500 mW");
    const std::string firmwareRows = Line("  Total Charge Index", "132") + Line("  Temperature", "25.1\xB0" "C");
    const std::string onlineCharging = Line("  Power State", "On Line, Charging");
    const Case cases[] = {
        {"two devices, the second slot empty", json::array({Bay(1, {}), Bay(2, {{"present", false}})}),
         [](FakeFirmware&) {}, false,
         Battery1(onlineCharging + capacities + firmwareRows + Line("  Battery ID", "BAT1          12081710817") +
                  Line("  Battery Health", "80 %")) +
             Line("Battery #2", "Not Present"),
         true},
        {"relative capacities are bare numbers",
         json::array({Bay(1, {{"capabilities", "0x40000000"}, {"designedCapacity", 100}, {"fullChargedCapacity", 100},
                              {"capacity", 57}, {"rate", -12}})}),
         [](FakeFirmware&) {}, false,
         onlineCharging + Line("  Remaining Capacity", "57") + Line("  Full Charged Capacity", "100") +
             Line("  Voltage", "11100 mV") + Line("  Rate", "-12"),
         false},
        {"a reference date 200 days old asks for a recalibration", json::array({Bay(1, {})}),
         [](FakeFirmware& f) { f.reference[0] = PackDate(2026, 5, 21); }, false,
         Line("  Battery Health", "Unknown (Please perform Battery Recalibration.)"), false},
        {"full charge above design is 100 %", json::array({Bay(1, {{"fullChargedCapacity", 5200}})}),
         [](FakeFirmware&) {}, false, Line("  Battery Health", "100 %"), false},
        {"without 0x230 the data word 0x8D dates the battery", json::array({Bay(1, {})}),
         [](FakeFirmware& f) {
             f.reference.clear();
             f.dataWord[0] = PackDate(2026, 11, 7);
         },
         false, Line("  Battery Health", "80 %"), false},
        {"5400 seconds on battery", json::array({Bay(1, {{"powerState", 2}, {"estimatedTime", 5400}})}),
         [](FakeFirmware&) {}, true, Line("  Battery Health", "80 %") + Line("  Remaining Time", "1:30 hours"),
         false},
        {"no time while on line", json::array({Bay(1, {{"powerState", 5}})}), [](FakeFirmware&) {}, true,
         Line("  Battery Health", "80 %") + Line("  Remaining Time", ""), false},
        {"no time on battery", json::array({Bay(1, {{"powerState", 2}})}), [](FakeFirmware&) {}, true,
         Line("  Remaining Time", "Unknown"), false},
        {"unknown values", json::array({Bay(1, {{"capacity", "unknown"}, {"voltage", "unknown"}, {"rate", "unknown"},
                                                {"fullChargedCapacity", "unknown"}, {"powerState", 10}})}),
         [](FakeFirmware& f) { f.temperature.clear(); }, false,
         Line("  Power State", "Discharging, Critical") + Line("  Remaining Capacity", "Unknown") +
             Line("  Full Charged Capacity", "Unknown") + Line("  Voltage", "Unknown") + Line("  Rate", "Unknown") +
             Line("  Total Charge Index", "132") + Line("  Temperature", "Unknown"),
         false},
        {"failed queries clear their own values", json::array({Bay(1, {{"failing", {"information", "status"}}})}),
         [](FakeFirmware&) {}, false,
         Line("Battery #1", "") + Line("  Battery Name", "BAT1*") + Line("  Chemistry", "Unknown") +
             Line("  Power State", "Unknown") + Line("  Remaining Capacity", "Unknown") +
             Line("  Full Charged Capacity", "Unknown") + Line("  Voltage", "Unknown") + Line("  Rate", "Unknown") +
             firmwareRows + Line("  Battery ID", "BAT1          12081710817") + Line("  Battery Health", "Unknown"),
         true},
        {"mode 255 reads the controller", json::array({Bay(1, {}), Bay(2, {})}),
         [](FakeFirmware& f) {
             f.mode.reset();
             f.reference.clear();
             f.ec = {{0xC7, 0x0B}, {0xC6, 0xA6}, {0xCF, 0x00}, {0xCE, 0x2A}, {0xDF, 0x00}, {0xDE, 0x07},
                     {0xBF, 0x41}, {0xBE, 0x11}, {0xD0, 'X'}, {0xD1, 'Y'}, {0xD2, 0}};
         },
         false,
         Line("  Total Charge Index", "42") + Line("  Temperature", "25.1\xB0" "C") +
             Line("  Battery ID", "XY            12081700007") + Line("  Battery Health", "Unknown"),
         false},
        {"another mode has no firmware values", json::array({Bay(1, {})}), [](FakeFirmware& f) { f.mode = 4; }, false,
         Line("  Total Charge Index", "Unknown") + Line("  Temperature", "Unknown") + Line("  Battery Health", "80 %"),
         false},
    };
    for (const Case& c : cases) {
        FakeFirmware firmware;
        firmware.state[0] = 1;
        firmware.charge[0] = 132;
        firmware.temperature = {{0, 2982}, {1, 2982}};
        firmware.serial = {{0, 10817}, {1, 7175}};
        firmware.made = {{0, PackDate(2012, 8, 17)}, {1, PackDate(2012, 8, 17)}};
        firmware.reference[0] = PackDate(2026, 11, 7);  // 30 days before kNow
        c.firmware(firmware);
        Rig rig(c.bays, firmware, c.showTime);
        const std::string body = rig.Report();
        if (c.whole) {
            EXPECT_EQ(body, c.expected) << c.what;
        } else {
            EXPECT_NE(body.find(c.expected), std::string::npos) << c.what << "\n" << body;
        }
    }
}

TEST(BatteryCore, HealthRules) {
    struct Case {
        std::uint16_t date;
        std::uint32_t full, designed;
        bool valid;
        std::uint32_t health;
    };
    const Case cases[] = {
        {PackDate(2026, 11, 7), 4000, 5000, true, 80},     {PackDate(2026, 5, 21), 4000, 5000, false, 200},
        {PackDate(2026, 6, 10), 4000, 5000, false, 200},   // exactly 180 days before the present
        {PackDate(2026, 6, 11), 4000, 5000, true, 80},     {PackDate(2026, 11, 7), 5200, 5000, true, 100},
        {PackDate(2026, 13, 7), 4000, 5000, false, 0},     {PackDate(2026, 11, 0), 4000, 5000, false, 0},
        {PackDate(2030, 1, 1), 1, 3, true, 33},
    };
    for (const Case& c : cases) {
        BatteryInfo info;
        info.fullCharged = c.full;
        info.designed = c.designed;
        info.fullChargedValid = info.designedValid = true;
        ComputeHealth(c.date, {2026, 12, 0, 7, 0, 0, 0, 0}, &info);
        EXPECT_EQ(info.healthValid, c.valid) << c.date;
        EXPECT_EQ(info.health, c.health) << c.date;
    }
}

TEST(BatteryCore, TemperatureAndPowerStateTexts) {
    EXPECT_EQ(Latin1(TemperatureText(2982 / 10.0 - 273.15, kTexts)), "25.1\xB0" "C");
    EXPECT_EQ(Latin1(TemperatureText(2721 / 10.0 - 273.15, kTexts)), "-1.0\xB0" "C");
    EXPECT_EQ(Latin1(PowerStateText(5, kTexts)), "On Line, Charging");
    EXPECT_EQ(Latin1(PowerStateText(15, kTexts)), "On Line, Charging, Discharging, Critical");
    EXPECT_EQ(BatteryIdText("ABCDEFGHIJKLMNO", PackDate(2009, 1, 2), 7), "ABCDEFGHIJKLMNO09010200007");
}

TEST(BatteryCore, SeparatedLayoutAndBusyReport) {
    FakeFirmware firmware;
    firmware.health = 0;
    Rig rig(json::array({Bay(1, {{"present", false}})}), firmware);
    EXPECT_EQ(rig.Report(WalkMode::kFull, ','), "Battery #1,Not Present\r\n");
    rig.refresh.Current().busy = true;
    const std::string text = ReportText(rig.refresh.Current(), rig.settings, '\t', kTexts, &Latin1);
    EXPECT_NE(text.find(std::string(119, '-') + "\r\n\tUnknown\r\n\r\n\r\n"), std::string::npos);
}

// The list as the page holds it, counting the writes.
struct RecordingList : IBatteryList {
    std::vector<BRow> rows;
    int inserts = 0, writes = 0, deletes = 0;
    void InsertRow(int i, const std::u16string& l, const std::u16string& v) override {
        ASSERT_LE(i, static_cast<int>(rows.size()));
        rows.insert(rows.begin() + i, BRow{l, v});
        ++inserts;
    }
    void SetValue(int i, const std::u16string& v) override {
        rows.at(i).value = v;
        ++writes;
    }
    void DeleteRow(int i) override {
        rows.erase(rows.begin() + i);
        ++deletes;
    }
    std::vector<BRow> Expected(const BatteryDisplay& d, const BatterySettings& s) const {
        std::vector<BRow> all;
        for (int slot = 0; slot < d.batteryCount; ++slot) {
            for (const BRow& r : BatteryRows(d, s, slot, kTexts)) all.push_back(r);
        }
        return all;
    }
};

TEST(BatteryCore, TicksChangeOnlyWhatChanged) {
    FakeFirmware firmware;
    firmware.temperature = {{0, 2982}, {1, 3000}};
    Rig rig(json::array({Bay(1, {}), Bay(2, {})}), firmware);
    RecordingList list;
    BatteryListState state;
    rig.refresh.Refresh(WalkMode::kFull);
    state.Fill(list, rig.refresh.Current(), rig.settings, kTexts);
    ASSERT_EQ(list.rows, list.Expected(rig.refresh.Current(), rig.settings));
    const int rowsPerBattery = static_cast<int>(list.rows.size()) / 2;
    EXPECT_EQ(state.FirstRow(1), rowsPerBattery);

    struct Step {
        const char* what;
        std::function<void()> change;
        int inserts, writes, deletes;
        std::u16string heading2;
    };
    const Step steps[] = {
        {"nothing changed", [] {}, 0, 0, 0, u""},
        {"a new charge", [&] { rig.batteries.Change(1, [](sim::SimBatteryBay& b) { b.status.capacity = 2999; }); },
         0, 1, 0, u""},
        {"battery 2 taken out", [&] { rig.batteries.Change(1, [](sim::SimBatteryBay& b) { b.present = false; }); },
         0, 1, rowsPerBattery - 1, u"Not Present"},
        {"battery 2 put back", [&] { rig.batteries.Change(1, [](sim::SimBatteryBay& b) { b.present = true; }); },
         rowsPerBattery - 1, 1, 0, u""},
    };
    for (const Step& s : steps) {
        list.inserts = list.writes = list.deletes = 0;
        s.change();
        rig.refresh.Refresh(WalkMode::kRefresh);
        state.Update(list, rig.refresh.Current(), rig.settings, kTexts);
        EXPECT_EQ(list.rows, list.Expected(rig.refresh.Current(), rig.settings)) << s.what;
        EXPECT_EQ(list.inserts, s.inserts) << s.what;
        EXPECT_EQ(list.writes, s.writes) << s.what;
        EXPECT_EQ(list.deletes, s.deletes) << s.what;
        EXPECT_EQ(list.rows.at(rowsPerBattery).value, s.heading2) << s.what;
    }
    // Health and ID are read when a battery appears, not on every tick.
    EXPECT_EQ(firmware.idReads, 3);
}

TEST(BatteryCore, ASlowBatteryShowsUnknownAndNeverRunsTwoWalks) {
    FakeFirmware firmware;
    Rig rig(json::array({Bay(1, {{"answerDelayMs", 400}})}), firmware, false, 20);
    RecordingList list;
    BatteryListState state;
    rig.refresh.Refresh(WalkMode::kFull);
    EXPECT_TRUE(rig.refresh.Current().busy);
    state.Fill(list, rig.refresh.Current(), rig.settings, kTexts);
    EXPECT_EQ(list.rows, (std::vector<BRow>{{u"", u"Unknown"}}));
    EXPECT_EQ(rig.Report(WalkMode::kRefresh), std::string(26, ' ') + "Unknown\r\n");
    EXPECT_EQ(rig.refresh.WalksStarted(), 1);
    EXPECT_EQ(rig.batteries.TagQueries(0), 1u);
    // The walk still running is the one waited for; its rows replace the busy row.
    for (int i = 0; i < 100 && rig.refresh.Current().busy; ++i) rig.refresh.Refresh(WalkMode::kRefresh);
    EXPECT_FALSE(rig.refresh.Current().busy);
    EXPECT_EQ(rig.refresh.WalksStarted(), 1);
    state.Update(list, rig.refresh.Current(), rig.settings, kTexts);
    EXPECT_EQ(list.rows, list.Expected(rig.refresh.Current(), rig.settings));
    EXPECT_EQ(rig.batteries.OpenHandles(), 0u);
    EXPECT_EQ(rig.batteries.OpenSets(), 0u);
}

// The adapter over a real session: each battery function carries the slot it is given, so the
// second battery's values are the second battery's.
TEST(BatteryCore, SessionAdapterAsksTheSlotItIsGiven) {
    const json machine = json::parse(R"({"miscDriver": {"present": true, "driverVersion": "1.0.900.0", "cipher": true,
      "featureLevel": 3,
      "batteries": {
        "0": { "temperature": 2982, "chargeIndex": 11, "serialNumber": 101, "manufactureDate": "2012-08-17",
               "referenceDate": "2026-11-07", "state": 1, "healthSupport": 1 },
        "1": { "temperature": 3004, "chargeIndex": 22, "serialNumber": 202, "manufactureDate": "2013-02-03",
               "referenceDate": "2026-11-20", "state": "0x80000000", "healthSupport": 0 } },
      "firmwareCommands": { "8D 00 01 00": "28 42 00 00" },
      "ecCommands": { "8D 00 01 00": "54 42 00 00" },
      "ec": { "0xCE": 7 } }})");
    sim::SimDeviceInterfaces devices(machine);
    devices.Driver().Seed(5);
    pf::Services services;
    services.devices = &devices;
    const pf::ScopedOverride override(services);
    MiscCommon::CMiscCommon session;
    ASSERT_EQ(session.Open(), MiscCommon::kMiscSuccess);
    SessionFirmware firmware(session);
    const BatterySettings settings = ReadSettings(firmware, false);
    EXPECT_EQ(settings.firmwareMode, 3);
    EXPECT_TRUE(settings.healthSupported[0]);
    EXPECT_FALSE(settings.healthSupported[1]);

    std::uint16_t word = 0;
    std::uint32_t state = 0;
    struct Expect {
        std::uint16_t temperature, charge, serial, made, reference;
        std::uint32_t state;
        std::uint16_t data21E, data215;
    };
    const Expect expected[2] = {{2982, 11, 101, PackDate(2012, 8, 17), PackDate(2026, 11, 7), 1, 0, 0},
                                {3004, 22, 202, PackDate(2013, 2, 3), PackDate(2026, 11, 20), 0x80000000u, 0x4228,
                                 0x4254}};
    for (std::uint16_t slot = 0; slot < 2; ++slot) {
        const Expect& e = expected[slot];
        EXPECT_TRUE(firmware.Temperature(slot, &word) && word == e.temperature) << slot;
        EXPECT_TRUE(firmware.ChargeIndex(slot, &word) && word == e.charge) << slot;
        EXPECT_TRUE(firmware.SerialNumber(slot, &word) && word == e.serial) << slot;
        EXPECT_TRUE(firmware.ManufactureDate(slot, &word) && word == e.made) << slot;
        EXPECT_TRUE(firmware.ReferenceDate(slot, PackDate(2099, 12, 31), &word) && word == e.reference) << slot;
        EXPECT_TRUE(firmware.StateWord(slot, &state) && state == e.state) << slot;
        EXPECT_EQ(firmware.DataWord(false, 0x8D, slot, &word), e.data21E != 0) << slot;
        if (e.data21E) {
            EXPECT_EQ(word, e.data21E);
        }
        EXPECT_EQ(firmware.DataWord(true, 0x8D, slot, &word), e.data215 != 0) << slot;
        if (e.data215) {
            EXPECT_EQ(word, e.data215);
        }
    }
    std::uint8_t byte = 0;
    EXPECT_TRUE(firmware.EcRegister(0xCE, &byte));
    EXPECT_EQ(byte, 7);
    EXPECT_FALSE(firmware.Temperature(2, &word));  // no third battery
}

}  // namespace
}  // namespace tab_tests
