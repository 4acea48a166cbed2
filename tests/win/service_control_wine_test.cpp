// The real service-control concern under Wine's service control manager, and the viewer's
// helpers on a machine where Watchpost is not installed.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/last_error.h"
#include "platform/platform.h"
#include "viewer/watch_service.h"

// Should <windows.h> have come in (it maps OpenService to OpenServiceW), the interface's member
// is meant here.
#undef OpenService

namespace pf = quarro::platform;

namespace {

TEST(ServiceControlOnWine, MissingServiceIsReportedAsSuch) {
    pf::IServiceControl& scm = pf::ServiceControl();
    const pf::ScHandle manager = scm.OpenManager(pf::kScManagerConnect);
    ASSERT_NE(manager, 0u) << pf::GetLastErrorCode();
    EXPECT_EQ(scm.OpenService(manager, u"QuarroNoSuchService", pf::kServiceQueryStatus), 0u);
    EXPECT_EQ(pf::GetLastErrorCode(), 1060u);
    scm.CloseHandle(manager);
}

TEST(ServiceControlOnWine, WatchServiceHelpersFailWithoutTheService) {
    std::uint32_t state = 0xDEAD;
    EXPECT_EQ(QueryWatchServiceState(&state), 0);
    EXPECT_EQ(state, 0u);
    EXPECT_EQ(StartWatchService(), 0);
    EXPECT_EQ(StopWatchService(), 0);
}

}  // namespace
