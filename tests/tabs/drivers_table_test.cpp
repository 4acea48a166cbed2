// The Drivers tab's table: which devices are listed, under which name, with which version read
// through the driver's registry service; the "Unknown" row; the 500-row and 1024-member limits.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/driver_reg.h"
#include "tabs/drivers/drivers_table.h"
#include "tests/tabs/tab_test_support.h"

namespace tab_tests {
namespace {

// One device of the inventory; null: the property does not read.
struct Dev {
    const char* desc;
    const char* driver;
    const char* mfg;
    const char* cls;
    const char* friendly = nullptr;
};

sim::SimDeviceInventory::Device Make(const Dev& d) {
    sim::SimDeviceInventory::Device device;
    const std::pair<std::uint32_t, const char*> properties[] = {{pf::kSpdrpDeviceDesc, d.desc},
                                                                {pf::kSpdrpDriver, d.driver},
                                                                {pf::kSpdrpMfg, d.mfg},
                                                                {pf::kSpdrpClass, d.cls},
                                                                {pf::kSpdrpFriendlyName, d.friendly}};
    for (const auto& [code, text] : properties) {
        if (text) device.properties[code] = U(text);
    }
    device.instanceId = u"ROOT\\TEST\\0000";
    return device;
}

std::vector<sim::SimDeviceInventory::Device> MakeAll(const std::vector<Dev>& devs) {
    std::vector<sim::SimDeviceInventory::Device> devices;
    for (const auto& d : devs) devices.push_back(Make(d));
    return devices;
}

// A driver key with one "DriverVersion" line (".reg" value syntax after the '=').
std::string DriverKey(const std::string& driver, const std::string& value) {
    return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\" + driver + "]\r\n\"DriverVersion\"=" +
           value + "\r\n\r\n";
}

const char kK0[] = "{4d36e968-e325-11ce-bfc1-08002be10318}\\0000";
const char kK1[] = "{4d36e968-e325-11ce-bfc1-08002be10318}\\0001";
const char kK2[] = "{4d36e96b-e325-11ce-bfc1-08002be10318}\\0000";
const char kK3[] = "{4d36e967-e325-11ce-bfc1-08002be10318}\\0000";
const char kK4[] = "{eec5ad98-8080-425f-922a-dabf3de3f69a}\\0000";

std::vector<Row> Build(SimMachine& machine, MiscCommon::CMiscCommon* session) {
    auto table = tabframe::ListTable::Create(drivers_tab::kColumns, drivers_tab::kColumnCount);
    EXPECT_TRUE(table);
    CDriverReg versions(session);
    drivers_tab::FillDriverRows(*table, pf::DeviceInventory(), versions, u"Unknown");
    EXPECT_EQ(machine.Inventory().OpenSets(), 0u) << "the device set is released";
    return Rows(*table);
}

struct Case {
    const char* behaviour;
    std::vector<Dev> devices;
    std::string registry;
    std::vector<Row> expected;  // Provider, Name, Version, Type
};

const std::string k259(259, 'n');
const std::string k260(260, 'n');
const std::string kClass60 = "VeryLongSetupClassNameOfSomeVendorThatNobodyWouldEverTypeAgain";
const std::string kLongDriver = "{4d36e968-e325-11ce-bfc1-08002be10318}\\" + std::string(200, '0');

const std::vector<Case> kCases = {
    {"a vendor's display adapter with a version is listed under its description",
     {{"Intel(R) HD Graphics 4000", kK0, "Intel Corporation", "Display"}},
     DriverKey(kK0, "\"9.17.10.2932\""),
     {{"Intel Corporation", "Intel(R) HD Graphics 4000", "9.17.10.2932", "Display"}}},
    {"other types prefer the friendly name",
     {{"USB Video Device", kK0, "Chicony Electronics", "Image", "Integrated Camera"}},
     DriverKey(kK0, "\"5.8.53070.0\""),
     {{"Chicony Electronics", "Integrated Camera", "5.8.53070.0", "Image"}}},
    {"a maker in parentheses is Windows' own: not listed",
     {{"Standard PS/2 Keyboard", kK2, "(Standard keyboards)", "Keyboard"}},
     DriverKey(kK2, "\"6.1.7601.17514\""),
     {}},
    {"a maker beginning with Microsoft, in any case, is not listed; the first nine characters decide",
     {{"A", kK0, "Microsoft", "Net"},
      {"B", kK0, "microsoft corporation", "Net"},
      {"C", kK0, "MICROSOFT", "Net"},
      {"D", kK0, "Microsof", "Net"},
      {"E", kK0, "Micro-Star International", "Net"},
      {"F", kK0, " Microsoft", "Net"}},
     DriverKey(kK0, "\"1.0\""),
     {{"Microsof", "D", "1.0", "Net"}, {"Micro-Star International", "E", "1.0", "Net"}, {" Microsoft", "F", "1.0", "Net"}}},
    {"other types need a maker: missing or empty is not listed",
     {{"A", kK0, nullptr, "System"}, {"B", kK0, "", "System"}},
     DriverKey(kK0, "\"1.0\""),
     {}},
    {"other types need a version: a driver key without one, or none at all, is not listed",
     {{"A", kK0, "Mirelta", "System"}, {"B", kK1, "Mirelta", "System"}},
     "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e968-e325-11ce-bfc1-08002be10318}\\0000]\r\n"
     "\"DriverDesc\"=\"A\"\r\n",
     {}},
    {"only text versions count: REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ, not REG_DWORD or REG_BINARY",
     {{"Sz", kK0, "Vendor", "System"},
      {"Expand", kK1, "Vendor", "System"},
      {"Multi", kK2, "Vendor", "System"},
      {"Dword", kK3, "Vendor", "System"},
      {"Binary", kK4, "Vendor", "System"}},
     DriverKey(kK0, "\"0.1\"") + DriverKey(kK1, "hex(2):31,00,2e,00,32,00,00,00") +
         DriverKey(kK2, "hex(7):33,00,2e,00,34,00,00,00,35,00,00,00,00,00") + DriverKey(kK3, "dword:00000001") +
         DriverKey(kK4, "hex:31,00,00,00"),
     {{"Vendor", "Sz", "0.1", "System"}, {"Vendor", "Expand", "1.2", "System"}, {"Vendor", "Multi", "3.4", "System"}}},
    {"a disk drive of a parenthesised maker without a version is listed under its friendly name",
     {{"Disk drive", kK3, "(Standard disk drives)", "DiskDrive", "HGST HTS725050A7E630 ATA Device"}},
     "",
     {{"(Standard disk drives)", "HGST HTS725050A7E630 ATA Device", "", "DiskDrive"}}},
    {"disk and optical drives without a friendly name use the description; classes compare without case",
     {{"Disk drive", kK3, "(Standard disk drives)", "diskdrive"},
      {"CD-ROM Drive", kK0, "Microsoft", "CdRom"},
      {"Generic volume", kK1, "Microsoft", "cdrom_x"}},
     DriverKey(kK3, "\"6.1.7600.16385\"") + DriverKey(kK1, "\"6.1\""),
     {{"(Standard disk drives)", "Disk drive", "6.1.7600.16385", "diskdrive"},
      {"Microsoft", "CD-ROM Drive", "", "CdRom"}}},
    {"a portable device is listed under its description even with a friendly name, whatever its maker",
     {{"Apple iPhone", kK4, "Microsoft", "WPD", "Julia's iPhone"}, {"E:\\", kK1, nullptr, "wpd", "KINGSTON"}},
     DriverKey(kK4, "\"6.1.7601.17514\""),
     {{"Microsoft", "Apple iPhone", "6.1.7601.17514", "WPD"}, {"", "E:\\", "", "wpd"}}},
    {"a device without a driver key is never listed, whatever its class",
     {{"Disk drive", nullptr, "(Standard disk drives)", "DiskDrive", "Some Disk"},
      {"Phone", nullptr, "Vendor", "WPD"},
      {"Card", nullptr, "Vendor", "Net"}},
     DriverKey(kK0, "\"1.0\""),
     {}},
    {"a device without a description is skipped",
     {{nullptr, kK3, "(Standard disk drives)", "DiskDrive", "Some Disk"}},
     "",
     {}},
    {"a class name longer than 49 characters is cut to 49",
     {{"Sensor", kK0, "Vendor", kClass60.c_str()}},
     DriverKey(kK0, "\"2.0\""),
     {{"Vendor", "Sensor", "2.0", kClass60.substr(0, 49)}}},
    {"a friendly name of 259 characters is kept; one of 260 does not read and the description is used",
     {{"Short", kK3, "Vendor", "DiskDrive", k259.c_str()}, {"Other", kK3, "Vendor", "DiskDrive", k260.c_str()}},
     "",
     {{"Vendor", k259, "", "DiskDrive"}, {"Vendor", "Other", "", "DiskDrive"}}},
    {"a driver key too long for the driver's registry service gives no version",
     {{"Disk drive", kLongDriver.c_str(), "Vendor", "DiskDrive", "Disk"},
      {"Adapter", kLongDriver.c_str(), "Vendor", "Display"}},
     "",
     {{"Vendor", "Disk", "", "DiskDrive"}}},
    {"rows keep the order of the device set and a device listed twice appears twice",
     {{"Second", kK1, "Vendor", "Net"}, {"First", kK0, "Vendor", "Net"}, {"Second", kK1, "Vendor", "Net"}},
     DriverKey(kK0, "\"1\"") + DriverKey(kK1, "\"2\""),
     {{"Vendor", "Second", "2", "Net"}, {"Vendor", "First", "1", "Net"}, {"Vendor", "Second", "2", "Net"}}},
};

TEST(DriversTable, ListsTheDevicesTheRulesSelect) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.behaviour);
        SimMachine machine;
        machine.Registry(c.registry);
        machine.Devices(MakeAll(c.devices));
        EXPECT_EQ(Build(machine, machine.Session()), c.expected);
    }
}

