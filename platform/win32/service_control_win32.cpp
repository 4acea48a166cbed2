// The real service control manager behind IServiceControl.
#include "platform/win32/wide.h"

// <windows.h> maps OpenService to OpenServiceW; here it names the interface's member.
#undef OpenService

#include "platform/concerns.h"
#include "platform/service_control.h"

namespace quarro::platform::win32 {

namespace {

SC_HANDLE AsHandle(ScHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }

ScHandle FromHandle(SC_HANDLE handle) { return reinterpret_cast<ScHandle>(handle); }

static_assert(SERVICE_NO_CHANGE == kServiceNoChange, "SERVICE_NO_CHANGE");
static_assert(SC_MANAGER_ALL_ACCESS == kScManagerAllAccess, "SC_MANAGER_ALL_ACCESS");
static_assert(SERVICE_RUNNING == kServiceRunning && SERVICE_STOPPED == kServiceStopped, "service states");
static_assert(SERVICE_CONTROL_STOP == kServiceControlStop, "SERVICE_CONTROL_STOP");

class Win32ServiceControl : public IServiceControl {
public:
    ScHandle OpenManager(std::uint32_t access) override;
    ScHandle OpenService(ScHandle manager, const char16_t* name, std::uint32_t access) override;
    bool ChangeStartType(ScHandle service, std::uint32_t startType) override;
    bool QueryState(ScHandle service, std::uint32_t* state) override;
    bool Start(ScHandle service) override;
    // *state (when given) is written only when the control succeeds.
    bool Control(ScHandle service, std::uint32_t control, std::uint32_t* state) override;
    void CloseHandle(ScHandle handle) override;
};

}  // namespace

ScHandle Win32ServiceControl::OpenManager(std::uint32_t access) {
    return FromHandle(OpenSCManagerW(nullptr, nullptr, access));
}

ScHandle Win32ServiceControl::OpenService(ScHandle manager, const char16_t* name, std::uint32_t access) {
    if (!name) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    return FromHandle(OpenServiceW(AsHandle(manager), W(name), access));
}

bool Win32ServiceControl::ChangeStartType(ScHandle service, std::uint32_t startType) {
    return ChangeServiceConfigW(AsHandle(service), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
}

bool Win32ServiceControl::QueryState(ScHandle service, std::uint32_t* state) {
    if (!state) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(AsHandle(service), &status)) return false;
    *state = status.dwCurrentState;
    return true;
}

bool Win32ServiceControl::Start(ScHandle service) { return StartServiceW(AsHandle(service), 0, nullptr) != FALSE; }

bool Win32ServiceControl::Control(ScHandle service, std::uint32_t control, std::uint32_t* state) {
    SERVICE_STATUS status{};
    if (!ControlService(AsHandle(service), control, &status)) return false;
    if (state) *state = status.dwCurrentState;
    return true;
}

void Win32ServiceControl::CloseHandle(ScHandle handle) {
    if (handle) CloseServiceHandle(AsHandle(handle));
}

std::shared_ptr<IServiceControl> MakeWin32ServiceControl() { return std::make_shared<Win32ServiceControl>(); }

}  // namespace quarro::platform::win32
