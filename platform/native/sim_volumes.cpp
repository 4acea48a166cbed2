#include "platform/native/sim_volumes.h"

#include <cstring>

#include "platform/concerns.h"
#include "platform/last_error.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorNotReady = 21;
constexpr std::uint32_t kErrorBadLength = 24;
constexpr std::uint32_t kErrorUnrecognizedVolume = 1005;

const struct {
    const char* name;
    std::uint32_t type;
} kTypes[] = {{"unknown", kDriveUnknown}, {"removable", kDriveRemovable}, {"fixed", kDriveFixed},
              {"remote", kDriveRemote},   {"cdrom", kDriveCdRom},         {"ramdisk", kDriveRamDisk}};

// A byte count: a JSON number, or decimal or "0x" hexadecimal text.
bool Count(const nlohmann::json& value, std::uint64_t* out) {
    if (value.is_number_unsigned()) {
        *out = value.get<std::uint64_t>();
        return true;
    }
    if (!value.is_string()) return false;
    const std::string text = value.get<std::string>();
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::uint64_t n = 0;
    for (std::size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        const unsigned base = hex ? 16 : 10;
        if (digit < 0 || n > (UINT64_MAX - static_cast<unsigned>(digit)) / base) return false;
        n = n * base + static_cast<unsigned>(digit);
    }
    *out = n;
    return true;
}

char LetterOf(const std::string& key) {
    if (key.size() != 1) return 0;
    const char c = key[0];
    if (c >= 'a' && c <= 'z') return c;
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return 0;
}

}  // namespace

SimVolumes::SimVolumes(const nlohmann::json* section) {
    if (!section || !section->is_object()) return;
    for (const auto& [key, entry] : section->items()) {
        const char letter = LetterOf(key);
        if (!letter || !entry.is_object()) {
            problems_ += "volumes: \"" + key + "\" is not a drive letter with an object\n";
            continue;
        }
        Drive drive;
        if (auto it = entry.find("device"); it != entry.end() && it->is_string()) {
            drive.device = Utf8ToUtf16(it->get<std::string>());
        }
        const std::string type = SectionField<std::string>(&entry, "type", "fixed");
        bool known = false;
        for (const auto& t : kTypes) {
            if (type == t.name) {
                drive.type = t.type;
                known = true;
            }
        }
        if (!known) {
            problems_ += "volumes: \"" + key + "\" has an unknown type \"" + type + "\"\n";
            continue;
        }
        if (auto it = entry.find("fileSystem"); it != entry.end() && it->is_string()) {
            drive.fileSystem = Utf8ToUtf16(it->get<std::string>());
        }
        VolumeSpace space;
        const auto total = entry.find("total");
        if (total != entry.end()) {
            const auto caller = entry.find("freeToCaller");
            const auto free = entry.find("totalFree");
            if (!Count(*total, &space.total) || caller == entry.end() || !Count(*caller, &space.freeToCaller) ||
                (free != entry.end() && !Count(*free, &space.totalFree))) {
                problems_ += "volumes: \"" + key + "\" has byte counts that are not numbers\n";
                continue;
            }
            if (free == entry.end()) space.totalFree = space.freeToCaller;
            drive.space = space;
        }
        drives_[letter] = drive;
    }
}

// "c:" or "c:\" (any case): the drive, or null with the last error a missing name gives.
const SimVolumes::Drive* SimVolumes::Find(const char16_t* name) const {
    if (!name || !name[0] || name[1] != u':' || (name[2] && !(name[2] == u'\\' && !name[3]))) return nullptr;
    char16_t c = name[0];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c < u'a' || c > u'z') return nullptr;
    auto it = drives_.find(static_cast<char>(c));
    return it == drives_.end() ? nullptr : &it->second;
}

bool SimVolumes::DosDeviceTarget(const char16_t* device, std::u16string* target) {
    const Drive* drive = device && device[0] && device[1] == u':' && !device[2] ? Find(device) : nullptr;
    if (!drive || drive->device.empty()) {
        SetLastErrorCode(kErrorFileNotFound);
        return false;
    }
    *target = drive->device;
    return true;
}

std::uint32_t SimVolumes::DriveType(const char16_t* root) {
    const Drive* drive = Find(root);
    return drive ? drive->type : kDriveNoRootDir;
}

bool SimVolumes::FileSystemName(const char16_t* root, char16_t* buffer, std::uint32_t units) {
    const Drive* drive = Find(root);
    if (!drive) {
        SetLastErrorCode(kErrorPathNotFound);
        return false;
    }
    if (!drive->fileSystem) {
        SetLastErrorCode(drive->type == kDriveCdRom || drive->type == kDriveRemovable ? kErrorNotReady
                                                                                      : kErrorUnrecognizedVolume);
        return false;
    }
    if (!buffer || drive->fileSystem->size() + 1 > units) {
        SetLastErrorCode(kErrorBadLength);
        return false;
    }
    std::memcpy(buffer, drive->fileSystem->c_str(), (drive->fileSystem->size() + 1) * sizeof(char16_t));
    return true;
}

bool SimVolumes::Space(const char16_t* root, VolumeSpace* space) {
    const Drive* drive = Find(root);
    if (!drive) {
        SetLastErrorCode(kErrorPathNotFound);
        return false;
    }
    if (!drive->space) {
        SetLastErrorCode(kErrorNotReady);
        return false;
    }
    *space = *drive->space;
    return true;
}

void SimVolumes::Set(char letter, Drive drive) { drives_[LetterOf(std::string(1, letter))] = std::move(drive); }

void SimVolumes::SetSpace(char letter, std::optional<VolumeSpace> space) {
    auto it = drives_.find(LetterOf(std::string(1, letter)));
    if (it != drives_.end()) it->second.space = space;
}

void SimVolumes::Remove(char letter) { drives_.erase(LetterOf(std::string(1, letter))); }

std::shared_ptr<IVolumes> MakeSimVolumes(const MachineSnapshot* machine, std::string* loadError) {
    auto volumes = std::make_shared<SimVolumes>(machine ? machine->Section("volumes") : nullptr);
    if (loadError && !volumes->Problems().empty()) *loadError += volumes->Problems();
    return volumes;
}

}  // namespace quarro::platform::sim