TEST(DriversTable, StopsAtFiveHundredRows) {
    SimMachine machine;
    machine.Devices(MakeAll(std::vector<Dev>(700, Dev{"Phone", kK4, "Vendor", "WPD"})));
    const auto rows = Build(machine, machine.Session());
    EXPECT_EQ(rows.size(), 500u);
    EXPECT_EQ(machine.Inventory().Enumerated(), 500u) << "no member is looked at once the table is full";
}

TEST(DriversTable, LooksAtMemberIndexesBelow1024Only) {
    struct Limit {
        std::size_t skipped;  // devices without a driver key first
        std::size_t listed;   // then qualifying devices
        std::size_t rows;
    };
    for (const Limit& limit : {Limit{1023, 5, 1}, Limit{1024, 5, 0}, Limit{1000, 30, 24}}) {
        SCOPED_TRACE(limit.skipped);
        SimMachine machine;
        std::vector<Dev> devs(limit.skipped, Dev{"No driver", nullptr, "Vendor", "DiskDrive"});
        devs.insert(devs.end(), limit.listed, Dev{"Disk", kK3, "Vendor", "DiskDrive"});
        machine.Devices(MakeAll(devs));
        EXPECT_EQ(Build(machine, machine.Session()).size(), limit.rows);
        EXPECT_EQ(machine.Inventory().Enumerated(), 1024u);
    }
}

