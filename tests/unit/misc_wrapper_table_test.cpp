// Every typed Misc wrapper through the real session against the simulated firmware, which reads
// each argument from its own place in the packet and answers from keyed snapshot data. Arguments
// are distinct and non-zero, and the snapshot holds a different answer under key 0, so a wrapper
// that misplaces, swaps or drops an argument, or reads a result from the wrong place, fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/misc_common.h"
#include "common/misc_functions.h"
#include "platform/platform.h"
#include "platform/native/memory_registry.h"
#include "platform/native/sim_clock.h"
#include "platform/sim/sim_device_interfaces.h"

namespace mc = MiscCommon;
namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;

namespace {

using Fields = std::vector<std::uint32_t>;

// Outputs start as these; a refused request must leave them so.
constexpr std::uint8_t k8 = 0xEE;
constexpr std::uint16_t k16 = 0xEEEE;
constexpr std::uint32_t k32 = 0xEEEEEEEE;

std::uint32_t Packed(int year, int month, int day) { return (year - 1980) * 512 + month * 32 + day; }

// SPD bytes of memory slot `slot`, different in every slot and at every offset.
std::vector<std::uint8_t> Spd(int slot, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(slot * 0x40 + i * 5 + 1);
    return bytes;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) text += {digits[b >> 4], digits[b & 15], ' '};
    return text;
}

nlohmann::json Machine() {
    nlohmann::json machine = nlohmann::json::parse(R"({"miscDriver": {
      "driverVersion": "1.0.900.0",
      "settings": { "0": { "bits": 8, "value": 17 }, "77": { "bits": 6, "value": "0xABCDEF25" } },
      "environmentControl": { "0": 1, "7": "0x5C" },
      "operatingTime": { "flags": "0xA5", "hours": "0x00012345", "second": "0x06789ABC" },
      "deviceTable": {
        "0": [ { "state": 9 } ],
        "6": [ { "state": 1 },
               { "state": 3, "extra": [ "0x1111", "0x2222" ],
                 "names": [ { "tag": 1, "text": "Modem B" }, { "tag": 4, "text": "Mé" } ] } ],
        "9": [ { "state": 2, "names": [ { "tag": 2, "hex": "83 82" } ], "reportedSize": 1 } ]
      },
      "deviceData": { "0": { "0": "00" }, "3": { "9": "DE AD BE EF 01" } },
      "biosConfiguration": { "value": "0x42", "flags": 3, "extended": [ "0xF00D", "0xE11E", "0x0777" ] },
      "ecVersion": "02 31 07 42 0E",
      "ec": { "0": "0x99", "0xB7": "0x5A" },
      "ecCommands": { "00 00 00 00": "99 99 99 99", "8D 05 01 07": "11 22 33 44" },
      "featureLevel": "0x37",
      "featureFlags": { "0": 1, "190": "0x3B" },
      "firmwareCommands": { "00 00 00 00": "99 99 99 99", "C0 8C 03 09": "A1 B2 C3 D4" },
      "batteries": {
        "0": { "temperature": 2950, "chargeIndex": 11, "serialNumber": 101, "manufactureDate": "2010-01-01",
               "referenceDate": "2011-02-02", "state": 1, "healthSupport": 1 },
        "1": { "temperature": 3021, "chargeIndex": 345, "serialNumber": 54321, "manufactureDate": "2012-05-17",
               "referenceDate": "2013-01-08", "healthSupport": 3,
               "state": { "0": "0x80000002", "6": "0x40000001" } }
      },
      "environmentStatus": "C1 01",
      "docking": { "state": 1, "usbType": 4, "antenna": 2 },
      "portReplicatorFirmware": { "bytes": "13 24 35 46", "value": "0x5768" },
      "thermal": {
        "sensors": { "0": { "reading": 3000, "passive": 3500, "critical": 3600 },
                     "3": { "reading": 3231, "passive": 3600, "critical": 3700 },
                     "5": { "reading": 3111, "passive": 3444, "critical": 3555 } },
        "controlMask": 37, "mode": 5
      },
      "fan": { "marks": "01 02", "control": "0x0A0B" },
      "meFirmware": [ 9, 2, 31, 4321 ],
      "holdButton": { "0": { "autoCancel": 9, "flags": 9, "extra": 9 },
                      "0x01020304": { "autoCancel": "0x11", "flags": "0x22", "extra": "0x33" } },
      "antennaKind": 2,
      "uefiBoot": { "3": { "value": "0x0102", "flag": 0 } },
      "bootOrder": { "kind": 770, "priorityCount": 5, "deviceCount": 6, "priorityEntrySize": 2, "deviceEntrySize": 16 },
      "dataBlocks": { "0x304": "5A A5 00 01", "0x30B": "0B 1B 2B" }
    }})");
    const std::size_t sizes[] = {64, 48, 80};
    for (int slot = 0; slot < 3; ++slot) {
        machine["miscDriver"]["memorySlots"].push_back(
            {{"flags", 0x80 + slot}, {"value", 0x0F0E + slot}, {"spd", Hex(Spd(slot, sizes[slot]))}});
    }
    return machine;
}

