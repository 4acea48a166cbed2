#include "viewer/watch_service.h"

#include "platform/platform.h"

namespace pf = quarro::platform;

namespace {

constexpr char16_t kServiceName[] = u"Watchpost";
constexpr std::uint32_t kStopPauseMs = 500;

// A service-manager handle closed when it goes out of scope.
class ScopedScHandle {
public:
    ScopedScHandle(pf::IServiceControl& control, pf::ScHandle handle) : control_(control), handle_(handle) {}
    ~ScopedScHandle() {
        if (handle_) control_.CloseHandle(handle_);
    }
    ScopedScHandle(const ScopedScHandle&) = delete;
    ScopedScHandle& operator=(const ScopedScHandle&) = delete;

    pf::ScHandle get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }

private:
    pf::IServiceControl& control_;
    pf::ScHandle handle_;
};

}  // namespace

int QueryWatchServiceState(std::uint32_t* state) {
    if (!state) return 0;
    *state = 0;
    pf::IServiceControl& control = pf::ServiceControl();
    const ScopedScHandle manager(control, control.OpenManager(pf::kScManagerConnect));
    if (!manager) return 0;
    const ScopedScHandle service(control, control.OpenService(manager.get(), kServiceName, pf::kServiceQueryStatus));
    if (!service) return 0;
    std::uint32_t current = 0;
    if (!control.QueryState(service.get(), &current)) return 0;
    *state = current;
    return 1;
}

int StartWatchService() {
    pf::IServiceControl& control = pf::ServiceControl();
    const ScopedScHandle manager(control, control.OpenManager(pf::kScManagerAllAccess));
    if (!manager) return 0;
    const ScopedScHandle service(
        control, control.OpenService(manager.get(), kServiceName,
                                     pf::kServiceChangeConfig | pf::kServiceQueryStatus | pf::kServiceStart));
    if (!service) return 0;
    if (!control.ChangeStartType(service.get(), pf::kServiceAutoStart)) return 0;
    std::uint32_t state = 0;
    if (!control.QueryState(service.get(), &state)) return 0;
    if (state == pf::kServiceRunning) return 1;
    return control.Start(service.get()) ? 1 : 0;
}

int StopWatchService() {
    pf::IServiceControl& control = pf::ServiceControl();
    const ScopedScHandle manager(control, control.OpenManager(pf::kScManagerAllAccess));
    if (!manager) return 0;
    const ScopedScHandle service(
        control, control.OpenService(manager.get(), kServiceName,
                                     pf::kServiceChangeConfig | pf::kServiceQueryStatus | pf::kServiceStop));
    if (!service) return 0;
    if (!control.ChangeStartType(service.get(), pf::kServiceDisabled)) return 0;
    std::uint32_t state = 0;
    if (!control.QueryState(service.get(), &state)) return 0;
    if (state != pf::kServiceStopped) {
        std::uint32_t after = 0;
        if (!control.Control(service.get(), pf::kServiceControlStop, &after)) return 0;
        pf::Clock().Sleep(kStopPauseMs);
    }
    return 1;
}
