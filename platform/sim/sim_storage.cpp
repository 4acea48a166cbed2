#include "platform/sim/sim_storage.h"

#include <cstring>
#include <string>

#include "platform/concerns.h"
#include "platform/last_error.h"
#include "platform/sim/firmware_data.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"
#include "platform/win32_errors.h"

namespace quarro::platform::sim {

namespace {

constexpr std::uint32_t kFileDeviceDisk = 7;
constexpr std::uint8_t kSmartCommand = 0xB0;
constexpr std::uint8_t kIdentifyCommand = 0xEC;
constexpr std::uint8_t kEnableFeature = 0xD8;
constexpr std::uint8_t kDisableFeature = 0xD9;
constexpr std::uint8_t kReadDataFeature = 0xD0;
constexpr std::uint8_t kSmartIdeError = 1;  // SENDCMDOUTPARAMS driver status: the drive refused
constexpr std::uint8_t kAtaAbort = 0x04;    // ATA error register: command aborted
constexpr std::size_t kSlotCount = 30;
constexpr std::size_t kSlotSize = 12;

bool Fail(long error) {
    SetLastErrorCode(static_cast<std::uint32_t>(error));
    return false;
}

char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

// A JSON number or number text ("0x1F", "31") of at most 64 bits.
bool Number64(const nlohmann::json& value, std::uint64_t* out) {
    if (value.is_number_unsigned()) {
        *out = value.get<std::uint64_t>();
        return true;
    }
    if (!value.is_string()) return false;
    const std::string text = value.get<std::string>();
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::size_t used = 0;
    try {
        *out = std::stoull(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size() - (hex ? 2 : 0);
}

template <typename T>
void ReadNumber(const nlohmann::json* object, const char* name, T* out) {
    const nlohmann::json* member = json_read::Member(object, name);
    std::uint64_t value = 0;
    if (member && Number64(*member, &value) && value <= static_cast<std::uint64_t>(~T{})) *out = static_cast<T>(value);
}

void ReadBool(const nlohmann::json* object, const char* name, bool* out) {
    const nlohmann::json* member = json_read::Member(object, name);
    if (member && member->is_boolean()) *out = member->get<bool>();
}

std::string ReadText(const nlohmann::json* object, const char* name, const char* fallback) {
    const nlohmann::json* member = json_read::Member(object, name);
    return member && member->is_string() ? member->get<std::string>() : fallback;
}

const std::map<std::string, SimStorage::Call>& CallNames() {
    static const std::map<std::string, SimStorage::Call> names = {
        {"systemFolder", SimStorage::Call::SystemFolder}, {"openVolume", SimStorage::Call::OpenVolume},
        {"openDrive", SimStorage::Call::OpenDrive}, {"openDriveReadWrite", SimStorage::Call::OpenDriveReadWrite},
        {"geometry", SimStorage::Call::Geometry}, {"deviceNumber", SimStorage::Call::DeviceNumber},
        {"powerState", SimStorage::Call::PowerState}, {"version", SimStorage::Call::Version},
        {"enable", SimStorage::Call::Enable}, {"identify", SimStorage::Call::Identify},
        {"readData", SimStorage::Call::ReadData},
    };
    return names;
}

void PutAtaString(std::uint8_t* words, const std::string& text, std::size_t chars) {
    for (std::size_t i = 0; i < chars; ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        words[i ^ 1] = static_cast<std::uint8_t>(c);  // ATA strings: two characters per word, first in the high byte
    }
}

}  // namespace

SimStorage::SimStorage(const nlohmann::json* section) {
    disk.identify = IdentifyData("MIRELTA MK5061GSY", "Y8QKT2C6T", 5400);
    disk.data[0] = 0x10;  // data structure revision
    SealChecksum(&disk.data);
    if (!section || !section->is_object()) return;
    if (const nlohmann::json* folder = json_read::Member(section, "systemFolder"); folder && folder->is_string()) {
        systemFolder = Utf8ToUtf16(folder->get<std::string>());
    }
    const nlohmann::json* d = json_read::Member(section, "disk");
    if (!d || !d->is_object()) return;
    ReadBool(d, "present", &disk.present);
    ReadBool(d, "spinning", &disk.spinning);
    ReadBool(d, "smartEnabled", &disk.smartEnabled);
    ReadNumber(d, "deviceNumber", &disk.deviceNumber);
    if (const nlohmann::json* g = json_read::Member(d, "geometry")) {
        std::uint64_t cylinders = 0;
        if (const nlohmann::json* c = json_read::Member(g, "cylinders"); c && Number64(*c, &cylinders)) {
            disk.geometry.cylinders = static_cast<std::int64_t>(cylinders & 0x7FFFFFFFFFFFFFFFull);
        }
        ReadNumber(g, "mediaType", &disk.geometry.mediaType);
        ReadNumber(g, "tracksPerCylinder", &disk.geometry.tracksPerCylinder);
        ReadNumber(g, "sectorsPerTrack", &disk.geometry.sectorsPerTrack);
        ReadNumber(g, "bytesPerSector", &disk.geometry.bytesPerSector);
    }
    std::uint16_t rotation = 5400;
    ReadNumber(d, "rotationRate", &rotation);
    disk.identify = IdentifyData(ReadText(d, "model", "MIRELTA MK5061GSY"), ReadText(d, "serial", "Y8QKT2C6T"), rotation);
    ReadNumber(d, "revision", &disk.data[0]);
    if (const nlohmann::json* list = json_read::Member(d, "attributes"); list && list->is_array()) {
        std::size_t slot = 0;
        for (const nlohmann::json& a : *list) {
            if (slot == kSlotCount || !a.is_object()) break;
            std::uint8_t* s = &disk.data[2 + slot * kSlotSize];
            std::uint16_t flags = 0;
            std::uint64_t raw = 0;
            ReadNumber(&a, "id", &s[0]);
            ReadNumber(&a, "flags", &flags);
            ReadNumber(&a, "value", &s[3]);
            ReadNumber(&a, "worst", &s[4]);
            ReadNumber(&a, "raw", &raw);
            s[1] = static_cast<std::uint8_t>(flags);
            s[2] = static_cast<std::uint8_t>(flags >> 8);
            for (int i = 0; i < 6; ++i) s[5 + i] = static_cast<std::uint8_t>(raw >> (8 * i));
            ++slot;
        }
    }
    SealChecksum(&disk.data);
    if (const nlohmann::json* f = json_read::Member(d, "failing"); f && f->is_object()) {
        for (const auto& [name, error] : f->items()) {
            auto it = CallNames().find(name);
            std::uint64_t code = 0;
            if (it != CallNames().end() && Number64(error, &code) && code <= 0xFFFFFFFFu) {
                failures[it->second] = static_cast<std::uint32_t>(code);
            }
        }
    }
}

bool SimStorage::Fails(Call call) {
    auto it = failures.find(call);
    if (it == failures.end()) return false;
    SetLastErrorCode(it->second);
    return true;
}

bool SimStorage::SystemFolder(std::u16string* folder) {
    if (Fails(Call::SystemFolder)) return false;
    *folder = systemFolder;
    return true;
}

StorageHandle SimStorage::Open(const char16_t* path, std::uint32_t access) {
    if (!path) return Fail(kErrorInvalidParameter), kInvalidStorage;
    const std::u16string_view name(path);
    const std::u16string_view prefix = u"\\\\.\\";
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
        return Fail(kErrorFileNotFound), kInvalidStorage;
    }
    const std::u16string_view device = name.substr(prefix.size());
    Handle handle{};
    if (systemFolder.size() >= 2 && SameText(device, std::u16string_view(systemFolder).substr(0, 2))) {
        if (Fails(Call::OpenVolume)) return kInvalidStorage;
        handle = {false, access};
    } else if (SameText(device, u"PhysicalDrive" + Utf8ToUtf16(std::to_string(disk.deviceNumber)))) {
        if (!disk.present) return Fail(kErrorFileNotFound), kInvalidStorage;
        if (Fails(access ? Call::OpenDriveReadWrite : Call::OpenDrive)) return kInvalidStorage;
        handle = {true, access};
    } else {
        return Fail(kErrorFileNotFound), kInvalidStorage;
    }
    const StorageHandle made = next_++;
    handles_[made] = handle;
    return made;
}

bool SimStorage::DeviceIoControl(StorageHandle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                                 void* out, std::uint32_t outSize, std::uint32_t* returned) {
    *returned = 0;
    auto it = handles_.find(device);
    if (it == handles_.end()) return Fail(kErrorInvalidHandle);
    if (it->second.drive && !disk.present) return Fail(kErrorFileNotFound);
    switch (code) {
    case kIoctlDiskGetDriveGeometry:
        if (Fails(Call::Geometry)) return false;
        if (!out || outSize < sizeof(DiskGeometry)) return Fail(kErrorInsufficientBuffer);
        std::memcpy(out, &disk.geometry, sizeof(DiskGeometry));
        *returned = sizeof(DiskGeometry);
        return true;
    case kIoctlStorageGetDeviceNumber: {
        if (Fails(Call::DeviceNumber)) return false;
        if (!out || outSize < sizeof(StorageDeviceNumber)) return Fail(kErrorInsufficientBuffer);
        const StorageDeviceNumber number{kFileDeviceDisk, disk.deviceNumber, it->second.drive ? 0u : 1u};
        std::memcpy(out, &number, sizeof number);
        *returned = sizeof number;
        return true;
    }
    case kSmartGetVersion:
    case kSmartSendDriveCommand:
    case kSmartRcvDriveData:
        return SmartRequest(it->second, code, in, inSize, out, outSize, returned);
    default:
        return Fail(kErrorInvalidFunction);
    }
}

bool SimStorage::SmartRequest(const Handle& handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                              void* out, std::uint32_t outSize, std::uint32_t* returned) {
    // The S.M.A.R.T. requests are the disk's, and need read and write access to it.
    if (!handle.drive) return Fail(kErrorInvalidFunction);
    if ((handle.access & (kGenericRead | kGenericWrite)) != (kGenericRead | kGenericWrite)) {
        return Fail(kErrorAccessDenied);
    }
    if (code == kSmartGetVersion) {
        if (Fails(Call::Version)) return false;
        if (!out || outSize < sizeof(SmartVersion)) return Fail(kErrorInsufficientBuffer);
        SmartVersion version{};
        version.version = 1;
        version.revision = 1;
        version.ideDeviceMap = static_cast<std::uint8_t>(1u << (disk.deviceNumber & 3));
        version.capabilities = 7;  // ATA IDENTIFY, ATAPI IDENTIFY, S.M.A.R.T. commands
        std::memcpy(out, &version, sizeof version);
        *returned = sizeof version;
        return true;
    }
    if (!in || inSize < sizeof(SmartCommandIn)) return Fail(kErrorInvalidParameter);
    SmartCommandIn command;
    std::memcpy(&command, in, sizeof command);
    commands.push_back({code, command});
    const IdeRegisters& r = command.registers;
    const bool wantsData = code == kSmartRcvDriveData;
    const std::uint32_t dataSize = wantsData ? kAtaSectorSize : 0;
    if (wantsData && command.bufferSize < kAtaSectorSize) return Fail(kErrorInvalidParameter);
    if (!out || outSize < sizeof(SmartCommandOut) + dataSize) return Fail(kErrorInsufficientBuffer);

    const bool smartRegisters = r.command == kSmartCommand && r.cylinderLow == 0x4F && r.cylinderHigh == 0xC2;
    const bool rightDrive = (r.driveHead & 0xEF) == 0xA0 && ((r.driveHead >> 4) & 1) == (disk.deviceNumber & 1);
    const std::uint8_t* data = nullptr;
    bool accepted = false;
    if (!wantsData && smartRegisters && (r.features == kEnableFeature || r.features == kDisableFeature)) {
        if (Fails(Call::Enable)) return false;
        accepted = rightDrive;
        if (accepted) disk.smartEnabled = r.features == kEnableFeature;
    } else if (wantsData && r.command == kIdentifyCommand) {
        if (Fails(Call::Identify)) return false;
        accepted = rightDrive;
        data = disk.identify.data();
    } else if (wantsData && smartRegisters && r.features == kReadDataFeature) {
        if (Fails(Call::ReadData)) return false;
        accepted = rightDrive && disk.smartEnabled;
        data = disk.data.data();
    }
    SmartCommandOut reply{};
    if (accepted) {
        reply.bufferSize = dataSize;
        if (data) std::memcpy(static_cast<std::uint8_t*>(out) + sizeof reply, data, dataSize);
    } else {
        reply.driverError = kSmartIdeError;
        reply.ideError = kAtaAbort;
    }
    std::memcpy(out, &reply, sizeof reply);
    *returned = static_cast<std::uint32_t>(sizeof reply + (accepted ? dataSize : 0));
    return true;
}

bool SimStorage::GetDevicePowerState(StorageHandle device, bool* on) {
    auto it = handles_.find(device);
    if (it == handles_.end()) return Fail(kErrorInvalidHandle);
    if (Fails(Call::PowerState)) return false;
    *on = disk.spinning;
    return true;
}

void SimStorage::Close(StorageHandle device) { handles_.erase(device); }

std::uint8_t* SimStorage::Slot(std::uint8_t id) {
    if (id == 0) return nullptr;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        std::uint8_t* s = &disk.data[2 + slot * kSlotSize];
        if (s[0] == id) return s;
    }
    return nullptr;
}

bool SimStorage::AdvanceRaw(std::uint8_t id, std::uint64_t by) {
    std::uint8_t* s = Slot(id);
    if (!s) return false;
    std::uint64_t raw = 0;
    for (int i = 5; i >= 0; --i) raw = (raw << 8) | s[5 + i];
    raw += by;
    for (int i = 0; i < 6; ++i) s[5 + i] = static_cast<std::uint8_t>(raw >> (8 * i));
    SealChecksum(&disk.data);
    return true;
}

void SimStorage::SealChecksum(std::array<std::uint8_t, kAtaSectorSize>* sector) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < kAtaSectorSize; ++i) sum = static_cast<std::uint8_t>(sum + (*sector)[i]);
    (*sector)[kAtaSectorSize - 1] = static_cast<std::uint8_t>(0x100 - sum);
}

