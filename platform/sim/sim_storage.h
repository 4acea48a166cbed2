// The simulated system hard disk, served through the storage concern from the "storage" section of
// a machine snapshot (keys in machines/README.md). It answers as the storage driver does: the
// volume named by the system folder and "\\.\PhysicalDrive<n>" open with their access rights,
// the geometry and device-number requests, the power state, and the S.M.A.R.T. version, command
// and receive requests with their buffer sizes and registers checked. A command the disk does not
// know comes back with the driver's error status, not with data.
//
// Tests change the disk between requests through the public model (advance a counter, spin it
// down, remove it, make a call fail) and read back the commands it received. Not thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/storage.h"

namespace quarro::platform::sim {

class SimStorage : public IStorage {
public:
    // The calls a fault switch can make fail.
    enum class Call { SystemFolder, OpenVolume, OpenDrive, OpenDriveReadWrite, Geometry, DeviceNumber, PowerState,
                      Version, Enable, Identify, ReadData };

    struct Disk {
        bool present = true;        // the physical drive answers to its name
        std::uint32_t deviceNumber = 0;
        DiskGeometry geometry{60801, kFixedMedia, 255, 63, 512};
        bool spinning = true;       // GetDevicePowerState's answer
        bool smartEnabled = true;   // READ DATA is refused until ENABLE OPERATIONS when false
        std::array<std::uint8_t, kAtaSectorSize> identify{};
        std::array<std::uint8_t, kAtaSectorSize> data{};  // the S.M.A.R.T. data sector
    };

    // A command the disk received (S.M.A.R.T. send and receive requests).
    struct Command {
        std::uint32_t code;
        SmartCommandIn in;
    };

    // `section` is the snapshot's "storage" member (null: the default disk).
    explicit SimStorage(const nlohmann::json* section);

    bool SystemFolder(std::u16string* folder) override;
    StorageHandle Open(const char16_t* path, std::uint32_t access) override;
    bool DeviceIoControl(StorageHandle device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* returned) override;
    bool GetDevicePowerState(StorageHandle device, bool* on) override;
    void Close(StorageHandle device) override;

    // The model. The system folder's first two characters name the volume the disk carries.
    std::u16string systemFolder = u"C:\\Windows\\system32";
    Disk disk;
    std::map<Call, std::uint32_t> failures;  // a call named here fails with this Win32 error
    std::vector<Command> commands;           // S.M.A.R.T. commands in order
    std::size_t OpenHandles() const { return handles_.size(); }

    // The data sector's slot of attribute `id` (12 bytes), or null when the sector has none.
    std::uint8_t* Slot(std::uint8_t id);
    // Adds `by` to the 48-bit raw value of attribute `id` and reseals the checksum; false when
    // the sector has no such attribute.
    bool AdvanceRaw(std::uint8_t id, std::uint64_t by);
    // Makes byte 511 the two's complement of the sum of bytes 0..510, as the drive does.
    static void SealChecksum(std::array<std::uint8_t, kAtaSectorSize>* sector);
    // IDENTIFY DEVICE data with the model (words 27..46), serial (words 10..19) and nominal
    // media rotation rate (word 217), texts blank-padded and stored as ATA strings.
    static std::array<std::uint8_t, kAtaSectorSize> IdentifyData(const std::string& model, const std::string& serial,
                                                                 std::uint16_t rotationRate);

private:
    struct Handle {
        bool drive;  // the physical drive (else the volume)
        std::uint32_t access;
    };
    bool Fails(Call call);
    bool SmartRequest(const Handle& handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                      std::uint32_t outSize, std::uint32_t* returned);

    std::map<StorageHandle, Handle> handles_;
    StorageHandle next_ = 0x5100;
};

}  // namespace quarro::platform::sim
