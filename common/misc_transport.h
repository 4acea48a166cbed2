// The device road to the Mirelta Misc Driver: finds the first device of the driver's interface
// class, reads its "DriverVersion" from the driver key, opens it exclusively and carries
// DeviceIoControl requests to it. It knows nothing of sessions, capsules or ciphers.
//
// A step that fails gives a library code and the message that names it (what the session writes
// after "OpenDriver: "), and leaves the thread's last error as the failing call left it. The
// device set and the device are held by owners, so nothing leaks on any path.
//
// The device-interface concern the device was opened through is kept with the device and serves
// every later request, also when the call comes from a tab module that links its own copy of the
// platform (the modules use the viewer's session).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/device_io.h"
#include "platform/owner.h"

namespace MiscCommon {

// The driver's device interface class {80DCC0C5-BD3E-4BC0-8A06-11EAE4AE7224}.
inline constexpr quarro::platform::Guid kMiscDriverInterface = {
    0x80DCC0C5, 0xBD3E, 0x4BC0, {0x8A, 0x06, 0x11, 0xEA, 0xE4, 0xAE, 0x72, 0x24}};

// Bytes of the "DriverVersion" value that are read.
inline constexpr std::size_t kVersionValueBytes = 256;

class MiscTransport {
public:
    // What Locate found: the device path and, when asked for, the raw "DriverVersion" value.
    struct Located {
        std::u16string path;
        std::uint8_t version[kVersionValueBytes] = {};
        std::uint32_t versionBytes = 0;  // at most kVersionValueBytes
    };

    // Walks the device set of `devices`: the present interfaces of the driver's class, interface
    // 0, its detail record (size, then contents) and, with `readVersion`, the driver key's
    // "DriverVersion". 0, 2, 5 or 6; on failure *message names the step.
    static int Locate(quarro::platform::IDeviceInterfaces& devices, bool readVersion, Located* out,
                      const char16_t** message);

    // CreateFileW on `path` with read and write access, no sharing, OPEN_EXISTING. 0 or 11; any
    // device held before is closed first.
    int Open(quarro::platform::IDeviceInterfaces& devices, const std::u16string& path, const char16_t** message);
    bool IsOpen() const { return device_.has_value() && static_cast<bool>(*device_); }
    // DeviceIoControl on the open device; false with ERROR_INVALID_HANDLE when there is none.
    bool Control(std::uint32_t code, const void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
                 std::uint32_t* returned);
    // Closes the device, keeping the last error. Nothing when closed.
    void Close() { device_.reset(); }

private:
    std::optional<quarro::platform::OwnedDevice> device_;
};

}  // namespace MiscCommon