const std::vector<Dev> kMixed = {{"Intel(R) HD Graphics 4000", kK0, "Intel Corporation", "Display"},
                                 {"Disk drive", kK3, "(Standard disk drives)", "DiskDrive", "HGST Disk"},
                                 {"Apple iPhone", kK4, "Apple Inc.", "WPD", "Julia's iPhone"},
                                 {"CD-ROM Drive", kK1, "(Standard CD-ROM drives)", "CDROM", "DVD Writer"}};
const std::string kMixedVersions = DriverKey(kK0, "\"9.17.10.2932\"") + DriverKey(kK3, "\"6.1.7600.16385\"") +
                                   DriverKey(kK4, "\"6.1.7601.17514\"") + DriverKey(kK1, "\"6.1.7601.17514\"");

TEST(DriversTable, ADriverTalkingPlainCapsulesStillGivesVersions) {
    SimMachine machine("1.0.900.0", false);
    machine.Registry(kMixedVersions);
    machine.Devices(MakeAll(kMixed));
    EXPECT_EQ(Build(machine, machine.Session()).size(), 4u);
}

TEST(DriversTable, WithoutTheEncipheredChannelOnlyDrivesAndPortableDevicesAreListed) {
    SimMachine machine("1.0.7.0");  // too old for a session: every registry request fails
    machine.Registry(kMixedVersions);
    machine.Devices(MakeAll(kMixed));
    EXPECT_EQ(Build(machine, machine.Session()), (std::vector<Row>{{"(Standard disk drives)", "HGST Disk", "", "DiskDrive"},
                                                                    {"Apple Inc.", "Apple iPhone", "", "WPD"},
                                                                    {"(Standard CD-ROM drives)", "DVD Writer", "", "CDROM"}}));
}

