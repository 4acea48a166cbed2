// Facet05.dll: the "Hard Disk Status" tab. It asks the S.M.A.R.T. server once, at set-up, over
// its named pipe; the page and the report show that snapshot and the fixed-disk volumes.
#include <cstdlib>

#include "common/module_strings.h"
#include "platform/pipe_client.h"
#include "platform/platform.h"
#include "platform/volumes.h"
#include "tabs/disk/disk_module.h"

namespace {

namespace pf = quarro::platform;

// QUARRO_PIPE_ATTEMPTS (1..50) lowers the number of opens tried before "Not Found", for tests
// and troubleshooting without a server; the waits between them are the clock's as always.
int PipeAttempts() {
    const char* value = std::getenv("QUARRO_PIPE_ATTEMPTS");
    if (!value) return disk_tab::kPipeAttempts;
    const int n = std::atoi(value);
    return n >= 1 && n <= disk_tab::kPipeAttempts ? n : disk_tab::kPipeAttempts;
}

disk_tab::DiskSources Sources() {
    return {&pf::Volumes(), &pf::PipeClient(), &pf::Clock(), PipeAttempts(), disk_tab::AdvancedModeSet()};
}

disk_tab::DiskModule theModule(&Sources, [](std::uint32_t id) { return quarro::resources::LoadModuleString(id); });

}  // namespace

QUARRO_TAB_MODULE_EXPORTS(theModule)
