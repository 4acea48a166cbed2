// The driver session against the simulated Mirelta Misc Driver: the cost of a full open (device
// lookup, three-phase handshake with two 1024-bit exponentiations on each side) and of one Misc
// function round trip through the enciphered channel.
#include <benchmark/benchmark.h>

#include <memory>

#include <nlohmann/json.hpp>

#include "common/driver_reg.h"
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

// The simulated notebook's driver, installed for the lifetime of the object.
class SimulatedDriver {
public:
    SimulatedDriver()
        : devices_(nlohmann::json::parse(R"({
            "miscDriver": {
              "present": true, "driverVersion": "1.0.900.0", "cipher": true,
              "functions": {"0x21A": {"in": 8, "reply": {"8": "03"}}}
            }})")) {
        pf::Services services;
        services.devices = &devices_;
        services.clock = &clock_;
        services.registry = &registry_;
        override_ = std::make_unique<pf::ScopedOverride>(services);
    }

private:
    sim::SimDeviceInterfaces devices_;
    sim::SimClock clock_;
    sim::MemoryRegistry registry_;
    std::unique_ptr<pf::ScopedOverride> override_;
};

void BM_OpenAndClose(benchmark::State& state) {
    SimulatedDriver driver;
    for (auto _ : state) {
        mc::CMiscCommon session;
        if (session.Open() != mc::kMiscSuccess) state.SkipWithError("Open failed");
        session.Close();
    }
}
BENCHMARK(BM_OpenAndClose)->Unit(benchmark::kMillisecond);

void BM_CallMiscFunction(benchmark::State& state) {
    SimulatedDriver driver;
    mc::CMiscCommon session;
    if (session.Open() != mc::kMiscSuccess) {
        state.SkipWithError("Open failed");
        return;
    }
    for (auto _ : state) {
        std::uint8_t packet[9] = {0x1A, 0x02, 8, 0, 9, 0};
        if (session.CallMiscFunction(packet, sizeof(packet), 1, 100) != mc::kMiscSuccess || packet[0] != 0) {
            state.SkipWithError("CallMiscFunction failed");
        }
        benchmark::DoNotOptimize(packet);
    }
}
BENCHMARK(BM_CallMiscFunction)->Unit(benchmark::kMicrosecond);

void BM_DriverRegistryReadDword(benchmark::State& state) {
    SimulatedDriver driver;
    mc::CMiscCommon session;
    if (session.Open() != mc::kMiscSuccess) {
        state.SkipWithError("Open failed");
        return;
    }
    CDriverReg reg(&session);
    reg.WriteDword(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\Bench", u"Value", 42, 0);
    for (auto _ : state) {
        std::uint32_t value = 0;
        if (!reg.ReadDword(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\Bench", u"Value", &value, 0)) {
            state.SkipWithError("ReadDword failed");
        }
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_DriverRegistryReadDword)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
