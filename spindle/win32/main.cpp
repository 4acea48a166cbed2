// Spindle.exe: the S.M.A.R.T. pipe server. As the service "Spindle" (automatic start, its own
// process, independent of the watch service) or, with /console, as a console program. It reads
// the system disk itself, or in snapshot mode the disk of the machine snapshot named by
// /machine:<folder> or by the service's "MachineFolder" parameter; never from its environment,
// which a service does not get from whoever starts it.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/concerns.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/storage.h"
#include "platform/utf8.h"
#include "platform/win32/handles.h"
#include "spindle/command_line.h"
#include "spindle/win32/pipe_server.h"

namespace pf = quarro::platform;
using quarro::spindle::Options;

namespace {

constexpr DWORD kStopWaitHintMs = 3000;  // the loop notices the stop at once; cancelled I/O ends at once

Options g_options;
SERVICE_STATUS_HANDLE g_status = nullptr;
SERVICE_STATUS g_state = {SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, NO_ERROR, 0, 0, 0};
HANDLE g_stop = nullptr;  // owned by wmain

void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHint = 0) {
    g_state.dwCurrentState = state;
    g_state.dwWin32ExitCode = exitCode;
    g_state.dwWaitHint = waitHint;
    g_state.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    g_state.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : g_state.dwCheckPoint + 1;
    if (g_status) SetServiceStatus(g_status, &g_state);
}

// The service's "MachineFolder" parameter, when it is a text of sensible length.
std::u16string ParameterFolder() {
    quarro::win32::UniqueHandle<quarro::win32::RegKeyTraits> key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(quarro::spindle::kParametersKey), 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH * sizeof(wchar_t);
    if (RegQueryValueExW(key.Get(), reinterpret_cast<const wchar_t*>(quarro::spindle::kMachineFolderValue), nullptr,
                         &type, reinterpret_cast<BYTE*>(folder), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    folder[size / sizeof(wchar_t)] = L'\0';  // the value need not end in a terminator
    return reinterpret_cast<const char16_t*>(folder);
}

// The disk to answer from: the snapshot's when a folder is named and it describes a disk, the real
// one when none is named. Null (with a message) when a named snapshot cannot be loaded.
std::shared_ptr<pf::IStorage> ChooseStorage(const std::u16string& folder, std::string* problem) {
    if (folder.empty()) return pf::win32::MakeWin32Storage();
    auto machine = pf::sim::MachineSnapshot::Load(pf::Utf16ToUtf8(folder), problem);
    if (!machine) return nullptr;
    auto storage = pf::sim::MakeSimStorage(*machine);
    return storage ? storage : pf::win32::MakeWin32Storage();
}

void WINAPI Control(DWORD control) {
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        Report(SERVICE_STOP_PENDING, NO_ERROR, kStopWaitHintMs);
        SetEvent(g_stop);
    } else {
        Report(g_state.dwCurrentState, g_state.dwWin32ExitCode, g_state.dwWaitHint);
    }
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
    g_status = RegisterServiceCtrlHandlerW(reinterpret_cast<const wchar_t*>(quarro::spindle::kServiceName), Control);
    if (!g_status) return;
    Report(SERVICE_START_PENDING, NO_ERROR, kStopWaitHintMs);
    // Start arguments ("sc start Spindle /machine:...") win over the image path's, which win over
    // the parameters key.
    Options options = g_options;
    std::vector<std::u16string> args;
    for (DWORD i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    std::u16string bad;
    Options started;
    if (!args.empty()) {
        if (!quarro::spindle::ParseCommandLine(args, &started, &bad)) {
            Report(SERVICE_STOPPED, ERROR_INVALID_PARAMETER);
            return;
        }
        if (!started.machineFolder.empty()) options.machineFolder = started.machineFolder;
    }
    if (options.machineFolder.empty()) options.machineFolder = ParameterFolder();
    std::string problem;
    const auto storage = ChooseStorage(options.machineFolder, &problem);
    if (!storage) {
        Report(SERVICE_STOPPED, ERROR_BAD_CONFIGURATION);
        return;
    }
    Report(SERVICE_RUNNING);
    const DWORD result = quarro::spindle::ServePipe(*storage, g_stop, false);
    Report(SERVICE_STOPPED, result);
}

BOOL WINAPI ConsoleControl(DWORD) {
    SetEvent(g_stop);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    std::u16string bad;
    if (!quarro::spindle::ParseCommandLine(args, &g_options, &bad)) {
        std::fprintf(stderr, "Spindle: unknown argument \"%s\"\nusage: Spindle.exe [/console] [/machine:<folder>]\n",
                     pf::Utf16ToUtf8(bad).c_str());
        return 2;
    }
    const quarro::win32::UniqueHandle<quarro::win32::KernelHandleTraits> stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop) return 1;
    g_stop = stop.Get();
    if (!g_options.console) {
        wchar_t name[] = L"Spindle";
        const SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
        if (StartServiceCtrlDispatcherW(table)) return 0;
        if (GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) return 1;
        std::fprintf(stderr, "Spindle: not started as a service; use /console to serve from a console\n");
        return 1;
    }
    std::string problem;
    const auto storage = ChooseStorage(g_options.machineFolder, &problem);
    if (!storage) {
        std::fprintf(stderr, "Spindle: %s\n", problem.c_str());
        return 1;
    }
    SetConsoleCtrlHandler(ConsoleControl, TRUE);
    const DWORD result = quarro::spindle::ServePipe(*storage, g_stop, true);
    if (result != 0) std::fprintf(stderr, "Spindle: the pipe could not be created (error %lu)\n", result);
    return result == 0 ? 0 : 1;
}
