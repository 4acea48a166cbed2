// The volumes concern: the drive letters of the running Windows and what each one holds, as the
// hard-disk tab lists them. Each call is one Win32 call with its failure kept in the last error.
#pragma once

#include <cstdint>
#include <string>

namespace quarro::platform {

// GetDriveTypeW results.
inline constexpr std::uint32_t kDriveUnknown = 0;
inline constexpr std::uint32_t kDriveNoRootDir = 1;
inline constexpr std::uint32_t kDriveRemovable = 2;
inline constexpr std::uint32_t kDriveFixed = 3;
inline constexpr std::uint32_t kDriveRemote = 4;
inline constexpr std::uint32_t kDriveCdRom = 5;
inline constexpr std::uint32_t kDriveRamDisk = 6;

// GetDiskFreeSpaceExW's three counts, in bytes.
struct VolumeSpace {
    std::uint64_t freeToCaller = 0;
    std::uint64_t total = 0;
    std::uint64_t totalFree = 0;
};

class IVolumes {
public:
    virtual ~IVolumes() = default;

    // QueryDosDeviceW of a device name such as "c:": the first target ("\Device\HarddiskVolume2");
    // false (last error 2) when the name is not defined.
    virtual bool DosDeviceTarget(const char16_t* device, std::u16string* target) = 0;
    // GetDriveTypeW of a root such as "c:\".
    virtual std::uint32_t DriveType(const char16_t* root) = 0;
    // GetVolumeInformationW's file-system name into `buffer` of `units` UTF-16 units (terminator
    // included); false when it cannot be read or does not fit.
    virtual bool FileSystemName(const char16_t* root, char16_t* buffer, std::uint32_t units) = 0;
    // GetDiskFreeSpaceExW; false when the counts cannot be read.
    virtual bool Space(const char16_t* root, VolumeSpace* space) = 0;
};

}  // namespace quarro::platform
