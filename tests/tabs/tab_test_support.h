// A simulated machine for the tab-module tests: in-memory registry, the simulated Mirelta Misc
// Driver (for the registry reads the Drivers tab makes through a driver session), the device
// inventory, installed updates and OS identity, all put in place for the lifetime of the object.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/misc_common.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/native/memory_registry.h"
#include "platform/native/sim_clock.h"
#include "platform/sim/sim_device_interfaces.h"
#include "platform/sim/sim_device_inventory.h"
#include "platform/sim/sim_hotfixes.h"
#include "platform/native/sim_os_identity.h"
#include "tabframe/list_table.h"

namespace tab_tests {

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;

using Row = std::vector<std::string>;

// The rows of a table as UTF-8 text, for comparisons with readable failure output.
inline std::vector<Row> Rows(const tabframe::ListTable& table) {
    std::vector<Row> rows;
    for (int r = 0; r < table.RowCount(); ++r) {
        Row row;
        for (int c = 0; c < table.ColumnCount(); ++c) row.push_back(quarro::text::ToUtf8(table.Field(r, c)));
        rows.push_back(row);
    }
    return rows;
}

inline std::u16string U(const std::string& utf8) { return quarro::text::FromUtf8(utf8); }

class SimMachine {
public:
    // Windows 7 SP1 64-bit workstation on AMD64, the driver at `driverVersion` (enciphering when
    // `cipher`), no devices, no updates, an empty registry.
    explicit SimMachine(const char* driverVersion = "1.0.900.0", bool cipher = true)
        : os_(nullptr),
          inventory_(std::make_unique<sim::SimDeviceInventory>(std::vector<sim::SimDeviceInventory::Device>())),
          hotfixes_(std::make_unique<sim::SimHotfixes>(std::vector<pf::HotfixObject>())) {
        nlohmann::json machine = {{"miscDriver", {{"present", true}, {"driverVersion", driverVersion}, {"cipher", cipher}}}};
        devices_ = std::make_unique<sim::SimDeviceInterfaces>(machine);
        devices_->Driver().Seed(11);
        Install();
    }

    ~SimMachine() {
        session_.reset();
        override_.reset();
    }

    // Applies registry export text ("Windows Registry Editor Version 5.00" is prepended).
    void Registry(const std::string& text) {
        std::string error;
        ASSERT_TRUE(sim::LoadRegFile("Windows Registry Editor Version 5.00\r\n\r\n" + text, registry_, &error))
            << error;
    }

    void Devices(std::vector<sim::SimDeviceInventory::Device> devices) {
        inventory_ = std::make_unique<sim::SimDeviceInventory>(std::move(devices));
        Install();
    }
    sim::SimDeviceInventory& Inventory() { return *inventory_; }

    void Hotfixes(std::vector<pf::HotfixObject> objects) {
        hotfixes_ = std::make_unique<sim::SimHotfixes>(std::move(objects));
        Install();
    }
    sim::SimHotfixes& HotfixService() { return *hotfixes_; }

    // The version GetVersionEx reports and the processor architecture.
    void Windows(std::uint32_t major, std::uint32_t minor, std::uint8_t productType = pf::kVerNtWorkstation,
                 std::uint16_t architecture = pf::kProcessorArchitectureAmd64) {
        os_.version.majorVersion = major;
        os_.version.minorVersion = minor;
        os_.version.productType = productType;
        os_.systemInfo.processorArchitecture = architecture;
    }

    // The viewer's session, opened against the simulated driver.
    MiscCommon::CMiscCommon* Session() {
        if (!session_) {
            session_ = std::make_unique<MiscCommon::CMiscCommon>();
            EXPECT_EQ(session_->Open(), MiscCommon::kMiscSuccess);
        }
        return session_.get();
    }

    sim::MemoryRegistry& Reg() { return registry_; }

private:
    void Install() {
        override_.reset();
        pf::Services services;
        services.registry = &registry_;
        services.clock = &clock_;
        services.devices = devices_.get();
        services.inventory = inventory_.get();
        services.hotfixes = hotfixes_.get();
        services.os = &os_;
        override_ = std::make_unique<pf::ScopedOverride>(services);
    }

    sim::MemoryRegistry registry_;
    sim::FakeClock clock_;
    sim::SimOsIdentity os_;
    std::unique_ptr<sim::SimDeviceInventory> inventory_;
    std::unique_ptr<sim::SimHotfixes> hotfixes_;
    std::unique_ptr<sim::SimDeviceInterfaces> devices_;
    std::unique_ptr<pf::ScopedOverride> override_;
    std::unique_ptr<MiscCommon::CMiscCommon> session_;
};

}  // namespace tab_tests
