// The viewer's service helpers against the simulated service control manager.
#include "viewer/watch_service.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/native/sim_clock.h"
#include "platform/native/sim_service_control.h"

namespace {

namespace pf = quarro::platform;
using pf::sim::SimServiceControl;
using Call = SimServiceControl::Call;
using Calls = std::vector<std::string>;

constexpr std::uint32_t kNotInstalled = 0;  // as `state` below: no Watchpost in the table

class WatchService : public ::testing::Test {
protected:
    WatchService() : scm_(nullptr), override_(Replacement()) {}

    void Install(std::uint32_t state, std::uint32_t startType) {
        scm_.services.clear();
        if (state != kNotInstalled) scm_.services[u"Watchpost"] = {state, startType};
    }
    const SimServiceControl::Service& Watchpost() { return scm_.services.at(u"Watchpost"); }

    SimServiceControl scm_;
    pf::sim::FakeClock clock_;

private:
    pf::Services Replacement() {
        pf::Services services;
        services.services = &scm_;
        services.clock = &clock_;
        return services;
    }
    pf::ScopedOverride override_;
};

TEST_F(WatchService, QueryReportsTheCurrentState) {
    struct Case {
        std::uint32_t installed;
        int result;
        std::uint32_t state;
    } const cases[] = {
        {kNotInstalled, 0, 0},
        {pf::kServiceRunning, 1, pf::kServiceRunning},
        {pf::kServiceStopped, 1, pf::kServiceStopped},
        {pf::kServiceStartPending, 1, pf::kServiceStartPending},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installed);
        Install(c.installed, pf::kServiceAutoStart);
        scm_.calls.clear();
        std::uint32_t state = 0xDEAD;
        EXPECT_EQ(QueryWatchServiceState(&state), c.result);
        EXPECT_EQ(state, c.state);
        EXPECT_EQ(scm_.OpenHandles(), 0u);
        EXPECT_EQ(scm_.calls.front(), "OpenManager(0x1)");
        EXPECT_EQ(scm_.calls[1], "OpenService(Watchpost,0x4)");
    }
    EXPECT_EQ(scm_.calls, (Calls{"OpenManager(0x1)", "OpenService(Watchpost,0x4)", "QueryState(Watchpost)",
                                 "Close(Watchpost)", "Close(manager)"}));
    EXPECT_TRUE(clock_.sleeps.empty());
}

TEST_F(WatchService, QueryNeedsNoAdministrator) {
    Install(pf::kServiceRunning, pf::kServiceAutoStart);
    scm_.grantedManagerAccess = 0x2001D;          // what a standard user may have of the manager
    scm_.grantedServiceAccess = 0x2008D;          // and of the service: reading, interrogating
    std::uint32_t state = 0;
    EXPECT_EQ(QueryWatchServiceState(&state), 1);
    EXPECT_EQ(state, pf::kServiceRunning);
    // Changing the service needs the manager's full access, which such a user does not get.
    EXPECT_EQ(StartWatchService(), 0);
    EXPECT_EQ(StopWatchService(), 0);
    EXPECT_EQ(Watchpost().state, pf::kServiceRunning);
    EXPECT_EQ(Watchpost().startType, pf::kServiceAutoStart);
    EXPECT_EQ(scm_.OpenHandles(), 0u);
}

