// Toolbench.exe on Windows: no window, no arguments, exit code 0 whatever happens. The audit test,
// the power facts and the driver session are the real ones; the run is the portable core's.
#include <windows.h>

#include "common/audit.h"
#include "common/win_version.h"
#include "utility/toolbench_core.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::unique_ptr<quarro::toolbench::IPowerFacts> power = quarro::toolbench::MakePlatformPowerFacts();
    quarro::toolbench::Environment environment;
    environment.inAudit = [] { return CAudit(CWinVersion().OsType).IsAudit(CAudit::kSysprepFlag) != 0; };
    environment.openDriver = &quarro::toolbench::OpenDriverSession;
    environment.power = power.get();
    quarro::toolbench::Run(environment);
    return 0;
}
