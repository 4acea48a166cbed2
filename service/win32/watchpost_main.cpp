// Watchpost.exe: the watch service. The main thread owns the hidden window and does all disk,
// file and registry work, one message at a time; the dispatcher thread runs the service main
// function and the control handler, which only post messages to the window.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <string>

#include "common/audit.h"
#include "common/misc_common.h"
#include "common/reg.h"
#include "common/win_version.h"
#include "platform/platform.h"
#include "platform/win32/handles.h"
#include "service/battery_reader.h"
#include "service/disk_reader.h"
#include "service/idle.h"
#include "service/watch_core.h"
#include "service/watch_firmware.h"
#include "service/watch_log.h"
#include "service/win32/resource.h"

namespace {

using quarro::win32::UniqueKernelHandle;

constexpr wchar_t kServiceName[] = L"Watchpost";
constexpr UINT kMsgStop = WM_APP + 100;     // 0x8064
constexpr UINT kMsgControl = WM_APP + 101;  // 0x8065, wParam = control code
constexpr UINT kMsgPowerOn = WM_APP + 102;  // 0x8066
constexpr DWORD kDispatcherWaitMs = 2000;
// While stopping, each entry still queued before the stop renews the wait hint with a checkpoint.
constexpr DWORD kStopWaitHintMs = 10000;

// Process-wide state, owned by the main thread; the dispatcher thread touches only the status
// fields, the stop event and the window handle (set before that thread starts).
struct State {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    UniqueKernelHandle dispatcher;
    UniqueKernelHandle stopEvent;
    SERVICE_STATUS_HANDLE status = nullptr;
    DWORD lastState = 0;
    DWORD exitCode = NO_ERROR;
    DWORD checkpoint = 0;
    volatile LONG stopping = 0;
    bool idle = true;
    std::unique_ptr<watch::WatchCore> core;
} g;

class WindowTimers : public watch::ITimers {
public:
    void Start(int id, std::uint32_t ms) override { SetTimer(g.window, static_cast<UINT_PTR>(id), ms, nullptr); }
    void Stop(int id) override { KillTimer(g.window, static_cast<UINT_PTR>(id)); }
};

void Report(DWORD state, DWORD waitHint = 0, DWORD checkpoint = 0) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    status.dwWin32ExitCode = g.exitCode;
    status.dwWaitHint = waitHint;
    status.dwCheckPoint = checkpoint;
    g.lastState = state;
    if (!g.status || !SetServiceStatus(g.status, &status)) {
        g.exitCode = GetLastError();
        if (g.stopEvent) SetEvent(g.stopEvent.Get());
    }
}

static_assert(watch::kServiceStopPending == SERVICE_STOP_PENDING && watch::kServiceRunning == SERVICE_RUNNING &&
                  watch::kServicePaused == SERVICE_PAUSED && watch::kCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED,
              "the portable answer uses the service control manager's numbers");

DWORD WINAPI ControlHandler(DWORD control, DWORD, void*, void*) {
    const watch::ControlAnswer answer = watch::AnswerControl(control, g.lastState, g.stopping != 0);
    // The stop event is set by the main thread once the last entry is written, so that the
    // service reports stopped only after its log is complete.
    if (answer.post == watch::ControlPost::kStop) InterlockedExchange(&g.stopping, 1);
    if (answer.report == SERVICE_STOP_PENDING) {
        Report(SERVICE_STOP_PENDING, kStopWaitHintMs, 1);
    } else if (answer.report != 0) {
        Report(answer.report);
    }
    switch (answer.post) {
    case watch::ControlPost::kStop:
        PostMessageW(g.window, kMsgStop, 0, 0);
        break;
    case watch::ControlPost::kClose:
        PostMessageW(g.window, WM_CLOSE, 0, 0);
        break;
    case watch::ControlPost::kControl:
        PostMessageW(g.window, kMsgControl, control, 0);
        break;
    case watch::ControlPost::kNothing:
        break;
    }
    return answer.result;
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    g.status = RegisterServiceCtrlHandlerExW(kServiceName, ControlHandler, nullptr);
    if (g.idle) {
        PostMessageW(g.window, WM_CLOSE, 0, 0);
    } else {
        g.stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        Report(SERVICE_RUNNING);
        PostMessageW(g.window, kMsgPowerOn, 0, 0);
        Sleep(0);
        if (g.stopEvent) WaitForSingleObject(g.stopEvent.Get(), INFINITE);
    }
    g.stopEvent.Reset();
    Report(SERVICE_STOPPED);
}

DWORD WINAPI DispatcherThread(void*) {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kServiceName), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        g.exitCode = GetLastError();
        if (g.stopEvent) SetEvent(g.stopEvent.Get());
    }
    return 0;
}

