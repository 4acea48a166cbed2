// The platform services of this process: one implementation per concern (the list is in
// platform/concerns.h), chosen once at process start:
//  - Windows build without QUARRO_MACHINE: everything real.
//  - Windows build with QUARRO_MACHINE=<snapshot folder>: the hardware concerns come from the
//    snapshot where it describes them; the operating system's own services (registry, OS
//    identity, files, windows, services) stay real.
//  - Native build: everything comes from the snapshot (machines/default when nothing is named),
//    with stand-ins for the operating system's services.
// Tests replace single concerns with ScopedOverride.
#pragma once

#include <string>

#include "platform/concerns.h"

// The interfaces of the first concerns, which their callers have always found through this
// header. A later concern's callers include its own header.
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/device_inventory.h"
#include "platform/device_io.h"
#include "platform/files.h"
#include "platform/hotfixes.h"
#include "platform/modules.h"
#include "platform/mutex.h"
#include "platform/os_identity.h"
#include "platform/prompt.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/service_control.h"
#include "platform/shell_folders.h"
#include "platform/display.h"
#include "platform/processes.h"
#include "platform/shell_links.h"

namespace quarro::platform {

// One pointer per concern; null in a replacement set means "keep the one in use".
struct Services {
#define QUARRO_SERVICES_MEMBER(Interface, member, ...) Interface* member = nullptr;
    QUARRO_PLATFORM_CONCERNS(QUARRO_SERVICES_MEMBER, QUARRO_SERVICES_MEMBER)
#undef QUARRO_SERVICES_MEMBER
};

// The services of this process (built on first use).
const Services& Current();

// The machine snapshot in use, or null when the process runs on the real machine only.
const sim::MachineSnapshot* Machine();

// Why the snapshot could not be loaded (empty when it loaded or none was asked for).
const std::string& MachineLoadError();

// The accessors: Registry(), Os(), ..., one per concern.
#define QUARRO_DECLARE_ACCESSOR(Interface, member, Accessor, ...) Interface& Accessor();
QUARRO_PLATFORM_CONCERNS(QUARRO_DECLARE_ACCESSOR, QUARRO_DECLARE_ACCESSOR)
#undef QUARRO_DECLARE_ACCESSOR

// Replaces the concerns that `replacement` names (non-null members) for the lifetime of the
// object; restores the previous set afterwards.
class ScopedOverride {
public:
    explicit ScopedOverride(const Services& replacement);
    ~ScopedOverride();
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;

private:
    Services previous_;
};

}  // namespace quarro::platform
