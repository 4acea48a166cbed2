// The storage concern: the system hard disk as the S.M.A.R.T. snapshot reaches it. The system
// folder (which names the system volume), opening a volume or physical drive, the storage
// device-control requests (geometry, device number, the S.M.A.R.T. version, command and receive
// requests) and the drive's power state.
//
// The requests travel as the Win32 byte layouts below, so that the caller builds and checks them
// once and both implementations see exactly what the storage driver sees. Replies are untrusted:
// a caller checks `*returned` and the status bytes before it reads any data.
//
// Failures set the thread's last error (quarro::platform::SetLastErrorCode) as the Win32 calls do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/owner.h"

namespace quarro::platform {

using StorageHandle = std::uintptr_t;
inline constexpr StorageHandle kInvalidStorage = ~static_cast<StorageHandle>(0);  // INVALID_HANDLE_VALUE

// Device-control codes (CTL_CODE of the disk and storage device types).
inline constexpr std::uint32_t kIoctlDiskGetDriveGeometry = 0x00070000;
inline constexpr std::uint32_t kIoctlStorageGetDeviceNumber = 0x002D1080;
inline constexpr std::uint32_t kSmartGetVersion = 0x00074080;
inline constexpr std::uint32_t kSmartSendDriveCommand = 0x0007C084;
inline constexpr std::uint32_t kSmartRcvDriveData = 0x0007C088;

inline constexpr std::uint32_t kFixedMedia = 12;  // MEDIA_TYPE FixedMedia

// DISK_GEOMETRY.
struct DiskGeometry {
    std::int64_t cylinders;
    std::uint32_t mediaType;
    std::uint32_t tracksPerCylinder;
    std::uint32_t sectorsPerTrack;
    std::uint32_t bytesPerSector;
};
static_assert(sizeof(DiskGeometry) == 24, "DISK_GEOMETRY");

// STORAGE_DEVICE_NUMBER.
struct StorageDeviceNumber {
    std::uint32_t deviceType;
    std::uint32_t deviceNumber;
    std::uint32_t partitionNumber;
};
static_assert(sizeof(StorageDeviceNumber) == 12, "STORAGE_DEVICE_NUMBER");

#pragma pack(push, 1)
// GETVERSIONINPARAMS, the answer to kSmartGetVersion.
struct SmartVersion {
    std::uint8_t version;
    std::uint8_t revision;
    std::uint8_t reserved;
    std::uint8_t ideDeviceMap;
    std::uint32_t capabilities;
    std::uint32_t reserved2[4];
};
static_assert(sizeof(SmartVersion) == 24, "GETVERSIONINPARAMS");

// IDEREGS: the ATA task-file registers of a command.
struct IdeRegisters {
    std::uint8_t features;
    std::uint8_t sectorCount;
    std::uint8_t sectorNumber;
    std::uint8_t cylinderLow;
    std::uint8_t cylinderHigh;
    std::uint8_t driveHead;
    std::uint8_t command;
    std::uint8_t reserved;
};
static_assert(sizeof(IdeRegisters) == 8, "IDEREGS");

// SENDCMDINPARAMS without its one-byte buffer: what kSmartSendDriveCommand and
// kSmartRcvDriveData take (the Windows headers' sizeof minus 1).
struct SmartCommandIn {
    std::uint32_t bufferSize;
    IdeRegisters registers;
    std::uint8_t driveNumber;
    std::uint8_t reserved[3];
    std::uint32_t reserved2[4];
};
static_assert(sizeof(SmartCommandIn) == 32, "SENDCMDINPARAMS");

// SENDCMDOUTPARAMS without its buffer; the data (if any) follows it.
struct SmartCommandOut {
    std::uint32_t bufferSize;
    std::uint8_t driverError;
    std::uint8_t ideError;
    std::uint8_t reserved[2];
    std::uint32_t reserved2[2];
};
static_assert(sizeof(SmartCommandOut) == 16, "SENDCMDOUTPARAMS");
#pragma pack(pop)

inline constexpr std::size_t kAtaSectorSize = 512;

class IStorage {
public:
    virtual ~IStorage() = default;

    // GetSystemDirectoryW: false when the folder cannot be had.
    virtual bool SystemFolder(std::u16string* folder) = 0;
    // CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL):
    // kInvalidStorage on failure. Access 0 asks for no rights (enough for geometry, device number
    // and power state); the S.M.A.R.T. requests need GENERIC_READ | GENERIC_WRITE.
    virtual StorageHandle Open(const char16_t* path, std::uint32_t access) = 0;
    // DeviceIoControl; *returned is always written (0 on failure).
    virtual bool DeviceIoControl(StorageHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                                 void* out, std::uint32_t outSize, std::uint32_t* returned) = 0;
    // GetDevicePowerState: false when the state cannot be had; *on tells whether the drive spins.
    virtual bool GetDevicePowerState(StorageHandle device, bool* on) = 0;
    virtual void Close(StorageHandle device) = 0;
};

struct StorageHandleTraits {
    using Interface = IStorage;
    using Handle = StorageHandle;
    static StorageHandle None() { return kInvalidStorage; }
    static void Close(IStorage& storage, StorageHandle device) {
        const KeepLastError keep;
        storage.Close(device);
    }
};
using OwnedStorage = SeamOwner<StorageHandleTraits>;

}  // namespace quarro::platform
