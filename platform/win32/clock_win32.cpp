#include "platform/win32/clock_win32.h"

#include <windows.h>

namespace quarro::platform::win32 {

namespace {
SystemTime From(const SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}
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

}  // namespace quarro::platform::win32
