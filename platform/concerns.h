// The concerns of the platform seam, one line each, and the factories their implementations
// provide. From this list platform.h and platform.cpp make the Services set, the accessors
// (platform::Registry(), ...), ScopedOverride, the holder that owns the implementations and the
// choice of implementation at process start.
//
// A line names the interface, its member in Services, its accessor and its factories:
//
//   OS(Interface, member, Accessor, Win32Factory, StandInFactory)
//       A service of the operating system. Windows: always the real one (a replayed snapshot
//       describes a notebook, not the Windows it runs on). Native build: the stand-in.
//
//   HARDWARE(Interface, member, Accessor, Win32Factory, SnapshotFactory, AbsentFactory)
//       A part of the machine. The snapshot's model when a snapshot is loaded and describes that
//       part; otherwise the real one on Windows and, natively, a machine without it.
//
// The factories are defined beside their implementations (platform/win32, platform/sim,
// platform/native), each file including this header so that its definition meets the
// declaration below:
//
//   std::shared_ptr<Interface> win32::Win32Factory();
//   std::shared_ptr<Interface> sim::SnapshotFactory(const sim::MachineSnapshot& machine);
//       null when the snapshot does not describe the part
//   std::shared_ptr<Interface> sim::AbsentFactory();
//   std::shared_ptr<Interface> sim::StandInFactory(const sim::MachineSnapshot* machine, std::string* loadError);
//       `machine` is null when no snapshot could be loaded. A stand-in that cannot use its part
//       of the snapshot still serves (empty) and says why in *loadError.
//
// Factories hand out shared_ptr because it can be held and destroyed where only the interface's
// name is known: the wiring never needs a concern's definition, so a new concern is its line here.
//
// Order: Services has its members in this order, and callers name them in designated
// initialisers ({.registry = ..., .clock = ...}), which must follow it. New lines go at the end.
#pragma once

#include <memory>
#include <string>

#define QUARRO_PLATFORM_CONCERNS(OS, HARDWARE) \
    OS(IRegistry, registry, Registry, MakeWin32Registry, MakeSimRegistry) \
    OS(IOsIdentity, os, Os, MakeWin32OsIdentity, MakeSimOsIdentity) \
    OS(ISecurity, security, Security, MakeWin32Security, MakeSimSecurity) \
    OS(IPrompt, prompt, Prompt, MakeWin32Prompt, MakeSimPrompt) \
    OS(INamedMutexes, mutexes, Mutexes, MakeWin32NamedMutexes, MakeSimNamedMutexes) \
    OS(IShellFolders, folders, Folders, MakeWin32ShellFolders, MakeSimShellFolders) \
    OS(IModules, modules, Modules, MakeWin32Modules, MakeSimModules) \
    OS(ICodePage, codePage, CodePage, MakeWin32CodePage, MakeSimCodePage) \
    OS(IClock, clock, Clock, MakeWin32Clock, MakeSimClock) \
    HARDWARE(IDeviceInterfaces, devices, Devices, MakeWin32DeviceInterfaces, MakeSimDeviceInterfaces, MakeAbsentDeviceInterfaces) \
    OS(IFiles, files, Files, MakeWin32Files, MakeSimFiles) \
    OS(IServiceControl, services, ServiceControl, MakeWin32ServiceControl, MakeSimServiceControl) \
    HARDWARE(IDeviceInventory, inventory, DeviceInventory, MakeWin32DeviceInventory, MakeSimDeviceInventory, MakeEmptyDeviceInventory) \
    HARDWARE(IHotfixes, hotfixes, Hotfixes, MakeWin32Hotfixes, MakeSimHotfixes, MakeEmptyHotfixes) \
    OS(ISystemInfo, systemInfo, SystemInformation, MakeWin32SystemInfo, MakeSimSystemInfo) \
    HARDWARE(IBatteries, batteries, Batteries, MakeWin32Batteries, MakeSimBatteries, MakeAbsentBatteries) \
    HARDWARE(IStorage, storage, Storage, MakeWin32Storage, MakeSimStorage, MakeAbsentStorage) \
    OS(IPipeClient, pipes, PipeClient, MakeWin32PipeClient, MakeSimPipeClient) \
    /* add new concerns above this line */

namespace quarro::platform {

namespace sim {
class MachineSnapshot;
}

#define QUARRO_DECLARE_INTERFACE(Interface, ...) class Interface;
QUARRO_PLATFORM_CONCERNS(QUARRO_DECLARE_INTERFACE, QUARRO_DECLARE_INTERFACE)
#undef QUARRO_DECLARE_INTERFACE

namespace win32 {
#define QUARRO_DECLARE_WIN32_FACTORY(Interface, member, Accessor, win32Factory, ...) \
    std::shared_ptr<Interface> win32Factory();
QUARRO_PLATFORM_CONCERNS(QUARRO_DECLARE_WIN32_FACTORY, QUARRO_DECLARE_WIN32_FACTORY)
#undef QUARRO_DECLARE_WIN32_FACTORY
}  // namespace win32

namespace sim {
#define QUARRO_DECLARE_STAND_IN_FACTORY(Interface, member, Accessor, win32Factory, standInFactory) \
    std::shared_ptr<Interface> standInFactory(const MachineSnapshot* machine, std::string* loadError);
#define QUARRO_DECLARE_SNAPSHOT_FACTORIES(Interface, member, Accessor, win32Factory, snapshotFactory, absentFactory) \
    std::shared_ptr<Interface> snapshotFactory(const MachineSnapshot& machine); \
    std::shared_ptr<Interface> absentFactory();
QUARRO_PLATFORM_CONCERNS(QUARRO_DECLARE_STAND_IN_FACTORY, QUARRO_DECLARE_SNAPSHOT_FACTORIES)
#undef QUARRO_DECLARE_STAND_IN_FACTORY
#undef QUARRO_DECLARE_SNAPSHOT_FACTORIES
}  // namespace sim

}  // namespace quarro::platform