class MiscWrapperTable : public ::testing::Test {
protected:
    MiscWrapperTable() : devices_(Machine()) {
        devices_.Driver().Seed(3);
        pf::Services services;
        services.devices = &devices_;
        services.clock = &clock_;
        services.registry = &registry_;
        override_ = std::make_unique<pf::ScopedOverride>(services);
    }
    sim::FirmwareModel& Firmware() { return devices_.Driver().Firmware(); }

    sim::FakeClock clock_;
    sim::MemoryRegistry registry_;
    sim::SimDeviceInterfaces devices_;
    std::unique_ptr<pf::ScopedOverride> override_;
};

template <typename T, std::size_t N>
void Append(Fields* fields, const T (&values)[N]) {
    fields->insert(fields->end(), values, values + N);
}

struct Case {
    const char* what;
    // Calls one wrapper; `fields` receives the status byte, then every result field.
    std::function<int(mc::CMiscCommon&, Fields* fields)> call;
    Fields expected;
};

TEST_F(MiscWrapperTable, EveryWrapperSendsItsArgumentsAndReadsItsResultsInPlace) {
    ASSERT_EQ(devices_.Driver().Problems(), std::vector<std::string>{}) << "the snapshot must be usable whole";
    using S = mc::CMiscCommon;
    const std::uint8_t ecArgs[4] = {0x8D, 0x05, 0x01, 0x07};
    const std::uint8_t fwArgs[4] = {0xC0, 0x8C, 0x03, 0x09};
    const std::vector<std::uint8_t> sent114 = {0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68};
    const std::vector<std::uint8_t> sent30B = {0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9};
    const std::vector<std::uint8_t> spd2 = Spd(2, 80);

    const std::vector<Case> cases = {
        {"0x10C setting 77, masked to 6 bits", [](S& s, Fields* f) {
             std::uint32_t value = k32; std::uint8_t bits = k8, st = k8;
             const int code = mc::GetSetupValue_10C(s, 77, &value, &bits, &st);
             *f = {st, value, bits}; return code; }, {0, 0x25, 6}},
        {"0x10C unknown setting", [](S& s, Fields* f) {
             std::uint32_t value = k32; std::uint8_t bits = k8, st = k8;
             const int code = mc::GetSetupValue_10C(s, 99, &value, &bits, &st);
             *f = {st, value, bits}; return code; }, {0x82, k32, k8}},
        {"0x10F argument 7", [](S& s, Fields* f) {
             std::uint8_t result = k8, st = k8;
             const int code = mc::GetEnvironmentControl_10F(s, 7, &result, &st);
             *f = {st, result}; return code; }, {0, 0x5C}},
        {"0x110 operating time", [](S& s, Fields* f) {
             std::uint8_t flags = k8, st = k8; std::uint32_t hours = k32, second = k32;
             const int code = mc::GetOperatingTime_110(s, &flags, &hours, &second, &st);
             *f = {st, flags, hours, second}; return code; }, {0, 0xA5, 0x12345, 0x6789ABC}},
        {"0x111 device 6 instance 1", [](S& s, Fields* f) {
             std::uint8_t data[40], st = k8; std::uint16_t values[4] = {k16, k16, k16, k16};
             std::fill(std::begin(data), std::end(data), k8);
             std::uint32_t size = 40;
             const int code = mc::GetDeviceEntry_111(s, 6, 1, data, &size, values, &st);
             *f = {st}; Append(f, values); f->push_back(size);
             f->insert(f->end(), data, data + 16); return code; },
         {0, 3, 2, 0x1111, 0x2222, 15, 1, 7, 'M', 'o', 'd', 'e', 'm', ' ', 'B', 4, 4, 'M', 0, 0xE9, 0, k8}},
        {"0x111 room too small: the size needed", [](S& s, Fields* f) {
             std::uint8_t data[4], st = k8; std::uint16_t values[4] = {k16, k16, k16, k16};
             std::uint32_t size = 4;
             const int code = mc::GetDeviceEntry_111(s, 6, 1, data, &size, values, &st);
             *f = {st, size, values[0]}; return code; }, {5, 15, k16}},
        {"0x111 size as the firmware reports it", [](S& s, Fields* f) {
             std::uint8_t data[1], st = k8; std::uint16_t values[4] = {k16, k16, k16, k16};
             std::uint32_t size = 1;
             const int code = mc::GetDeviceEntry_111(s, 9, 0, data, &size, values, &st);
             *f = {st, size}; return code; }, {5, 1}},
        {"0x111 instance the device does not have", [](S& s, Fields* f) {
             std::uint8_t data[8], st = k8; std::uint16_t values[4] = {k16, k16, k16, k16};
             std::uint32_t size = 8;
             const int code = mc::GetDeviceEntry_111(s, 6, 2, data, &size, values, &st);
             *f = {st, size, values[0]}; return code; }, {0x82, 8, k16}},
        {"0x114 item 3 sub-item 9", [&](S& s, Fields* f) {
             std::vector<std::uint8_t> data = sent114; std::uint8_t st = k8;
             std::uint32_t size = static_cast<std::uint32_t>(data.size());
             const int code = mc::ExchangeDeviceData_114(s, 3, 9, data.data(), &size, &st);
             *f = {st, size, Firmware().Data().received[0x114] == sent114};
             f->insert(f->end(), data.begin(), data.end()); return code; },
         {0, 5, true, 0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x66, 0x67, 0x68}},
        {"0x115 short form", [](S& s, Fields* f) {
             std::uint16_t values[3] = {k16, k16, k16}; std::uint8_t st = k8;
             const int code = mc::GetBiosConfiguration_115(s, false, values, &st);
             *f = {st}; Append(f, values); return code; }, {0, 0x42, 3, 0}},
        {"0x115 extended form", [](S& s, Fields* f) {
             std::uint16_t values[3] = {k16, k16, k16}; std::uint8_t st = k8;
             const int code = mc::GetBiosConfiguration_115(s, true, values, &st);
             *f = {st}; Append(f, values); return code; }, {0, 0xF00D, 0xE11E, 0x777}},
        {"0x20F EC version", [](S& s, Fields* f) {
             std::uint8_t version[5] = {k8, k8, k8, k8, k8}, st = k8;
             const int code = mc::GetEcVersion_20F(s, version, &st);
             *f = {st}; Append(f, version); return code; }, {0, 2, 0x31, 7, 0x42, 0x0E}},
        {"0x210 register 0xB7", [](S& s, Fields* f) {
             std::uint8_t value = k8, st = k8;
             const int code = mc::ReadEcRegister_210(s, 0xB7, &value, &st);
             *f = {st, value}; return code; }, {0, 0x5A}},
        {"0x210 register past the controller", [](S& s, Fields* f) {
             std::uint8_t value = k8, st = k8;
             const int code = mc::ReadEcRegister_210(s, 0x1B7, &value, &st);
             *f = {st, value}; return code; }, {0x82, k8}},
        {"0x215 EC command 8D 05 01 07", [&](S& s, Fields* f) {
             std::uint8_t results[4] = {k8, k8, k8, k8}, st = k8;
             const int code = mc::RunEcCommand_215(s, ecArgs, results, &st);
             *f = {st}; Append(f, results); return code; }, {0, 0x11, 0x22, 0x33, 0x44}},
        {"0x21A feature level", [](S& s, Fields* f) {
             std::uint8_t level = k8, st = k8;
             const int code = mc::GetFeatureLevel_21A(s, &level, &st);
             *f = {st, level}; return code; }, {0, 0x37}},
        {"0x21B argument 190", [](S& s, Fields* f) {
             std::uint8_t flags = k8, st = k8;
             const int code = mc::GetFeatureFlags_21B(s, 190, &flags, &st);
             *f = {st, flags}; return code; }, {0, 0x3B}},
        {"0x21E firmware command C0 8C 03 09", [&](S& s, Fields* f) {
             std::uint8_t results[4] = {k8, k8, k8, k8}, st = k8;
             const int code = mc::RunFirmwareCommand_21E(s, fwArgs, results, &st);
             *f = {st}; Append(f, results); return code; }, {0, 0xA1, 0xB2, 0xC3, 0xD4}},
        {"0x220 memory slots", [](S& s, Fields* f) {
             std::uint8_t count = k8, st = k8;
             const int code = mc::GetMemorySlotCount_220(s, &count, &st);
             *f = {st, count}; return code; }, {0, 3}},
        {"0x221 slot 2", [](S& s, Fields* f) {
             std::uint32_t info = k32; std::uint8_t st = k8;
             const int code = mc::GetMemorySlotInfo_221(s, 2, &info, &st);
             *f = {st, info}; return code; }, {0, 0x000F1082}},
        {"0x222 slot 2 from offset 0x30", [&](S& s, Fields* f) {
             std::uint8_t data[16], st = k8;
             std::fill(std::begin(data), std::end(data), k8);
             const int code = mc::ReadMemorySpd_222(s, 2, 0x30, data, &st);
             *f = {st, std::equal(data, data + 16, spd2.begin() + 0x30)}; return code; }, {0, true}},
        {"0x222 offset past the slot's SPD", [](S& s, Fields* f) {
             std::uint8_t data[16], st = k8;
             std::fill(std::begin(data), std::end(data), k8);
             const int code = mc::ReadMemorySpd_222(s, 1, 0x28, data, &st);
             *f = {st, data[0], data[15]}; return code; }, {0x82, k8, k8}},
        {"0x230 battery 1 against 2099-12-31", [](S& s, Fields* f) {
             std::uint16_t date = k16; std::uint8_t st = k8;
             const int code = mc::GetBatteryReferenceDate_230(s, 1, Packed(2099, 12, 31), &date, &st);
             *f = {st, date}; return code; }, {0, Packed(2013, 1, 8)}},
        {"0x232 battery 1 word 6", [](S& s, Fields* f) {
             std::uint32_t state = k32; std::uint8_t st = k8;
             const int code = mc::GetBatteryState_232(s, 1, 6, &state, &st);
             *f = {st, state}; return code; }, {0, 0x40000001}},
        {"0x240 environment status", [](S& s, Fields* f) {
             std::uint8_t bytes[2] = {k8, k8}, st = k8;
             const int code = mc::GetEnvironmentStatus_240(s, bytes, &st);
             *f = {st}; Append(f, bytes); return code; }, {0, 0xC1, 0x01}},
        {"0x242 battery 1", [](S& s, Fields* f) {
             std::uint16_t date = k16; std::uint8_t st = k8;
             const int code = mc::GetBatteryManufactureDate_242(s, 1, &date, &st);
             *f = {st, date}; return code; }, {0, Packed(2012, 5, 17)}},
        {"0x243 battery 1", [](S& s, Fields* f) {
             std::uint16_t value = k16; std::uint8_t st = k8;
             const int code = mc::GetBatteryTemperature_243(s, 1, &value, &st);
             *f = {st, value}; return code; }, {0, 3021}},
        {"0x243 battery slot 2 is empty", [](S& s, Fields* f) {
             std::uint16_t value = k16; std::uint8_t st = k8;
             const int code = mc::GetBatteryTemperature_243(s, 2, &value, &st);
             *f = {st, value}; return code; }, {0x82, k16}},
        {"0x244 battery 1", [](S& s, Fields* f) {
             std::uint16_t value = k16; std::uint8_t st = k8;
             const int code = mc::GetBatteryChargeIndex_244(s, 1, &value, &st);
             *f = {st, value}; return code; }, {0, 345}},
        {"0x246 battery 1", [](S& s, Fields* f) {
             std::uint16_t value = k16; std::uint8_t st = k8;
             const int code = mc::GetBatterySerialNumber_246(s, 1, &value, &st);
             *f = {st, value}; return code; }, {0, 54321}},
        {"0x260 docking", [](S& s, Fields* f) {
             std::uint8_t state = k8, usb = k8, antenna = k8, st = k8;
             const int code = mc::GetDockingState_260(s, &state, &usb, &antenna, &st);
             *f = {st, state, usb, antenna}; return code; }, {0, 1, 4, 2}},
        {"0x261 port-replicator firmware", [](S& s, Fields* f) {
             std::uint8_t bytes[4] = {k8, k8, k8, k8}, st = k8; std::uint16_t value = k16;
             const int code = mc::GetPortReplicatorFirmware_261(s, bytes, &value, &st);
             *f = {st}; Append(f, bytes); f->push_back(value); return code; }, {0, 0x13, 0x24, 0x35, 0x46, 0x5768}},
        {"0x270 sensor mask", [](S& s, Fields* f) {
             std::uint16_t results[4] = {k16, k16, k16, k16}; std::uint8_t st = k8;
             const int code = mc::GetThermalValue_270(s, 1, 0, results, &st);
             *f = {st}; Append(f, results); return code; }, {0, 0x29, 3, 0, 0}},
        {"0x270 sensor 5", [](S& s, Fields* f) {
             std::uint16_t results[4] = {k16, k16, k16, k16}; std::uint8_t st = k8;
             const int code = mc::GetThermalValue_270(s, 2, 5, results, &st);
             *f = {st}; Append(f, results); return code; }, {0, 3111, 3444, 3555, 0}},
        {"0x270 control mask and mode", [](S& s, Fields* f) {
             std::uint16_t mask[4] = {k16, k16, k16, k16}, mode[4] = {k16, k16, k16, k16}; std::uint8_t st = k8;
             int code = mc::GetThermalValue_270(s, 3, 0, mask, &st);
             *f = {st, mask[0]};
             if (code == mc::kMiscSuccess) code = mc::GetThermalValue_270(s, 4, 0, mode, &st);
             f->insert(f->end(), {st, mode[0]}); return code; }, {0, 37, 0, 5}},
        {"0x270 sensor the machine does not have", [](S& s, Fields* f) {
             std::uint16_t results[4] = {k16, k16, k16, k16}; std::uint8_t st = k8;
             const int code = mc::GetThermalValue_270(s, 2, 4, results, &st);
             *f = {st, results[0]}; return code; }, {0x82, k16}},
        {"0x293 bay configuration", [](S& s, Fields* f) {
             std::uint16_t bits = k16; std::uint8_t st = k8;
             const int code = mc::GetBatteryBayConfiguration_293(s, &bits, &st);
             *f = {st, bits}; return code; }, {0, 0x0D}},
        {"0x2A0 fan marks", [](S& s, Fields* f) {
             std::uint8_t marks[2] = {k8, k8}, st = k8;
             const int code = mc::GetFanMarks_2A0(s, marks, &st);
             *f = {st}; Append(f, marks); return code; }, {0, 1, 2}},
        {"0x2A1 fan control", [](S& s, Fields* f) {
             std::uint16_t value = k16; std::uint8_t st = k8;
             const int code = mc::GetFanControl_2A1(s, &value, &st);
             *f = {st, value}; return code; }, {0, 0x0A0B}},
        {"0x2B0 ME firmware", [](S& s, Fields* f) {
             std::uint16_t version[4] = {k16, k16, k16, k16}; std::uint8_t st = k8;
             const int code = mc::GetMeFirmwareVersion_2B0(s, version, &st);
             *f = {st}; Append(f, version); return code; }, {0, 9, 2, 31, 4321}},
        {"0x2E0 argument 0x01020304", [](S& s, Fields* f) {
             std::uint8_t bytes[3] = {k8, k8, k8}, st = k8;
             const int code = mc::GetHoldButton_2E0(s, 0x01020304, bytes, &st);
             *f = {st}; Append(f, bytes); return code; }, {0, 0x11, 0x22, 0x33}},
        {"0xC07 antenna kind", [](S& s, Fields* f) {
             std::uint8_t kind = k8, st = k8;
             const int code = mc::GetAntennaKind_C07(s, &kind, &st);
             *f = {st, kind}; return code; }, {0, 2}},
        {"0x1060 boot-order kind", [](S& s, Fields* f) {
             std::uint16_t value = k16; std::uint8_t st = k8;
             const int code = mc::GetBootOrderKind_1060(s, &value, &st);
             *f = {st, value}; return code; }, {0, 770}},
        {"0x1001 UEFI boot kind 3 (compact, in 10, out 13; the Setup tab sends it itself)", [](S& s, Fields* f) {
             std::uint8_t p[13] = {0x01, 0x10, 10, 0, 13, 0, 0, 0, 3, 0, k8, k8, k8};
             const int code = s.CallMiscFunction(p, sizeof p, mc::kWrapperRetries, mc::kWrapperPauseMs);
             *f = {p[0], static_cast<std::uint32_t>(p[10] | p[11] << 8), p[12]}; return code; }, {0, 0x0102, 0}},
        {"0x1061 boot table layout", [](S& s, Fields* f) {
             std::uint16_t layout[4] = {k16, k16, k16, k16}; std::uint8_t st = k8;
             const int code = mc::GetBootTableLayout_1061(s, layout, &st);
             *f = {st}; Append(f, layout); return code; }, {0, 5, 6, 2, 16}},
        {"0x304 password data", [](S& s, Fields* f) {
             std::uint8_t data[8], st = k8;
             std::fill(std::begin(data), std::end(data), k8);
             std::uint32_t size = 8;
             const int code = mc::GetPasswordData_304(s, data, &size, &st);
             *f = {st, size}; f->insert(f->end(), data, data + 5); return code; }, {0, 4, 0x5A, 0xA5, 0, 1, k8}},
        {"0x304 room too small: the size needed", [](S& s, Fields* f) {
             std::uint8_t data[2] = {k8, k8}, st = k8;
             std::uint32_t size = 2;
             const int code = mc::GetPasswordData_304(s, data, &size, &st);
             *f = {st, size, data[0]}; return code; }, {5, 4, k8}},
        {"0x30B exchange", [&](S& s, Fields* f) {
             std::vector<std::uint8_t> data = sent30B; std::uint8_t st = k8;
             std::uint32_t size = static_cast<std::uint32_t>(data.size());
             const int code = mc::ExchangeFirmwareData_30x(s, 0x30B, data.data(), &size, &st);
             *f = {st, size, Firmware().Data().received[0x30B] == sent30B};
             f->insert(f->end(), data.begin(), data.begin() + 4); return code; }, {0, 3, true, 0x0B, 0x1B, 0x2B, 0xC7}},
    };

    mc::CMiscCommon session;
    ASSERT_EQ(session.Open(), mc::kMiscSuccess);
    for (const Case& c : cases) {
        Fields fields;
        ASSERT_EQ(c.call(session, &fields), mc::kMiscSuccess) << c.what;
        EXPECT_EQ(fields, c.expected) << c.what;
    }

    // Every function of the firmware's table was asked for at least once.
    const std::vector<std::uint16_t>& answered = Firmware().AnsweredFunctions();
    for (std::uint16_t function : sim::MiscFunctionNumbers()) {
        EXPECT_NE(std::find(answered.begin(), answered.end(), function), answered.end())
            << std::hex << "0x" << function << " has no wrapper case";
    }
}

}  // namespace