// The last entry is written: let the service main function report stopped, wait for it, close.
void Finish(HWND window) {
    if (g.stopEvent) SetEvent(g.stopEvent.Get());
    if (g.dispatcher) WaitForSingleObject(g.dispatcher.Get(), kDispatcherWaitMs);
    DestroyWindow(window);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    watch::WatchCore* core = g.core.get();
    switch (message) {
    case WM_TIMER:
        if (wParam == watch::kPeriodicTimer) core->PeriodicTick();
        if (wParam == watch::kRetryTimer) core->RetryTick();
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND) core->Suspend();
        if (wParam == PBT_APMRESUMESUSPEND) core->Resume();
        return TRUE;
    case kMsgPowerOn:
        core->PowerOn();
        return 0;
    case kMsgControl:
        core->Control(static_cast<std::uint32_t>(wParam));
        if (g.stopping) Report(SERVICE_STOP_PENDING, kStopWaitHintMs, ++g.checkpoint + 1);
        return 0;
    case kMsgStop:
        core->Stop();
        Finish(window);
        return 0;
    case WM_CLOSE:
        core->Shutdown();
        Finish(window);
        return 0;
    case WM_DESTROY:
        KillTimer(window, watch::kPeriodicTimer);
        KillTimer(window, watch::kRetryTimer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

std::wstring LoadText(UINT id) {
    wchar_t buffer[260] = {};
    LoadStringW(g.instance, id, buffer, 260);
    return buffer;
}
std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

// The folder of this program, with its trailing backslash.
std::u16string ProgramFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    wchar_t* slash = std::wcsrchr(path, L'\\');
    if (slash) slash[1] = 0;
    return U16(path);
}

// The snapshot a service replays comes from its own configuration, never from the environment
// of whoever started the service control manager: "/MACHINE:<folder>" on its command line, else
// the "Machine" value of its "Parameters" key. Set before the platform is first used.
void ChooseMachine() {
    std::wstring machine;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; args && i < count; ++i) {
        if (_wcsnicmp(args[i], L"/MACHINE:", 9) == 0) machine = args[i] + 9;
    }
    if (args) LocalFree(args);
    if (machine.empty()) {
        wchar_t value[MAX_PATH + 1] = {};
        DWORD bytes = sizeof(value) - sizeof(wchar_t);
        DWORD type = 0;
        quarro::win32::UniqueRegKey key;
        HKEY raw = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\Watchpost\\Parameters", 0,
                          KEY_QUERY_VALUE, &raw) == ERROR_SUCCESS) {
            key.Reset(raw);
            if (RegQueryValueExW(key.Get(), L"Machine", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) ==
                    ERROR_SUCCESS &&
                type == REG_SZ) {
                value[MAX_PATH] = 0;
                machine = value;
            }
        }
    }
    _wputenv_s(L"QUARRO_MACHINE", machine.c_str());
}

// The period: "TimerElapse" minutes, none on machines with the excluded device.
std::uint32_t ReadPeriod() {
    std::uint32_t minutes = 0;
    const bool read = CReg().ReadDword(quarro::platform::kHkeyLocalMachine, u"Software\\Mirelta\\Quarro",
                                       u"TimerElapse", &minutes, 0) == 1;
    return watch::PeriodFor(read, minutes, watch::ExclusionDevicePresent());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    g.instance = instance;
    UniqueKernelHandle mutex(CreateMutexW(nullptr, TRUE, L"Global\\MireltaWatchpostMutex"));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
    ChooseMachine();

    CWinVersion os(CWinVersion::Form::Earlier);
    CAudit audit(os.OsType);
    MiscCommon::CMiscCommon session;
    g.idle = ShouldStayIdle(os.OsType, audit, [&session] {
        const bool opens = session.Open() == 0;
        session.Close();
        return opens;
    });

    const std::wstring title = LoadText(IDS_PRODUCT);
    const std::wstring className = LoadText(IDS_WINDOW_CLASS);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_WATCHPOST));
    wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_WATCHPOST_SMALL));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className.c_str();
    RegisterClassExW(&wc);

    watch::SessionFirmware firmware(session);
    watch::StorageDiskReader disk;
    watch::ConcernBatteryReader batteries;
    const quarro::platform::OsVersionInfoEx& v = os.VersionInfo;
    watch::WatchLog log(disk, firmware, batteries,
                        watch::LogTexts{U16(title), U16(LoadText(IDS_MAKER)), U16(LoadText(IDS_LOG_HEADING)),
                                        U16(LoadText(IDS_DATE_FORMAT))},
                        watch::OsNumbers{os.OsType, v.majorVersion, v.minorVersion, v.buildNumber}, ProgramFolder());
    WindowTimers timers;
    g.core = std::make_unique<watch::WatchCore>(g.idle ? nullptr : &log, timers, ReadPeriod());

    g.window = CreateWindowExW(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!g.window) return 0;

    g.dispatcher.Reset(CreateThread(nullptr, 0, DispatcherThread, nullptr, 0, nullptr));
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g.dispatcher) WaitForSingleObject(g.dispatcher.Get(), kDispatcherWaitMs);
    g.dispatcher.Reset();
    g.core.reset();
    return static_cast<int>(msg.wParam);
}
