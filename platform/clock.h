// The clock concern: pauses and the time sources the programs read.
#pragma once

#include <cstdint>

namespace quarro::platform {

// SYSTEMTIME, field for field.
struct SystemTime {
    std::uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
static_assert(sizeof(SystemTime) == 16, "SYSTEMTIME layout");

class IClock {
public:
    virtual ~IClock() = default;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // QueryPerformanceCounter.
    virtual std::uint64_t PerformanceCounter() = 0;
    // GetSystemTime (UTC).
    virtual SystemTime UtcNow() = 0;
    // GetLocalTime.
    virtual SystemTime LocalNow() = 0;
    // GetTickCount: milliseconds since start, wrapping at 2^32.
    virtual std::uint32_t TickCount() = 0;
    // GetTickCount64, loaded by name from "kernel32.dll": false where the system has none.
    virtual bool TickCount64(std::uint64_t* milliseconds) = 0;
};

}  // namespace quarro::platform
