// Which implementation of each platform concern runs, decided once at process start:
//  - Windows build without QUARRO_MACHINE: everything real.
//  - Windows build with QUARRO_MACHINE=<snapshot folder>: hardware and firmware concerns come
//    from the snapshot; the operating system's own services (registry, OS identity, files,
//    windows, services) stay real.
//  - Native build: everything comes from the snapshot (machines/default when nothing is named).
// Tests replace single concerns with ScopedOverride.
#pragma once

#include <memory>
#include <string>

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
#include "platform/system_info.h"

namespace quarro::platform {

namespace sim {
class MachineSnapshot;
}

struct Services {
    IRegistry* registry = nullptr;
    IOsIdentity* os = nullptr;
    ISecurity* security = nullptr;
    IPrompt* prompt = nullptr;
    INamedMutexes* mutexes = nullptr;
    IShellFolders* folders = nullptr;
    IModules* modules = nullptr;
    ICodePage* codePage = nullptr;
    IClock* clock = nullptr;
    IDeviceInterfaces* devices = nullptr;
    IFiles* files = nullptr;
    IServiceControl* services = nullptr;
    IDeviceInventory* inventory = nullptr;
    IHotfixes* hotfixes = nullptr;
    ISystemInfo* systemInfo = nullptr;
};

// The services of this process (built on first use).
const Services& Current();

// The machine snapshot in use, or null when the process runs on the real machine only.
const sim::MachineSnapshot* Machine();

// Why the snapshot could not be loaded (empty when it loaded or none was asked for).
const std::string& MachineLoadError();

IRegistry& Registry();
IOsIdentity& Os();
ISecurity& Security();
IPrompt& Prompt();
INamedMutexes& Mutexes();
IShellFolders& Folders();
IModules& Modules();
ICodePage& CodePage();
IClock& Clock();
IDeviceInterfaces& Devices();
IFiles& Files();
IServiceControl& ServiceControl();
IDeviceInventory& DeviceInventory();
IHotfixes& Hotfixes();
ISystemInfo& SystemInformation();

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
