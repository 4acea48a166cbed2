// The firmware host: serves the relay driver's requests with the simulated Misc Driver of a
// machine snapshot, and registers the device the programs look for. Test infrastructure: never
// installed by the product's installer.
//
//   FirmwareHost register <snapshot folder>
//       Creates the device ROOT\MIRELTA_MISC\0000 (system class) with its Misc Driver interface,
//       marks the interface present, writes its driver key ("DriverVersion" from the snapshot,
//       "DriverDesc", "ProviderName") and the relay's "DeviceLink" (the interface's device path as
//       an NT name). Prints the device path.
//   FirmwareHost serve <snapshot folder> [ready file [fault]]
//       Serves the pipe until killed: one thread and one simulated driver per connection, that is
//       per open handle of the device. Writes the ready file once the first instance listens.
//       A fault ("oversize", "badmagic", "hangup") breaks every reply that way: a broken host.
//
// Exit code 0 on success; otherwise the Win32 error (or 1 for a bad command or snapshot).
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "platform/sim/machine_snapshot.h"
#include "platform/sim/misc_driver.h"
#include "platform/utf8.h"
#include "platform/win32/handles.h"
#include "relay_exchange.h"
#include "relay_protocol.h"

namespace {

using quarro::win32::FileHandleTraits;
using quarro::win32::RegKeyTraits;
using quarro::win32::UniqueHandle;
namespace sim = quarro::platform::sim;

const GUID kSystemClass = {0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const GUID kMiscInterface = {0x80dcc0c5, 0xbd3e, 0x4bc0, {0x8a, 0x06, 0x11, 0xea, 0xe4, 0xae, 0x72, 0x24}};
const wchar_t kInstanceId[] = L"ROOT\\MIRELTA_MISC\\0000";
const wchar_t kRelayParameters[] = L"SYSTEM\\CurrentControlSet\\Services\\QuarroRelay\\Parameters";

struct DeviceInfoListTraits {
    using Handle = HDEVINFO;
    static HDEVINFO None() { return INVALID_HANDLE_VALUE; }
    static void Close(HDEVINFO set) { SetupDiDestroyDeviceInfoList(set); }
};

int Fail(const char* step) {
    const DWORD error = GetLastError();
    std::fprintf(stderr, "FirmwareHost: %s failed (%lu)\n", step, error);
    return error ? static_cast<int>(error) : 1;
}

std::unique_ptr<sim::MachineSnapshot> LoadSnapshot(const wchar_t* folder) {
    std::string error;
    auto machine = sim::MachineSnapshot::Load(quarro::platform::Utf16ToUtf8(reinterpret_cast<const char16_t*>(folder)),
                                              &error);
    if (!machine) std::fprintf(stderr, "FirmwareHost: %s\n", error.c_str());
    return machine;
}

const nlohmann::json* DriverSection(const sim::MachineSnapshot& machine) {
    auto it = machine.Json().find("miscDriver");
    return it != machine.Json().end() && it->is_object() ? &*it : nullptr;
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool SetProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, const std::wstring& value) {
    return SetupDiSetDeviceRegistryPropertyW(set, device, property, reinterpret_cast<const BYTE*>(value.c_str()),
                                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

int Register(const wchar_t* folder) {
    auto machine = LoadSnapshot(folder);
    if (!machine) return 1;
    // The version the snapshot's driver reports, with the simulated driver's own default.
    const sim::SimMiscDriver driver(DriverSection(*machine));
    const std::wstring version(reinterpret_cast<const wchar_t*>(quarro::platform::Utf8ToUtf16(driver.DriverVersion()).c_str()));

    UniqueHandle<DeviceInfoListTraits> set(SetupDiCreateDeviceInfoList(&kSystemClass, nullptr));
    if (set.Get() == INVALID_HANDLE_VALUE) return Fail("SetupDiCreateDeviceInfoList");
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoW(set.Get(), kInstanceId, &kSystemClass, L"Mirelta Misc Driver", nullptr, 0, &device)) {
        if (GetLastError() != ERROR_DEVINST_ALREADY_EXISTS) return Fail("SetupDiCreateDeviceInfoW");
        if (!SetupDiOpenDeviceInfoW(set.Get(), kInstanceId, nullptr, 0, &device)) return Fail("SetupDiOpenDeviceInfoW");
    } else if (!SetupDiRegisterDeviceInfo(set.Get(), &device, 0, nullptr, nullptr, nullptr)) {
        return Fail("SetupDiRegisterDeviceInfo");
    }
    if (!SetProperty(set.Get(), &device, SPDRP_DEVICEDESC, L"Mirelta Misc Driver") ||
        !SetProperty(set.Get(), &device, SPDRP_MFG, L"Mirelta")) {
        return Fail("SetupDiSetDeviceRegistryPropertyW");
    }

    HKEY raw = SetupDiCreateDevRegKeyW(set.Get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
    if (raw == INVALID_HANDLE_VALUE || !raw) return Fail("SetupDiCreateDevRegKeyW");
    UniqueHandle<RegKeyTraits> driverKey(raw);
    if (SetString(driverKey.Get(), L"DriverVersion", version) || SetString(driverKey.Get(), L"DriverDesc", L"Mirelta Misc Driver") ||
        SetString(driverKey.Get(), L"ProviderName", L"Mirelta")) {
        return Fail("writing the driver key");
    }

    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof(iface);
    if (!SetupDiCreateDeviceInterfaceW(set.Get(), &device, &kMiscInterface, nullptr, 0, &iface))
        return Fail("SetupDiCreateDeviceInterfaceW");
    union {
        SP_DEVICE_INTERFACE_DETAIL_DATA_W detail;
        BYTE bytes[sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) + MAX_PATH * sizeof(wchar_t)];
    } room{};
    room.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(set.Get(), &iface, &room.detail, sizeof(room), nullptr, nullptr))
        return Fail("SetupDiGetDeviceInterfaceDetailW");
    const std::wstring path = room.detail.DevicePath;  // \\?\root#mirelta_misc#0000#{...}
    if (path.compare(0, 4, L"\\\\?\\") != 0) {
        SetLastError(ERROR_BAD_PATHNAME);
        return Fail("reading the device path");
    }

    // The interface counts as present (DIGCF_PRESENT) while its "Control\Linked" is set, which
    // the I/O manager does for a driver that enables the interface; the relay is no PnP driver.
    const std::wstring interfaceKey = L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                                      L"{80dcc0c5-bd3e-4bc0-8a06-11eae4ae7224}\\##?#" +
                                      path.substr(4) + L"\\#\\Control";
    raw = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, interfaceKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &raw, nullptr) != ERROR_SUCCESS) {
        return Fail("creating the interface's Control key");
    }
    UniqueHandle<RegKeyTraits> control(raw);
    const DWORD linked = 1;
    if (RegSetValueExW(control.Get(), L"Linked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&linked), sizeof(linked)))
        return Fail("setting Linked");

    raw = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRelayParameters, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr))
        return Fail("creating the relay's Parameters key");
    UniqueHandle<RegKeyTraits> parameters(raw);
    if (SetString(parameters.Get(), L"DeviceLink", L"\\??\\" + path.substr(4))) return Fail("setting DeviceLink");
    std::printf("%ls\n", path.c_str());
    return 0;
}

