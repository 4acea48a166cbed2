// The service control manager of the simulated machine, from the "services" section of
// machine.json:
//
//   "services": { "Watchpost": { "installed": true, "state": "running", "startType": "auto" } }
//
// "state" is "stopped", "startPending", "stopPending" or "running" (or the SERVICE_* number);
// "startType" is "auto", "demand" or "disabled" (or the SERVICE_* number); an entry with
// "installed": false, like a missing section, means the service is not installed. Missing or
// unreadable fields fall back to a stopped service started on demand.
//
// It answers as the real manager does: access rights are checked per handle (and against what
// the caller may be granted at all, which a test lowers to play a standard user), a service is
// looked up without regard to ASCII case, and the errors are the Win32 ones. Unlike the real
// manager it never keeps a service pending: Start leaves it running and a stop control leaves it
// stopped at once, and that is the state the control reports.
//
// For tests it keeps the service table, every call in order, the handles still open, and fault
// switches. Not thread-safe: the programs manage services from one thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/service_control.h"

namespace quarro::platform::sim {

class SimServiceControl : public IServiceControl {
public:
    struct Service {
        std::uint32_t state = kServiceStopped;          // SERVICE_STOPPED, ..._PENDING, SERVICE_RUNNING
        std::uint32_t startType = kServiceDemandStart;  // SERVICE_AUTO_START, _DEMAND_START, _DISABLED
    };

    // The calls a fault switch can make fail.
    enum class Call { OpenManager, OpenService, ChangeStartType, QueryState, Start, Control };

    explicit SimServiceControl(const nlohmann::json* services);

    ScHandle OpenManager(std::uint32_t access) override;
    ScHandle OpenService(ScHandle manager, const char16_t* name, std::uint32_t access) override;
    bool ChangeStartType(ScHandle service, std::uint32_t startType) override;
    bool QueryState(ScHandle service, std::uint32_t* state) override;
    bool Start(ScHandle service) override;
    // Supported controls: stop (1), pause and continue (2, 3; the services here do not accept them:
    // ERROR_INVALID_SERVICE_CONTROL), interrogate (4) and the user-defined controls 128..255.
    bool Control(ScHandle service, std::uint32_t control, std::uint32_t* state) override;
    void CloseHandle(ScHandle handle) override;

    // The installed services by name (as written in machine.json).
    std::map<std::u16string, Service> services;

    // Every call in order, e.g. "OpenManager(0xF003F)", "OpenService(Watchpost,0x16)",
    // "ChangeStartType(Watchpost,2)", "QueryState(Watchpost)", "Start(Watchpost)",
    // "Control(Watchpost,1)", "Close(Watchpost)", "Close(manager)". A service handle the manager
    // does not know shows as "?"; failed calls are recorded too.
    std::vector<std::string> calls;

    // Handles opened and not closed yet.
    std::size_t OpenHandles() const { return handles_.size(); }

    // Fault switches: a call named here fails with the given Win32 error, every time.
    std::map<Call, std::uint32_t> failures;

    // What the caller may be granted at all (an administrator: everything). Asking for more
    // fails with ERROR_ACCESS_DENIED; a standard user holds only reading and connecting rights.
    std::uint32_t grantedManagerAccess = kScManagerAllAccess;
    std::uint32_t grantedServiceAccess = 0xF01FF;  // SERVICE_ALL_ACCESS

private:
    struct Handle {
        bool manager;
        std::u16string service;  // the name as the table spells it
        std::uint32_t access;
    };

    bool Failing(Call call);
    // The service behind a service handle that holds `right`; null with the last error set.
    Service* Checked(ScHandle handle, std::uint32_t right);
    std::string NameOf(ScHandle handle) const;

    std::map<ScHandle, Handle> handles_;
    ScHandle next_ = 0x1000;
};

}  // namespace quarro::platform::sim
