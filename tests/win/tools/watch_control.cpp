// Drives the running Watchpost service for the Wine tests:
//   watch_control control CODE        ControlService(CODE): prints "result=0" or "result=<error>"
//   watch_control burst CODE COUNT    COUNT controls as fast as possible: prints "sent=N failed=M ms=T"
//   watch_control power               suspend, then resume, sent to the hidden window (found by its
//                                     class and title): prints "window=1" or "window=0"
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

struct Service {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, L"Watchpost", SERVICE_USER_DEFINED_CONTROL | SERVICE_QUERY_STATUS)
                                : nullptr;
    ~Service() {
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
    }
    DWORD Control(DWORD code) {
        SERVICE_STATUS status{};
        return ControlService(service, code, &status) ? 0 : GetLastError();
    }
};

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
        HWND window = nullptr;
        for (int i = 0; i < 50 && !window; ++i) {
            window = FindWindowW(L"Quarro Diskward", L"Quarro");
            if (!window) Sleep(100);
        }
        if (window) {
            SendMessageW(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
            SendMessageW(window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
        }
        std::printf("window=%d\n", window ? 1 : 0);
        return 0;
    }
    std::fprintf(stderr, "usage: watch_control control CODE | burst CODE COUNT | power\n");
    return 2;
}
