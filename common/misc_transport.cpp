// The device road to the driver (see misc_transport.h): SetupAPI walk, open, DeviceIoControl.
#include "common/misc_transport.h"


#include "common/misc_codes.h"
#include "platform/last_error.h"

namespace MiscCommon {

namespace pf = quarro::platform;

namespace {

// A device interface detail record never exceeds its header and a path of 32767 characters.
constexpr std::uint32_t kMaxInterfaceDetailBytes = 8 + 2 * 32768;

int Fail(int code, const char16_t* text, const char16_t** message) {
    *message = text;
    return code;
}

}  // namespace

int MiscTransport::Locate(pf::IDeviceInterfaces& devices, bool readVersion, Located* out, const char16_t** message) {
    const pf::OwnedDeviceInfoSet set(
        devices, devices.GetClassDevs(kMiscDriverInterface, pf::kDigcfPresent | pf::kDigcfDeviceInterface));
    if (!set) return Fail(kMiscSystemError, u"SetupDiGetClassDevs failed.", message);

    pf::DeviceInterfaceRef iface;
    if (!devices.EnumDeviceInterfaces(set.Get(), kMiscDriverInterface, 0, &iface)) {
        return Fail(kMiscNotFound, u"SetupDiEnumDeviceInterfaces failed.", message);
    }

    std::uint32_t required = 0;
    if (devices.GetDeviceInterfaceDetail(set.Get(), iface, 0, &required, nullptr, nullptr) ||
        pf::GetLastErrorCode() != static_cast<std::uint32_t>(pf::kErrorInsufficientBuffer) || required == 0) {
        return Fail(kMiscSystemError, u"SetupDiGetDeviceInterfaceDetail (First time) failed.", message);
    }
    if (required > kMaxInterfaceDetailBytes) {
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return Fail(kMiscNoMemory, u"HeapAlloc failed.", message);
    }
    pf::DeviceInstanceRef instance;
    std::uint32_t requiredAgain = 0;
    if (!devices.GetDeviceInterfaceDetail(set.Get(), iface, required, &requiredAgain, &out->path, &instance) ||
        out->path.empty()) {
        return Fail(kMiscSystemError, u"SetupDiGetDeviceInterfaceDetail (Second time) failed.", message);
    }

    out->versionBytes = 0;
    if (!readVersion) return kMiscSuccess;
    std::uint32_t type = 0;
    std::uint32_t size = sizeof(out->version);
    bool keyOpened = false;
    const long result =
        devices.QueryDriverKeyValue(set.Get(), instance, u"DriverVersion", &type, out->version, &size, &keyOpened);
    if (!keyOpened) return Fail(kMiscSystemError, u"SetupDiOpenDevRegKey failed.", message);
    if (result != pf::kErrorSuccess) {
        pf::SetLastErrorCode(static_cast<std::uint32_t>(result));
        return Fail(kMiscSystemError, u"RegQueryValueEx failed.", message);
    }
    out->versionBytes = size < sizeof(out->version) ? size : static_cast<std::uint32_t>(sizeof(out->version));
    return kMiscSuccess;
}

int MiscTransport::Open(pf::IDeviceInterfaces& devices, const std::u16string& path, const char16_t** message) {
    Close();
    const pf::DeviceHandle device =
        devices.CreateFile(path.c_str(), pf::kGenericRead | pf::kGenericWrite, 0, pf::kOpenExisting);
    if (device == pf::kInvalidDevice) return Fail(kMiscCreateFileFailed, u"CreateFile failed.", message);
    device_.emplace(devices, device);
    return kMiscSuccess;
}

bool MiscTransport::Control(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                            std::uint32_t outSize, std::uint32_t* returned) {
    if (!IsOpen()) {
        *returned = 0;
        pf::SetLastErrorCode(pf::kErrorInvalidHandle);
        return false;
    }
    return device_->Api().DeviceIoControl(device_->Get(), code, in, inSize, out, outSize, returned);
}

}  // namespace MiscCommon
