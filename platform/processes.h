// The process concern: the running processes, each one's image path and whether it runs under
// WOW64 (a 32-bit process on 64-bit Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quarro::platform {

// How an image path is asked for.
enum class ImagePathKind {
    kFull,    // QueryFullProcessImageNameW (loaded by name): a drive-letter path
    kDevice,  // GetProcessImageFileNameW: "\Device\HarddiskVolume2\..." turned into "C:\..."
};

class IProcesses {
public:
    virtual ~IProcesses() = default;
    // EnumProcesses: at most `maxIds` identifiers, in the system's order; empty on failure.
    virtual std::vector<std::uint32_t> ProcessIds(std::size_t maxIds) = 0;
    // Opens the process for query and read; false when it cannot be opened or has no path.
    // *wow64 is true for a process running under WOW64 (false where IsWow64Process is missing).
    virtual bool ImagePath(std::uint32_t id, ImagePathKind kind, std::u16string* path, bool* wow64) = 0;
};

// A drive letter's device ("C:" and "\Device\HarddiskVolume2"), as QueryDosDeviceW answers.
using DosDevice = std::pair<std::u16string, std::u16string>;

// Turns a device path into its drive-letter form with the first device that is a whole-component
// prefix of it (case-insensitive); the path unchanged when none is.
std::u16string DevicePathToDosPath(const std::u16string& path, const std::vector<DosDevice>& devices);

}  // namespace quarro::platform