// One connection: a fresh simulated driver (a session lives no longer than its handle).
void ServeConnection(HANDLE raw, const nlohmann::json* section, quarro::relay::HostFault fault) {
    UniqueHandle<FileHandleTraits> pipe(raw);
    sim::SimMiscDriver driver(section);
    driver.OnOpen();
    const auto read = [&](void* data, std::size_t size) {
        auto* at = static_cast<BYTE*>(data);
        while (size > 0) {
            DWORD got = 0;
            if (!ReadFile(pipe.Get(), at, static_cast<DWORD>(size), &got, nullptr) || got == 0) return false;
            at += got;
            size -= got;
        }
        return true;
    };
    const auto write = [&](const void* data, std::size_t size) {
        DWORD put = 0;
        return WriteFile(pipe.Get(), data, static_cast<DWORD>(size), &put, nullptr) && put == size;
    };
    while (quarro::relay::ServeFrame(driver, read, write, fault) == quarro::relay::FrameResult::Served) {
    }
    driver.OnClose();
    DisconnectNamedPipe(pipe.Get());
}

int Serve(const wchar_t* folder, const wchar_t* readyFile, quarro::relay::HostFault fault) {
    // The snapshot lives as long as the process: every connection's driver reads its section.
    static std::unique_ptr<sim::MachineSnapshot> machine = LoadSnapshot(folder);
    if (!machine) return 1;
    const nlohmann::json* section = DriverSection(*machine);
    bool ready = false;
    for (;;) {
        UniqueHandle<FileHandleTraits> pipe(CreateNamedPipeW(
            RELAY_PIPE_NAME_W, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
            PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, nullptr));
        if (pipe.Get() == INVALID_HANDLE_VALUE) return Fail("CreateNamedPipeW");
        if (!ready && readyFile) {
            UniqueHandle<FileHandleTraits> file(
                CreateFileW(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file.Get() == INVALID_HANDLE_VALUE) return Fail("writing the ready file");
        }
        ready = true;
        if (!ConnectNamedPipe(pipe.Get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) continue;
        std::thread(ServeConnection, pipe.Release(), section, fault).detach();
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"register" && argc == 3) return Register(argv[2]);
    if (command == L"serve" && argc >= 3 && argc <= 5) {
        using quarro::relay::HostFault;
        const std::wstring name = argc == 5 ? argv[4] : L"";
        const HostFault fault = name == L"oversize"   ? HostFault::Oversize
                                : name == L"badmagic" ? HostFault::BadMagic
                                : name == L"hangup"   ? HostFault::HangUp
                                                      : HostFault::None;
        if (fault != HostFault::None || name.empty()) return Serve(argv[2], argc >= 4 ? argv[3] : nullptr, fault);
    }
    std::fprintf(stderr, "usage: FirmwareHost register <snapshot folder> | serve <snapshot folder> [ready file [fault]]\n");
    return 1;
}
