// One table of service-manager calls that runs natively on the simulated manager and under Wine
// on Wine's real one. It uses two services every Wine prefix has, PlugPlay (running) and Spooler
// (stopped), and no row changes either of them. A row that fails on one side only is a bug in the
// simulation (or a Windows fact we had wrong).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/last_error.h"
#include "platform/platform.h"

#ifndef _WIN32
#include "platform/native/sim_service_control.h"
#endif

// Should <windows.h> have come in (it maps OpenService to OpenServiceW), the interface's member
// is meant here.
#undef OpenService

namespace pf = quarro::platform;

namespace {

pf::IServiceControl& Manager() {
#ifdef _WIN32
    return pf::ServiceControl();
#else
    static const nlohmann::json section = nlohmann::json::parse(R"({
        "PlugPlay": {"state": "running", "startType": "auto"},
        "Spooler": {"state": "stopped", "startType": "auto"}
    })");
    static pf::sim::SimServiceControl simulated(&section);
    return simulated;
#endif
}

constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kInterrogate = 0x0080;
constexpr std::uint32_t kUserDefinedControl = 0x0100;

enum class Op { Open, Query, Start, Control, KeepStartType };

struct Case {
    const char* what;
    const char16_t* service;
    std::uint32_t access;
    Op op;
    std::uint32_t control;  // for Op::Control
    std::uint32_t error;    // 0: succeeds
    std::uint32_t state;    // for a successful query or control
};

const Case kCases[] = {
    {"a missing service", u"QuarroNoSuchService", pf::kServiceQueryStatus, Op::Open, 0, 1060, 0},
    {"names ignore case", u"plugplay", pf::kServiceQueryStatus, Op::Query, 0, 0, pf::kServiceRunning},
    {"generic read queries", u"PlugPlay", kGenericRead, Op::Query, 0, 0, pf::kServiceRunning},
    {"a query needs its right", u"PlugPlay", pf::kServiceStart, Op::Query, 0, 5, 0},
    {"a stopped service", u"Spooler", pf::kServiceQueryStatus, Op::Query, 0, 0, pf::kServiceStopped},
    {"start needs its right", u"PlugPlay", pf::kServiceQueryStatus, Op::Start, 0, 5, 0},
    {"start of a running service", u"PlugPlay", pf::kServiceStart, Op::Start, 0, 1056, 0},
    {"stop needs its right", u"Spooler", pf::kServiceQueryStatus, Op::Control, pf::kServiceControlStop, 5, 0},
    {"stop of a stopped service", u"Spooler", pf::kServiceStop, Op::Control, pf::kServiceControlStop, 1062, 0},
    {"interrogate a running service", u"PlugPlay", kInterrogate, Op::Control, 4, 0, pf::kServiceRunning},
    {"interrogate a stopped service", u"Spooler", kInterrogate, Op::Control, 4, 1062, 0},
    {"a user control to a stopped service", u"Spooler", kUserDefinedControl, Op::Control, 200, 1062, 0},
    {"a configuration change needs its right", u"PlugPlay", pf::kServiceQueryStatus, Op::KeepStartType, 0, 5, 0},
    {"no change changes nothing", u"PlugPlay", pf::kServiceChangeConfig, Op::KeepStartType, 0, 0, 0},
};

TEST(ServiceControlDifferential, AnswersAsTheManagerDoes) {
    pf::IServiceControl& scm = Manager();
    const pf::ScHandle manager = scm.OpenManager(pf::kScManagerConnect);
    ASSERT_NE(manager, 0u) << pf::GetLastErrorCode();
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        pf::SetLastErrorCode(0);
        const pf::ScHandle service = scm.OpenService(manager, c.service, c.access);
        bool ok = service != 0;
        std::uint32_t state = 0;
        if (ok) {
            switch (c.op) {
            case Op::Open: break;
            case Op::Query: ok = scm.QueryState(service, &state); break;
            case Op::Start: ok = scm.Start(service); break;
            case Op::Control: ok = scm.Control(service, c.control, &state); break;
            case Op::KeepStartType: ok = scm.ChangeStartType(service, pf::kServiceNoChange); break;
            }
        }
        const std::uint32_t error = ok ? 0 : pf::GetLastErrorCode();
        if (service) scm.CloseHandle(service);
        EXPECT_EQ(error, c.error);
        if (ok && c.state) {
            EXPECT_EQ(state, c.state);
        }
    }
    scm.CloseHandle(manager);
}

}  // namespace