std::array<std::uint8_t, kAtaSectorSize> SimStorage::IdentifyData(const std::string& model, const std::string& serial,
                                                                  std::uint16_t rotationRate) {
    std::array<std::uint8_t, kAtaSectorSize> words{};
    words[0] = 0x40;  // word 0: fixed ATA device
    PutAtaString(&words[10 * 2], serial, 20);
    PutAtaString(&words[27 * 2], model, 40);
    words[82 * 2] = 0x01;  // word 82 bit 0: S.M.A.R.T. feature set supported
    words[217 * 2] = static_cast<std::uint8_t>(rotationRate);
    words[217 * 2 + 1] = static_cast<std::uint8_t>(rotationRate >> 8);
    words[255 * 2] = 0xA5;  // word 255: signature and checksum
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < kAtaSectorSize; ++i) sum = static_cast<std::uint8_t>(sum + words[i]);
    words[511] = static_cast<std::uint8_t>(0x100 - sum);
    return words;
}

std::shared_ptr<IStorage> MakeSimStorage(const MachineSnapshot& machine) {
    const nlohmann::json* section = machine.Section("storage");
    if (!section) return nullptr;
    return std::make_shared<SimStorage>(section);
}

std::shared_ptr<IStorage> MakeAbsentStorage() {
    auto storage = std::make_shared<SimStorage>(nullptr);
    storage->disk.present = false;
    return storage;
}

}  // namespace quarro::platform::sim
