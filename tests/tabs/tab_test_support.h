// A simulated machine for the tab-module tests: in-memory registry, the simulated Mirelta Misc
// Driver (for the registry reads the Drivers tab makes through a driver session), the device
// inventory, installed updates and OS identity, all put in place for the lifetime of the object.
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>

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
#include "tabframe/tab_contract.h"

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

// A tab module loaded as the viewer loads it (lib<name>.so from `dir`), with its five exports;
// TermTabDLL is called and the module unloaded at the end.
class LoadedModule {
public:
    LoadedModule(const std::string& dir, const char* name) {
        const std::string path = dir + "/lib" + name + ".so";
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle_, nullptr) << dlerror();
        if (!handle_) return;
        setup_ = reinterpret_cast<SetupPropertyPageProc>(dlsym(handle_, "SetupPropertyPage"));
        init_ = reinterpret_cast<InitTabDLLProc>(dlsym(handle_, "InitTabDLL"));
        term_ = reinterpret_cast<TermTabDLLProc>(dlsym(handle_, "TermTabDLL"));
        text_ = reinterpret_cast<GetStringDataProc>(dlsym(handle_, "GetStringData"));
        command_ = reinterpret_cast<CommandMessageProc>(dlsym(handle_, "CommandMessage"));
        EXPECT_TRUE(setup_ && init_ && term_ && text_ && command_);
    }
    ~LoadedModule() {
        if (term_) term_();
        if (handle_) dlclose(handle_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    int Setup(PropSheetPageHandle* out) { return setup_ ? setup_(out) : -99; }
    int Init(const TabInitRecord* record) { return init_ ? init_(record) : -99; }
    int Term() { return term_ ? term_() : -99; }
    int Command(int code) { return command_ ? command_(code) : -99; }
    int Chunk(int chunk, char* buffer, int size, int separator) {
        return text_ ? text_(chunk, buffer, size, separator) : -99;
    }
    // The whole text in one 102400-byte buffer.
    std::string Text(char separator = 0) {
        std::vector<char> buffer(kReportBufferSize, 0);
        EXPECT_EQ(Chunk(0, buffer.data(), kReportBufferSize, separator), 0);
        return buffer.data();
    }

private:
    void* handle_ = nullptr;
    SetupPropertyPageProc setup_ = nullptr;
    InitTabDLLProc init_ = nullptr;
    TermTabDLLProc term_ = nullptr;
    GetStringDataProc text_ = nullptr;
    CommandMessageProc command_ = nullptr;
};

}  // namespace tab_tests