TEST_F(WatchService, StartSetsAutomaticStartAndStartsWhenNeeded) {
    struct Case {
        const char* what;
        std::uint32_t state;
        std::uint32_t startType;
        int result;
        std::uint32_t stateAfter;
        std::uint32_t startTypeAfter;
        bool startCalled;
    } const cases[] = {
        {"stopped, on demand", pf::kServiceStopped, pf::kServiceDemandStart, 1, pf::kServiceRunning,
         pf::kServiceAutoStart, true},
        {"stopped, disabled", pf::kServiceStopped, pf::kServiceDisabled, 1, pf::kServiceRunning, pf::kServiceAutoStart,
         true},
        {"running, disabled", pf::kServiceRunning, pf::kServiceDisabled, 1, pf::kServiceRunning, pf::kServiceAutoStart,
         false},
        {"still starting", pf::kServiceStartPending, pf::kServiceAutoStart, 0, pf::kServiceStartPending,
         pf::kServiceAutoStart, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Install(c.state, c.startType);
        scm_.calls.clear();
        EXPECT_EQ(StartWatchService(), c.result);
        EXPECT_EQ(Watchpost().state, c.stateAfter);
        EXPECT_EQ(Watchpost().startType, c.startTypeAfter);
        Calls expected = {"OpenManager(0xF003F)", "OpenService(Watchpost,0x16)", "ChangeStartType(Watchpost,2)",
                          "QueryState(Watchpost)"};
        if (c.startCalled) expected.push_back("Start(Watchpost)");
        expected.insert(expected.end(), {"Close(Watchpost)", "Close(manager)"});
        EXPECT_EQ(scm_.calls, expected);
        EXPECT_EQ(scm_.OpenHandles(), 0u);
    }
    EXPECT_TRUE(clock_.sleeps.empty());
}

TEST_F(WatchService, StopDisablesAndStopsWithOnePause) {
    struct Case {
        const char* what;
        std::uint32_t state;
        int result;
        std::uint32_t stateAfter;
        bool controlSent;
        std::vector<std::uint32_t> sleeps;
    } const cases[] = {
        {"running", pf::kServiceRunning, 1, pf::kServiceStopped, true, {500}},
        {"stopped", pf::kServiceStopped, 1, pf::kServiceStopped, false, {}},
        // The manager refuses a stop control while the service is still stopping.
        {"stopping", pf::kServiceStopPending, 0, pf::kServiceStopPending, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Install(c.state, pf::kServiceAutoStart);
        scm_.calls.clear();
        clock_.sleeps.clear();
        EXPECT_EQ(StopWatchService(), c.result);
        EXPECT_EQ(Watchpost().state, c.stateAfter);
        EXPECT_EQ(Watchpost().startType, pf::kServiceDisabled);
        EXPECT_EQ(clock_.sleeps, c.sleeps);
        Calls expected = {"OpenManager(0xF003F)", "OpenService(Watchpost,0x26)", "ChangeStartType(Watchpost,4)",
                          "QueryState(Watchpost)"};
        if (c.controlSent) expected.push_back("Control(Watchpost,1)");
        expected.insert(expected.end(), {"Close(Watchpost)", "Close(manager)"});
        EXPECT_EQ(scm_.calls, expected);
        EXPECT_EQ(scm_.OpenHandles(), 0u);
    }
}

TEST_F(WatchService, NotInstalledFailsEverywhere) {
    Install(kNotInstalled, 0);
    EXPECT_EQ(StartWatchService(), 0);
    EXPECT_EQ(StopWatchService(), 0);
    EXPECT_EQ(scm_.calls, (Calls{"OpenManager(0xF003F)", "OpenService(Watchpost,0x16)", "Close(manager)",
                                 "OpenManager(0xF003F)", "OpenService(Watchpost,0x26)", "Close(manager)"}));
    EXPECT_EQ(scm_.OpenHandles(), 0u);
}

TEST_F(WatchService, EveryFailingStepFailsTheHelperAndClosesItsHandles) {
    struct Helper {
        const char* name;
        int (*run)();
    } const helpers[] = {
        {"query", [] {
             std::uint32_t state = 0;
             const int result = QueryWatchServiceState(&state);
             return result == 0 && state != 0 ? -1 : result;  // 0 must be written on failure
         }},
        {"start", StartWatchService},
        {"stop", StopWatchService},
    };
    const Call steps[] = {Call::OpenManager, Call::OpenService, Call::ChangeStartType, Call::QueryState, Call::Start,
                          Call::Control};
    for (const Helper& helper : helpers) {
        for (Call step : steps) {
            SCOPED_TRACE(std::string(helper.name) + " failing at step " + std::to_string(static_cast<int>(step)));
            // Stopped for the start, running for the stop, so that every step is reached.
            Install(std::string(helper.name) == "start" ? pf::kServiceStopped : pf::kServiceRunning,
                    pf::kServiceDemandStart);
            scm_.calls.clear();
            scm_.failures = {{step, 1726}};
            clock_.sleeps.clear();
            const int result = helper.run();
            // A step the helper does not take cannot fail it.
            static const char* const kPrefixes[] = {"OpenManager(", "OpenService(", "ChangeStartType(",
                                                    "QueryState(",  "Start(",       "Control("};
            const std::string prefix = kPrefixes[static_cast<int>(step)];
            bool taken = false;
            for (const std::string& call : scm_.calls) taken = taken || call.rfind(prefix, 0) == 0;
            EXPECT_EQ(result, taken ? 0 : 1);
            EXPECT_EQ(scm_.OpenHandles(), 0u);
            if (taken) {
                EXPECT_TRUE(clock_.sleeps.empty());
                // The failing step is the last one; only closing follows it.
                std::size_t firstClose = 0;
                while (firstClose < scm_.calls.size() && scm_.calls[firstClose].rfind("Close(", 0) != 0) ++firstClose;
                ASSERT_GT(firstClose, 0u);
                EXPECT_EQ(scm_.calls[firstClose - 1].rfind(prefix, 0), 0u) << scm_.calls[firstClose - 1];
                for (std::size_t i = firstClose; i < scm_.calls.size(); ++i) {
                    EXPECT_EQ(scm_.calls[i].rfind("Close(", 0), 0u) << scm_.calls[i];
                }
            }
        }
    }
    scm_.failures.clear();
}

}  // namespace
