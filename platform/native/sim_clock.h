// The native build's clock: real time from the C++ clocks. Tests that need control over time
// use FakeClock instead.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/clock.h"

namespace quarro::platform::sim {

class SimClock : public IClock {
public:
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t PerformanceCounter() override;
    SystemTime UtcNow() override;
    SystemTime LocalNow() override;
    std::uint32_t TickCount() override;
    bool TickCount64(std::uint64_t* milliseconds) override;
};

// A clock that only moves when told to: Sleep advances it and is recorded.
class FakeClock : public IClock {
public:
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t PerformanceCounter() override { return nowMs * 10000; }
    SystemTime UtcNow() override { return utc; }
    SystemTime LocalNow() override { return local; }
    std::uint32_t TickCount() override { return static_cast<std::uint32_t>(nowMs); }
    bool TickCount64(std::uint64_t* milliseconds) override {
        if (milliseconds) *milliseconds = nowMs;
        return hasTickCount64;
    }

    std::uint64_t nowMs = 0;
    bool hasTickCount64 = true;
    std::vector<std::uint32_t> sleeps;
    SystemTime utc{2026, 12, 1, 7, 12, 0, 0, 0};
    SystemTime local{2026, 12, 1, 7, 13, 0, 0, 0};
};

}  // namespace quarro::platform::sim
