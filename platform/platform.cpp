#include "platform/platform.h"

#include <cstdlib>
#include <mutex>

#include "platform/recording_prompt.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_device_inventory.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_hotfixes.h"
#include "platform/sim/sim_system_info.h"
#include "platform/sim/sim_os.h"
#include "platform/utf8.h"

#ifdef _WIN32
#include "platform/win32/clock_win32.h"
#include "platform/win32/code_page_win32.h"
#include "platform/win32/device_interfaces_win32.h"
#include "platform/win32/device_inventory_win32.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/hotfixes_win32.h"
#include "platform/win32/system_info_win32.h"
#include "platform/win32/service_control_win32.h"
#include "platform/win32/win32_os.h"
#else
#include "platform/sim/code_page_1252.h"
#include "platform/sim/files_posix.h"
#include "platform/sim/sim_service_control.h"
#include "platform/sim/memory_registry.h"
#include "platform/sim/reg_file.h"
#endif

namespace quarro::platform {

namespace {

std::string MachineFolderFromEnvironment() {
#ifdef _WIN32
    const wchar_t* value = _wgetenv(L"QUARRO_MACHINE");
    if (!value || !*value) return {};
    return Utf16ToUtf8(reinterpret_cast<const char16_t*>(value));
#else
    const char* value = std::getenv("QUARRO_MACHINE");
    if (value && *value) return value;
    return QUARRO_DEFAULT_MACHINE;
#endif
}

std::string PromptLogFromEnvironment() {
#ifdef _WIN32
    const wchar_t* value = _wgetenv(L"QUARRO_PROMPT_LOG");
    return value ? Utf16ToUtf8(reinterpret_cast<const char16_t*>(value)) : std::string();
#else
    const char* value = std::getenv("QUARRO_PROMPT_LOG");
    return value ? value : "";
#endif
}

// Everything the process owns for its platform services; built once, never destroyed (modules
// may still call into it while the process ends).
struct Holder {
    std::unique_ptr<sim::MachineSnapshot> machine;
    std::string machineError;
    std::unique_ptr<IRegistry> registry;
    std::unique_ptr<IOsIdentity> os;
    std::unique_ptr<ISecurity> security;
    std::unique_ptr<IPrompt> prompt;
    std::unique_ptr<INamedMutexes> mutexes;
    std::unique_ptr<IShellFolders> folders;
    std::unique_ptr<IModules> modules;
    std::unique_ptr<ICodePage> codePage;
    std::unique_ptr<IClock> clock;
    std::unique_ptr<IDeviceInterfaces> devices;
    std::unique_ptr<IFiles> files;
    std::unique_ptr<IServiceControl> services;
    std::unique_ptr<IDeviceInventory> inventory;
    std::unique_ptr<IHotfixes> hotfixes;
    std::unique_ptr<ISystemInfo> systemInfo;
    Services services_;
};

Holder* Build() {
    auto* holder = new Holder();
    const std::string folder = MachineFolderFromEnvironment();
    if (!folder.empty()) holder->machine = sim::MachineSnapshot::Load(folder, &holder->machineError);
#ifdef _WIN32
    holder->registry = std::make_unique<win32::Win32Registry>();
    holder->os = std::make_unique<win32::Win32OsIdentity>();
    holder->security = std::make_unique<win32::Win32Security>();
    holder->prompt = std::make_unique<win32::Win32Prompt>();
    holder->mutexes = std::make_unique<win32::Win32NamedMutexes>();
    holder->folders = std::make_unique<win32::Win32ShellFolders>();
    holder->modules = std::make_unique<win32::Win32Modules>();
    holder->codePage = std::make_unique<win32::CodePageWin32>();
    holder->clock = std::make_unique<win32::Win32Clock>();
    // Hardware concerns: the snapshot's where it describes them, the real ones otherwise.
    if (holder->machine) holder->devices = sim::MakeSimDeviceInterfaces(*holder->machine);
    if (!holder->devices) holder->devices = std::make_unique<win32::Win32DeviceInterfaces>();
    holder->files = std::make_unique<win32::Win32Files>();
    holder->services = std::make_unique<win32::Win32ServiceControl>();
    if (holder->machine) holder->inventory = sim::MakeSimDeviceInventory(*holder->machine);
    if (!holder->inventory) holder->inventory = std::make_unique<win32::Win32DeviceInventory>();
    if (holder->machine) holder->hotfixes = sim::MakeSimHotfixes(*holder->machine);
    if (!holder->hotfixes) holder->hotfixes = std::make_unique<win32::Win32Hotfixes>();
    holder->systemInfo = std::make_unique<win32::Win32SystemInfo>();
#else
    const sim::MachineSnapshot* machine = holder->machine.get();
    const nlohmann::json* os = machine ? machine->Section("os") : nullptr;
    auto registry = std::make_unique<sim::MemoryRegistry>();
    if (machine) {
        const std::string regFile = machine->FilePath("registry.reg");
        std::string error;
        if (!regFile.empty() && !sim::LoadRegFileFromPath(regFile, *registry, &error)) {
            holder->machineError = regFile + ": " + error;
        }
    }
    holder->registry = std::move(registry);
    holder->os = std::make_unique<sim::SimOsIdentity>(os);
    holder->security = std::make_unique<sim::SimSecurity>(os);
    holder->prompt = std::make_unique<sim::SimPrompt>();
    holder->mutexes = std::make_unique<sim::SimNamedMutexes>();
    holder->folders = std::make_unique<sim::SimShellFolders>(machine ? machine->Section("folders") : nullptr);
    holder->modules = std::make_unique<sim::SimModules>();
    holder->codePage = std::make_unique<sim::CodePage1252>();
    holder->clock = std::make_unique<sim::SimClock>();
    if (machine) holder->devices = sim::MakeSimDeviceInterfaces(*machine);
    if (!holder->devices) holder->devices = sim::MakeAbsentDeviceInterfaces();
    holder->files = std::make_unique<sim::PosixFiles>();
    holder->services = std::make_unique<sim::SimServiceControl>(machine ? machine->Section("services") : nullptr);
    if (machine) holder->inventory = sim::MakeSimDeviceInventory(*machine);
    if (!holder->inventory) holder->inventory = sim::MakeEmptyDeviceInventory();
    if (machine) holder->hotfixes = sim::MakeSimHotfixes(*machine);
    if (!holder->hotfixes) holder->hotfixes = sim::MakeEmptyHotfixes();
    holder->systemInfo = sim::MakeSimSystemInfo(machine);
#endif
    if (const std::string log = PromptLogFromEnvironment(); !log.empty()) {
        holder->prompt = std::make_unique<RecordingPrompt>(log);
    }
    Services& s = holder->services_;
    s.registry = holder->registry.get();
    s.os = holder->os.get();
    s.security = holder->security.get();
    s.prompt = holder->prompt.get();
    s.mutexes = holder->mutexes.get();
    s.folders = holder->folders.get();
    s.modules = holder->modules.get();
    s.codePage = holder->codePage.get();
    s.clock = holder->clock.get();
    s.devices = holder->devices.get();
    s.files = holder->files.get();
    s.services = holder->services.get();
    s.inventory = holder->inventory.get();
    s.hotfixes = holder->hotfixes.get();
    s.systemInfo = holder->systemInfo.get();
    return holder;
}

Holder& TheHolder() {
    static Holder* holder = Build();
    return *holder;
}

// The set in use: the built one, or a test's replacement.
Services& Active() {
    static Services active = TheHolder().services_;
    return active;
}

}  // namespace

const Services& Current() { return Active(); }

const sim::MachineSnapshot* Machine() { return TheHolder().machine.get(); }

const std::string& MachineLoadError() { return TheHolder().machineError; }

IRegistry& Registry() { return *Active().registry; }
IOsIdentity& Os() { return *Active().os; }
ISecurity& Security() { return *Active().security; }
IPrompt& Prompt() { return *Active().prompt; }
INamedMutexes& Mutexes() { return *Active().mutexes; }
IShellFolders& Folders() { return *Active().folders; }
IModules& Modules() { return *Active().modules; }
ICodePage& CodePage() { return *Active().codePage; }
IClock& Clock() { return *Active().clock; }
IDeviceInterfaces& Devices() { return *Active().devices; }
IFiles& Files() { return *Active().files; }
IServiceControl& ServiceControl() { return *Active().services; }
IDeviceInventory& DeviceInventory() { return *Active().inventory; }
IHotfixes& Hotfixes() { return *Active().hotfixes; }
ISystemInfo& SystemInformation() { return *Active().systemInfo; }

ScopedOverride::ScopedOverride(const Services& replacement) : previous_(Active()) {
    Services& active = Active();
    if (replacement.registry) active.registry = replacement.registry;
    if (replacement.os) active.os = replacement.os;
    if (replacement.security) active.security = replacement.security;
    if (replacement.prompt) active.prompt = replacement.prompt;
    if (replacement.mutexes) active.mutexes = replacement.mutexes;
    if (replacement.folders) active.folders = replacement.folders;
    if (replacement.modules) active.modules = replacement.modules;
    if (replacement.codePage) active.codePage = replacement.codePage;
    if (replacement.clock) active.clock = replacement.clock;
    if (replacement.devices) active.devices = replacement.devices;
    if (replacement.files) active.files = replacement.files;
    if (replacement.services) active.services = replacement.services;
    if (replacement.inventory) active.inventory = replacement.inventory;
    if (replacement.hotfixes) active.hotfixes = replacement.hotfixes;
    if (replacement.systemInfo) active.systemInfo = replacement.systemInfo;
}

ScopedOverride::~ScopedOverride() { Active() = previous_; }

}  // namespace quarro::platform
