// The simulated service control manager: its table from machine.json and the answers of the
// real manager.
#include "platform/native/sim_service_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/last_error.h"

namespace quarro::platform::sim {
namespace {

constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kStandardUserManagerAccess = 0x2001D;  // connect, enumerate, lock status, read control

using Call = SimServiceControl::Call;

TEST(SimServiceControl, ReadsTheServicesSection) {
    struct Case {
        const char* json;
        std::size_t count;
        std::uint32_t state;
        std::uint32_t startType;
    } const cases[] = {
        {R"({"Watchpost": {"installed": true, "state": "running", "startType": "auto"}})", 1, 4, 2},
        {R"({"Watchpost": {"state": "stopped", "startType": "disabled"}})", 1, 1, 4},
        {R"({"Watchpost": {"state": "startPending", "startType": "demand"}})", 1, 2, 3},
        {R"({"Watchpost": {"state": 3, "startType": 4}})", 1, 3, 4},
        {R"({"Watchpost": {}})", 1, 1, 3},
        {R"({"Watchpost": {"state": "sleeping", "startType": "boot"}})", 1, 1, 3},
        {R"({"Watchpost": {"state": 9, "startType": 0}})", 1, 1, 3},
        {R"({"Watchpost": {"installed": false, "state": "running"}})", 0, 0, 0},
        {R"({"Watchpost": "running"})", 0, 0, 0},
        {R"([])", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        const nlohmann::json section = nlohmann::json::parse(c.json);
        SimServiceControl scm(&section);
        ASSERT_EQ(scm.services.size(), c.count);
        if (c.count == 0) continue;
        const auto& service = scm.services.at(u"Watchpost");
        EXPECT_EQ(service.state, c.state);
        EXPECT_EQ(service.startType, c.startType);
    }
    EXPECT_TRUE(SimServiceControl(nullptr).services.empty());
}

class SimServiceControlCalls : public ::testing::Test {
protected:
    SimServiceControlCalls() : scm_(nullptr) { scm_.services[u"Watchpost"] = {kServiceRunning, kServiceAutoStart}; }

    ScHandle Service(std::uint32_t access) {
        manager_ = scm_.OpenManager(kScManagerConnect);
        EXPECT_NE(manager_, 0u);
        const ScHandle service = scm_.OpenService(manager_, u"Watchpost", access);
        EXPECT_NE(service, 0u);
        return service;
    }

    SimServiceControl scm_;
    ScHandle manager_ = 0;
};

TEST_F(SimServiceControlCalls, OpenServiceFailsAsTheManagerDoes) {
    const ScHandle manager = scm_.OpenManager(kScManagerConnect);
    ASSERT_NE(manager, 0u);
    struct Case {
        ScHandle manager;
        const char16_t* name;
        std::uint32_t error;  // 0: opens
    } const cases[] = {
        {manager, u"Watchpost", 0},
        {manager, u"WATCHPOST", 0},  // names compare without case
        {manager, u"Watchpost2", 1060},
        {manager, u"Watch", 1060},
        {manager, u"", 123},
        {manager, nullptr, 123},
        {manager + 1, u"Watchpost", 6},
        {0, u"Watchpost", 6},
    };
    for (const Case& c : cases) {
        SetLastErrorCode(0);
        const ScHandle service = scm_.OpenService(c.manager, c.name, kServiceQueryStatus);
        EXPECT_EQ(service != 0, c.error == 0) << (c.name ? "named" : "null") << " error " << c.error;
        if (service) {
            scm_.CloseHandle(service);
        } else {
            EXPECT_EQ(GetLastErrorCode(), c.error);
        }
    }
    // A service handle is not a manager handle.
    const ScHandle service = scm_.OpenService(manager, u"Watchpost", kServiceQueryStatus);
    EXPECT_EQ(scm_.OpenService(service, u"Watchpost", kServiceQueryStatus), 0u);
    EXPECT_EQ(GetLastErrorCode(), 6u);
    scm_.CloseHandle(service);
    scm_.CloseHandle(manager);
    EXPECT_EQ(scm_.OpenHandles(), 0u);
}

TEST_F(SimServiceControlCalls, EachCallNeedsItsAccessRight) {
    struct Case {
        const char* call;
        std::uint32_t needed;
    } const cases[] = {
        {"ChangeStartType", kServiceChangeConfig},
        {"QueryState", kServiceQueryStatus},
        {"Start", kServiceStart},
        {"Control", kServiceStop},
    };
    const auto run = [this](const std::string& call, ScHandle service) {
        std::uint32_t state = 0;
        if (call == "ChangeStartType") return scm_.ChangeStartType(service, kServiceDemandStart);
        if (call == "QueryState") return scm_.QueryState(service, &state);
        if (call == "Start") return scm_.Start(service);
        return scm_.Control(service, kServiceControlStop, &state);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        scm_.services[u"Watchpost"] = {kServiceStopped, kServiceAutoStart};
        if (std::string(c.call) == "Control") scm_.services[u"Watchpost"].state = kServiceRunning;
        const ScHandle without = Service(0xF01FF & ~c.needed);
        EXPECT_FALSE(run(c.call, without));
        EXPECT_EQ(GetLastErrorCode(), 5u);
        const ScHandle with = Service(c.needed);
        EXPECT_TRUE(run(c.call, with));
        scm_.CloseHandle(without);
        scm_.CloseHandle(with);
    }
    // Generic rights map onto the specific ones: reading queries but does not start.
    scm_.services[u"Watchpost"] = {kServiceStopped, kServiceAutoStart};
    const ScHandle reader = Service(kGenericRead);
    std::uint32_t state = 0;
    EXPECT_TRUE(scm_.QueryState(reader, &state));
    EXPECT_EQ(state, kServiceStopped);
    EXPECT_FALSE(scm_.Start(reader));
    EXPECT_EQ(GetLastErrorCode(), 5u);
    // A manager handle is not a service handle.
    EXPECT_FALSE(scm_.QueryState(manager_, &state));
    EXPECT_EQ(GetLastErrorCode(), 6u);
}

TEST_F(SimServiceControlCalls, StartAndStopFollowTheServiceState) {
    struct Case {
        const char* what;
        std::uint32_t state;
        std::uint32_t startType;
        bool start;  // else a stop control
        std::uint32_t error;
        std::uint32_t after;
    } const cases[] = {
        {"start a stopped service", kServiceStopped, kServiceDemandStart, true, 0, kServiceRunning},
        {"start a disabled service", kServiceStopped, kServiceDisabled, true, 1058, kServiceStopped},
        {"start a running service", kServiceRunning, kServiceAutoStart, true, 1056, kServiceRunning},
        {"start a starting service", kServiceStartPending, kServiceAutoStart, true, 1056, kServiceStartPending},
        {"stop a running service", kServiceRunning, kServiceAutoStart, false, 0, kServiceStopped},
        {"stop a disabled running service", kServiceRunning, kServiceDisabled, false, 0, kServiceStopped},
        {"stop a stopped service", kServiceStopped, kServiceAutoStart, false, 1062, kServiceStopped},
        {"stop a stopping service", kServiceStopPending, kServiceAutoStart, false, 1061, kServiceStopPending},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scm_.services[u"Watchpost"] = {c.state, c.startType};
        const ScHandle service = Service(kServiceStart | kServiceStop);
        std::uint32_t reported = 0;
        const bool ok = c.start ? scm_.Start(service) : scm_.Control(service, kServiceControlStop, &reported);
        EXPECT_EQ(ok, c.error == 0);
        if (ok && !c.start) {
            EXPECT_EQ(reported, kServiceStopped);
        }
        if (!ok) {
            EXPECT_EQ(GetLastErrorCode(), c.error);
        }
        EXPECT_EQ(scm_.services[u"Watchpost"].state, c.after);
        scm_.CloseHandle(service);
        scm_.CloseHandle(manager_);
    }
    EXPECT_EQ(scm_.OpenHandles(), 0u);
}

TEST_F(SimServiceControlCalls, OtherControlsAndStartTypes) {
    const ScHandle service = Service(0xF01FF);
    struct Case {
        std::uint32_t control;
        std::uint32_t error;
    } const cases[] = {{4, 0}, {128, 0}, {144, 0}, {255, 0}, {2, 1052}, {3, 1052}, {5, 87}, {127, 87}, {256, 87}};
    for (const Case& c : cases) {
        std::uint32_t state = 0;
        EXPECT_EQ(scm_.Control(service, c.control, &state), c.error == 0) << c.control;
        if (c.error) {
            EXPECT_EQ(GetLastErrorCode(), c.error) << c.control;
        } else {
            EXPECT_EQ(state, kServiceRunning) << c.control;
        }
    }
    struct TypeCase {
        std::uint32_t startType;
        bool ok;
        std::uint32_t after;
    } const types[] = {{kServiceDisabled, true, kServiceDisabled}, {kServiceNoChange, true, kServiceDisabled},
                       {kServiceDemandStart, true, kServiceDemandStart}, {0, false, kServiceDemandStart},
                       {1, false, kServiceDemandStart}, {5, false, kServiceDemandStart}};
    for (const TypeCase& t : types) {
        EXPECT_EQ(scm_.ChangeStartType(service, t.startType), t.ok) << t.startType;
        EXPECT_EQ(scm_.services[u"Watchpost"].startType, t.after) << t.startType;
    }
}

TEST_F(SimServiceControlCalls, StandardUserCannotOpenTheManagerForEverything) {
    scm_.grantedManagerAccess = kStandardUserManagerAccess;
    EXPECT_EQ(scm_.OpenManager(kScManagerAllAccess), 0u);
    EXPECT_EQ(GetLastErrorCode(), 5u);
    const ScHandle manager = scm_.OpenManager(kScManagerConnect);
    EXPECT_NE(manager, 0u);
    scm_.CloseHandle(manager);
    EXPECT_EQ(scm_.OpenHandles(), 0u);
}

TEST_F(SimServiceControlCalls, RecordsCallsAndHandles) {
    const ScHandle manager = scm_.OpenManager(kScManagerAllAccess);
    const ScHandle service = scm_.OpenService(manager, u"Watchpost", 0x16);
    std::uint32_t state = 0;
    scm_.ChangeStartType(service, kServiceAutoStart);
    scm_.QueryState(service, &state);
    scm_.Start(service);
    scm_.Control(service, kServiceControlStop, &state);
    EXPECT_EQ(scm_.OpenHandles(), 2u);
    scm_.CloseHandle(service);
    scm_.CloseHandle(manager);
    scm_.CloseHandle(manager);  // harmless the second time
    scm_.CloseHandle(0);
    EXPECT_EQ(scm_.OpenHandles(), 0u);
    const std::vector<std::string> expected = {
        "OpenManager(0xF003F)", "OpenService(Watchpost,0x16)", "ChangeStartType(Watchpost,2)", "QueryState(Watchpost)",
        "Start(Watchpost)",     "Control(Watchpost,1)",        "Close(Watchpost)",             "Close(manager)",
        "Close(?)",             "Close(?)",
    };
    EXPECT_EQ(scm_.calls, expected);
}

TEST_F(SimServiceControlCalls, FaultSwitchesFailTheNamedCall) {
    // Open the service, then change, query, start and stop it, with one call switched to fail.
    struct Case {
        Call failing;
        bool results[5];  // OpenService, ChangeStartType, QueryState, Start, Control
    } const cases[] = {
        {Call::OpenService, {false, false, false, false, false}},  // no handle: everything after fails
        {Call::ChangeStartType, {true, false, true, true, true}},
        {Call::QueryState, {true, true, false, true, true}},
        {Call::Start, {true, true, true, false, false}},  // still stopped: nothing to stop
        {Call::Control, {true, true, true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.failing));
        scm_.services[u"Watchpost"] = {kServiceStopped, kServiceDemandStart};
        scm_.failures = {{c.failing, 1234}};
        std::uint32_t state = 0;
        const ScHandle manager = scm_.OpenManager(kScManagerAllAccess);
        ASSERT_NE(manager, 0u);
        const ScHandle service = scm_.OpenService(manager, u"Watchpost", 0xF01FF);
        if (c.failing == Call::OpenService) {
            EXPECT_EQ(GetLastErrorCode(), 1234u);
        }
        const bool results[] = {
            service != 0,
            scm_.ChangeStartType(service, kServiceAutoStart),
            scm_.QueryState(service, &state),
            scm_.Start(service),
            scm_.Control(service, kServiceControlStop, &state),
        };
        for (int i = 0; i < 5; ++i) EXPECT_EQ(results[i], c.results[i]) << i;
        scm_.CloseHandle(service);
        scm_.CloseHandle(manager);
    }
    scm_.failures = {{Call::OpenManager, 1234}};
    EXPECT_EQ(scm_.OpenManager(kScManagerConnect), 0u);
    EXPECT_EQ(GetLastErrorCode(), 1234u);
    EXPECT_EQ(scm_.OpenHandles(), 0u);
}

}  // namespace
}  // namespace quarro::platform::sim
