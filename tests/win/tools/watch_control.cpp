// Drives the running Watchpost service for the Wine tests:
//   watch_control control CODE        ControlService(CODE): prints "result=0" or "result=<error>"
//   watch_control burst CODE COUNT    COUNT controls as fast as possible: prints "sent=N failed=M ms=T"
//   watch_control power [STATION DESKTOP]
//                                     suspend, then resume from suspend, sent to the hidden window
//                                     (found by its class and title) and handled before this
//                                     returns: prints "window=1", or "window=0 <step>=<error>". With
//                                     STATION and DESKTOP it first moves to the service's window
//                                     station and desktop, where a service that is not interactive
//                                     has its windows.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

// Owns one handle that `Close` gives back.
template <typename Handle, BOOL(WINAPI* Close)(Handle)>
class Owned {
public:
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() {
        if (handle_) Close(handle_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Handle Get() const { return handle_; }
    void Reset(Handle handle) {
        if (handle_) Close(handle_);
        handle_ = handle;
    }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    Handle handle_;
};
using ServiceHandle = Owned<SC_HANDLE, CloseServiceHandle>;
using WindowStation = Owned<HWINSTA, CloseWindowStation>;
using Desktop = Owned<HDESK, CloseDesktop>;

struct Service {
    ServiceHandle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
    ServiceHandle service{manager ? OpenServiceW(manager.Get(), L"Watchpost",
                                                 SERVICE_USER_DEFINED_CONTROL | SERVICE_QUERY_STATUS)
                                  : nullptr};
    DWORD Control(DWORD code) {
        SERVICE_STATUS status{};
        return ControlService(service.Get(), code, &status) ? 0 : GetLastError();
    }
};

// Puts the process back on its own window station and the thread on its own desktop (neither
// owned here) at the end of the scope, before the owners of the others close them.
struct BackHome {
    HWINSTA station = GetProcessWindowStation();
    HDESK desktop = GetThreadDesktop(GetCurrentThreadId());
    ~BackHome() {
        SetThreadDesktop(desktop);
        SetProcessWindowStation(station);
    }
};

int Failed(const char* step) {
    std::printf("window=0 %s=%lu\n", step, static_cast<unsigned long>(GetLastError()));
    return 0;
}

int Power(const wchar_t* stationName, const wchar_t* desktopName) {
    // The move comes before anything that could tie this thread to the desktop it started on.
    WindowStation station(stationName ? OpenWindowStationW(stationName, FALSE, WINSTA_ENUMDESKTOPS) : nullptr);
    Desktop desktop(nullptr);
    BackHome home;
    if (stationName) {
        if (!station || !SetProcessWindowStation(station.Get())) return Failed("station");
        desktop.Reset(OpenDesktopW(desktopName, 0, FALSE, DESKTOP_READOBJECTS | DESKTOP_ENUMERATE));
        if (!desktop || !SetThreadDesktop(desktop.Get())) return Failed("desktop");
    }
    HWND window = nullptr;
    for (int i = 0; i < 50 && !window; ++i) {
        window = FindWindowW(L"Quarro Diskward", L"Quarro");
        if (!window) Sleep(100);
    }
    if (!window) return Failed("find");
    // Sent, not posted: both are handled (and logged) before this returns.
    SendMessageW(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    SendMessageW(window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    std::printf("window=1\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"control") == 0) {
        Service s;
        std::printf("result=%lu\n", static_cast<unsigned long>(s.Control(std::wcstoul(argv[2], nullptr, 10))));
        return 0;
    }
    if (argc >= 4 && std::wcscmp(argv[1], L"burst") == 0) {
        Service s;
        const DWORD code = std::wcstoul(argv[2], nullptr, 10);
        const unsigned long count = std::wcstoul(argv[3], nullptr, 10);
        unsigned long failed = 0;
        const DWORD start = GetTickCount();
        for (unsigned long i = 0; i < count; ++i) failed += s.Control(code) != 0;
        std::printf("sent=%lu failed=%lu ms=%lu\n", count, failed, static_cast<unsigned long>(GetTickCount() - start));
        return 0;
    }
    if (argc >= 2 && std::wcscmp(argv[1], L"power") == 0) {
        return Power(argc >= 4 ? argv[2] : nullptr, argc >= 4 ? argv[3] : nullptr);
    }
    std::fprintf(stderr, "usage: watch_control control CODE | burst CODE COUNT | power [STATION DESKTOP]\n");
    return 2;
}
