// The clock concern on Windows.
#include <windows.h>

#include "platform/clock.h"
#include "platform/concerns.h"
#include "platform/win32/wide.h"

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
    bool TickCount64(std::uint64_t* milliseconds) override;
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

// GetTickCount64 exists from Vista on: looked up by name so that the program still loads on XP.
bool Win32Clock::TickCount64(std::uint64_t* milliseconds) {
    using TickCount64Function = ULONGLONG(WINAPI*)();
    const auto tickCount64 = LoadedExport<TickCount64Function>(L"kernel32.dll", "GetTickCount64");
    if (!tickCount64) return false;
    if (milliseconds) *milliseconds = tickCount64();
    return true;
}

std::shared_ptr<IClock> MakeWin32Clock() { return std::make_shared<Win32Clock>(); }

}  // namespace quarro::platform::win32
