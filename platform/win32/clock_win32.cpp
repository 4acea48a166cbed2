// The clock concern on Windows.
#include <windows.h>

#include "platform/clock.h"
#include "platform/concerns.h"

namespace quarro::platform::win32 {

namespace {

SystemTime From(const SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

class Win32Clock : public IClock {
public:
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t PerformanceCounter() override;
    SystemTime UtcNow() override;
    SystemTime LocalNow() override;
    std::uint32_t TickCount() override;
};

}  // namespace

void Win32Clock::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint64_t Win32Clock::PerformanceCounter() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<std::uint64_t>(counter.QuadPart);
}

SystemTime Win32Clock::UtcNow() {
    SYSTEMTIME t{};
    GetSystemTime(&t);
    return From(t);
}

SystemTime Win32Clock::LocalNow() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return From(t);
}

std::uint32_t Win32Clock::TickCount() { return GetTickCount(); }

std::shared_ptr<IClock> MakeWin32Clock() { return std::make_shared<Win32Clock>(); }

}  // namespace quarro::platform::win32
