#include "viewer/watch_service.h"

#include "platform/owner.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace {

constexpr char16_t kServiceName[] = u"Watchpost";
constexpr std::uint32_t kStopPauseMs = 500;

}  // namespace

int QueryWatchServiceState(std::uint32_t* state) {
    if (!state) return 0;
    *state = 0;
    pf::IServiceControl& control = pf::ServiceControl();
    const pf::OwnedScHandle manager(control, control.OpenManager(pf::kScManagerConnect));
    if (!manager) return 0;
    const pf::OwnedScHandle service(control, control.OpenService(manager.Get(), kServiceName, pf::kServiceQueryStatus));
    if (!service) return 0;
    std::uint32_t current = 0;
    if (!control.QueryState(service.Get(), &current)) return 0;
    *state = current;
    return 1;
}

int StartWatchService() {
    pf::IServiceControl& control = pf::ServiceControl();
    const pf::OwnedScHandle manager(control, control.OpenManager(pf::kScManagerAllAccess));
    if (!manager) return 0;
    const pf::OwnedScHandle service(
        control, control.OpenService(manager.Get(), kServiceName,
                                     pf::kServiceChangeConfig | pf::kServiceQueryStatus | pf::kServiceStart));
    if (!service) return 0;
    if (!control.ChangeStartType(service.Get(), pf::kServiceAutoStart)) return 0;
    std::uint32_t state = 0;
    if (!control.QueryState(service.Get(), &state)) return 0;
    if (state == pf::kServiceRunning) return 1;
    return control.Start(service.Get()) ? 1 : 0;
}

int StopWatchService() {
    pf::IServiceControl& control = pf::ServiceControl();
    const pf::OwnedScHandle manager(control, control.OpenManager(pf::kScManagerAllAccess));
    if (!manager) return 0;
    const pf::OwnedScHandle service(
        control, control.OpenService(manager.Get(), kServiceName,
                                     pf::kServiceChangeConfig | pf::kServiceQueryStatus | pf::kServiceStop));
    if (!service) return 0;
    if (!control.ChangeStartType(service.Get(), pf::kServiceDisabled)) return 0;
    std::uint32_t state = 0;
    if (!control.QueryState(service.Get(), &state)) return 0;
    if (state != pf::kServiceStopped) {
        std::uint32_t after = 0;
        if (!control.Control(service.Get(), pf::kServiceControlStop, &after)) return 0;
        pf::Clock().Sleep(kStopPauseMs);
    }
    return 1;
}
