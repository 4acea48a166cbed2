// The volumes concern of the native build, served from a machine snapshot's "volumes" section
// (machines/README.md): each drive letter with its device target, drive type, file system and
// byte counts. A letter the snapshot does not name is not defined. Tests change a drive between
// calls (SetSpace, Remove) to see a refresh.
#pragma once

#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/volumes.h"

namespace quarro::platform::sim {

class SimVolumes : public IVolumes {
public:
    struct Drive {
        std::u16string device;                    // QueryDosDeviceW's target; empty: not defined
        std::uint32_t type = kDriveNoRootDir;     // GetDriveTypeW
        std::optional<std::u16string> fileSystem;  // none: GetVolumeInformationW fails
        std::optional<VolumeSpace> space;          // none: GetDiskFreeSpaceExW fails
    };

    SimVolumes() = default;
    // Entries that cannot be used are skipped and listed by Problems().
    explicit SimVolumes(const nlohmann::json* section);

    bool DosDeviceTarget(const char16_t* device, std::u16string* target) override;
    std::uint32_t DriveType(const char16_t* root) override;
    bool FileSystemName(const char16_t* root, char16_t* buffer, std::uint32_t units) override;
    bool Space(const char16_t* root, VolumeSpace* space) override;

    // --- for tests -----------------------------------------------------------------------------
    void Set(char letter, Drive drive);
    void SetSpace(char letter, std::optional<VolumeSpace> space);
    void Remove(char letter);
    const std::string& Problems() const { return problems_; }

private:
    const Drive* Find(const char16_t* name) const;

    std::map<char, Drive> drives_;  // by lower-case letter
    std::string problems_;
};

}  // namespace quarro::platform::sim