TEST(DriversTable, AnExceptionStillReleasesTheDeviceSet) {
    // Whichever property read throws, the set is given back.
    class Throwing : public sim::SimDeviceInventory {
    public:
        using SimDeviceInventory::SimDeviceInventory;
        bool ReadProperty(pf::DeviceInfoSet set, const pf::DeviceMember& member, std::uint32_t property,
                          char16_t* buffer, std::uint32_t units) override {
            if (++reads == throwAt) throw std::runtime_error("property");
            return SimDeviceInventory::ReadProperty(set, member, property, buffer, units);
        }
        int reads = 0;
        int throwAt = 0;
    };
    SimMachine machine;
    for (int n : {1, 5, 7}) {
        Throwing inventory(MakeAll({{"Disk", kK3, "Vendor", "DiskDrive"}, {"Phone", kK4, "Vendor", "WPD"}}));
        inventory.throwAt = n;
        auto table = tabframe::ListTable::Create(drivers_tab::kColumns, drivers_tab::kColumnCount);
        CDriverReg versions(machine.Session());
        EXPECT_THROW(drivers_tab::FillDriverRows(*table, inventory, versions, u"Unknown"), std::runtime_error) << n;
        EXPECT_EQ(inventory.OpenSets(), 0u) << "thrown at property read " << n;
    }
}

// ---- The simulated inventory as the snapshot describes it ----------------------------------

TEST(SimDeviceInventory, ServesTheSnapshotsDeviceList) {
    const auto list = nlohmann::json::parse(R"json([
      {"deviceDesc": "Disk drive", "driver": "{k}\\0000", "mfg": "(Standard disk drives)", "class": "DiskDrive",
       "friendlyName": "HGST", "instanceId": "IDE\\DISK\\1"},
      {"deviceDesc": "Ghost", "present": false},
      {"deviceDesc": 7, "driver": null, "mfg": "Vendor"},
      "not an object"
    ])json");
    sim::SimDeviceInventory inventory(list);
    const pf::DeviceInfoSet set = inventory.OpenPresentDevices();
    ASSERT_NE(set, 0u);
    pf::DeviceMember first, second, third;
    ASSERT_TRUE(inventory.EnumDevice(set, 0, &first));
    ASSERT_TRUE(inventory.EnumDevice(set, 1, &second));
    EXPECT_FALSE(inventory.EnumDevice(set, 2, &third)) << "absent devices and non-objects are not members";

    char16_t buffer[32] = {};
    ASSERT_TRUE(inventory.ReadProperty(set, first, pf::kSpdrpFriendlyName, buffer, 16));
    EXPECT_EQ(std::u16string(buffer), u"HGST");
    ASSERT_TRUE(inventory.ReadInstanceId(set, first, buffer, 16));
    EXPECT_EQ(std::u16string(buffer), u"IDE\\DISK\\1");
    EXPECT_FALSE(inventory.ReadProperty(set, first, pf::kSpdrpDeviceDesc, buffer, 10)) << "10 units: no room";
    EXPECT_TRUE(inventory.ReadProperty(set, first, pf::kSpdrpDeviceDesc, buffer, 11));

    EXPECT_FALSE(inventory.ReadProperty(set, second, pf::kSpdrpDeviceDesc, buffer, 16)) << "a number is no text";
    EXPECT_FALSE(inventory.ReadProperty(set, second, pf::kSpdrpDriver, buffer, 16)) << "null does not read";
    ASSERT_TRUE(inventory.ReadInstanceId(set, second, buffer, 17));
    EXPECT_EQ(std::u16string(buffer), u"ROOT\\SIMULATED\\2");
    EXPECT_FALSE(inventory.ReadInstanceId(set, second, buffer, 16)) << "no room for the terminator";

    inventory.CloseDevices(set);
    EXPECT_FALSE(inventory.ReadProperty(set, first, pf::kSpdrpFriendlyName, buffer, 16)) << "closed set";
    EXPECT_EQ(inventory.OpenSets(), 0u);

    EXPECT_EQ(sim::SimDeviceInventory(nlohmann::json(nullptr)).OpenPresentDevices(), 0u)
        << "\"devices\": null describes a machine whose device set cannot be had";
}

}  // namespace
}  // namespace tab_tests
