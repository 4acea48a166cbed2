#include "platform/native/sim_clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/concerns.h"

namespace quarro::platform::sim {

namespace {

SystemTime FromTimePoint(std::chrono::system_clock::time_point now, bool local) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm parts{};
    local ? localtime_r(&seconds, &parts) : gmtime_r(&seconds, &parts);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return {static_cast<std::uint16_t>(parts.tm_year + 1900), static_cast<std::uint16_t>(parts.tm_mon + 1),
            static_cast<std::uint16_t>(parts.tm_wday),        static_cast<std::uint16_t>(parts.tm_mday),
            static_cast<std::uint16_t>(parts.tm_hour),        static_cast<std::uint16_t>(parts.tm_min),
            static_cast<std::uint16_t>(parts.tm_sec),         static_cast<std::uint16_t>(ms)};
}

}  // namespace

void SimClock::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t SimClock::PerformanceCounter() {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

SystemTime SimClock::UtcNow() { return FromTimePoint(std::chrono::system_clock::now(), false); }

SystemTime SimClock::LocalNow() { return FromTimePoint(std::chrono::system_clock::now(), true); }

std::uint32_t SimClock::TickCount() {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

bool SimClock::TickCount64(std::uint64_t* milliseconds) {
    if (milliseconds) {
        *milliseconds = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    }
    return true;
}

void FakeClock::Sleep(std::uint32_t milliseconds) {
    sleeps.push_back(milliseconds);
    nowMs += milliseconds;
}

std::shared_ptr<IClock> MakeSimClock(const MachineSnapshot*, std::string*) { return std::make_shared<SimClock>(); }

}  // namespace quarro::platform::sim
