#include "smart/snapshot.h"

#include <cctype>
#include <cstring>
#include <string>

#include "platform/last_error.h"

namespace quarro::smart {

namespace pf = quarro::platform;

namespace {

constexpr std::size_t kSlotCount = 30;
constexpr std::size_t kSlotSize = 12;
constexpr std::size_t kSlotStart = 2;
constexpr int kChecksumFamily = 10;

constexpr std::uint8_t kSmartCommand = 0xB0;
constexpr std::uint8_t kIdentifyCommand = 0xEC;
constexpr std::uint8_t kEnableFeature = 0xD8;
constexpr std::uint8_t kReadDataFeature = 0xD0;

// Model prefixes of the drive families, in the order they are tried.
constexpr const char* kFamilies[] = {
    "UNKNOWN", "MIRELTA MK", "FUJITSU MHV", "HITACHI_DK23E", "HTS", "Hitachi HTS", "IC25N",
    "SAMSUNG", "MAXTOR",     "FUJITSU",     "TS",            "WDC", "ST",          "HGST HTS",
};

void NoDisk(Snapshot* snapshot, std::uint8_t step, std::uint32_t code) {
    snapshot->state = kNoDisk;
    snapshot->failureStep = step;
    snapshot->failureCode = code;
}

// A S.M.A.R.T. command with the registers of the ATA command set for `drive`.
pf::SmartCommandIn Command(const SystemDrive& drive, std::uint8_t command, std::uint8_t features,
                           std::uint32_t bufferSize) {
    pf::SmartCommandIn in{};
    in.bufferSize = bufferSize;
    in.registers.features = features;
    in.registers.sectorCount = 1;
    in.registers.sectorNumber = 1;
    if (command == kSmartCommand) {
        in.registers.cylinderLow = 0x4F;
        in.registers.cylinderHigh = 0xC2;
    }
    in.registers.driveHead = (drive.number & 1) ? 0xB0 : 0xA0;
    in.registers.command = command;
    in.driveNumber = 0;
    return in;
}

// Sends a command; with `data` the 512 bytes that came back. False unless the driver answered
// with a whole reply and a clean status.
bool Send(pf::IStorage& storage, pf::StorageHandle device, std::uint32_t code, const pf::SmartCommandIn& in,
          std::array<std::uint8_t, kSectorSize>* data) {
    std::uint8_t reply[sizeof(pf::SmartCommandOut) + kSectorSize] = {};
    const std::uint32_t want = static_cast<std::uint32_t>(sizeof(pf::SmartCommandOut) + (data ? kSectorSize : 0));
    std::uint32_t returned = 0;
    if (!storage.DeviceIoControl(device, code, &in, sizeof in, reply, want, &returned)) return false;
    if (returned < want) return false;
    pf::SmartCommandOut status;
    std::memcpy(&status, reply, sizeof status);
    if (status.driverError != 0) return false;
    if (data) std::memcpy(data->data(), reply + sizeof status, kSectorSize);
    return true;
}

// An ATA string: `words` words, two characters each, the first in the high byte.
std::string AtaString(const std::array<std::uint8_t, kSectorSize>& identify, std::size_t firstWord, std::size_t words) {
    std::string text;
    for (std::size_t i = 0; i < words * 2; ++i) {
        const char c = static_cast<char>(identify[firstWord * 2 + (i ^ 1)]);
        text.push_back(c == '\0' ? ' ' : c);
    }
    return text;
}

}  // namespace

void FindSystemDrive(pf::IStorage& storage, SystemDrive* drive, Snapshot* failure) {
    drive->name.clear();
    drive->number = 0;
    std::u16string folder;
    if (!storage.SystemFolder(&folder) || folder.size() < 2) {
        NoDisk(failure, kStepNoSystemFolder, pf::GetLastErrorCode());
        return;
    }
    const std::u16string volumeName = u"\\\\.\\" + folder.substr(0, 2);
    pf::OwnedStorage volume(storage, storage.Open(volumeName.c_str(), 0));
    if (!volume) {
        NoDisk(failure, kStepNoDriveName, pf::GetLastErrorCode());
        return;
    }
    pf::DiskGeometry geometry{};
    std::uint32_t returned = 0;
    if (!storage.DeviceIoControl(volume.Get(), pf::kIoctlDiskGetDriveGeometry, nullptr, 0, &geometry, sizeof geometry,
                                 &returned)) {
        NoDisk(failure, kStepNoDriveName, pf::GetLastErrorCode());
        return;
    }
    if (returned < sizeof geometry || geometry.mediaType != pf::kFixedMedia) {
        NoDisk(failure, kStepNoDriveName, 0);
        return;
    }
    pf::StorageDeviceNumber number{};
    if (!storage.DeviceIoControl(volume.Get(), pf::kIoctlStorageGetDeviceNumber, nullptr, 0, &number, sizeof number,
                                 &returned)) {
        NoDisk(failure, kStepNoDriveName, pf::GetLastErrorCode());
        return;
    }
    if (returned < sizeof number || number.deviceNumber >= 4) {
        NoDisk(failure, kStepNoDriveName, 0);
        return;
    }
    drive->number = number.deviceNumber;
    drive->name = u"\\\\.\\PhysicalDrive" + std::u16string(1, static_cast<char16_t>(u'0' + number.deviceNumber));
}

int DriveFamily(const std::string& model) {
    std::size_t first = model.find_first_not_of(' ');
    std::size_t last = model.find_last_not_of(' ');
    const std::string trimmed = first == std::string::npos ? std::string() : model.substr(first, last - first + 1);
    for (int index = 0; index < static_cast<int>(sizeof kFamilies / sizeof kFamilies[0]); ++index) {
        const std::string prefix = kFamilies[index];
        if (trimmed.size() < prefix.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < prefix.size() && same; ++i) {
            same = std::toupper(static_cast<unsigned char>(trimmed[i])) == std::toupper(static_cast<unsigned char>(prefix[i]));
        }
        if (same) return index;
    }
    return 0;
}

Snapshot TakeSnapshot(pf::IStorage& storage, const SystemDrive& drive, int event, int family, DriveIdentity* identity,
                      bool worstInByte8) {
    Snapshot snapshot;
    if (event < 1 || event > kEventPowerOn) {
        snapshot.state = kNotification;
        return snapshot;
    }
    if (drive.name.empty()) {
        NoDisk(&snapshot, kStepNoDriveName, 0);
        return snapshot;
    }
    {
        pf::OwnedStorage probe(storage, storage.Open(drive.name.c_str(), 0));
        if (!probe) {
            NoDisk(&snapshot, kStepCannotOpen, pf::GetLastErrorCode());
            return snapshot;
        }
        bool on = false;
        if (!storage.GetDevicePowerState(probe.Get(), &on) || !on) {
            snapshot.state = kNotSpunUp;  // nothing is sent to a disk that does not spin
            return snapshot;
        }
    }
    pf::OwnedStorage device(storage, storage.Open(drive.name.c_str(), pf::kGenericRead | pf::kGenericWrite));
    if (!device) {
        NoDisk(&snapshot, kStepCannotOpenReadWrite, pf::GetLastErrorCode());
        return snapshot;
    }
    pf::SmartVersion version{};
    std::uint32_t returned = 0;
    if (!storage.DeviceIoControl(device.Get(), pf::kSmartGetVersion, nullptr, 0, &version, sizeof version, &returned) ||
        returned < sizeof version) {
        snapshot.state = kUnusable;
        return snapshot;
    }
    if (event != kEventSample &&
        !Send(storage, device.Get(), pf::kSmartSendDriveCommand, Command(drive, kSmartCommand, kEnableFeature, 0),
              nullptr)) {
        snapshot.state = kUnusable;
        return snapshot;
    }
    if (event == kEventPowerOn) {
        std::array<std::uint8_t, kSectorSize> words{};
        if (!Send(storage, device.Get(), pf::kSmartRcvDriveData, Command(drive, kIdentifyCommand, 0, kSectorSize),
                  &words)) {
            snapshot.state = kUnusable;
            return snapshot;
        }
        DriveIdentity found;
        found.model = AtaString(words, 27, 20);
        found.serial = AtaString(words, 10, 10);
        found.solidState = (words[217 * 2] | (words[217 * 2 + 1] << 8)) == 1;
        family = DriveFamily(found.model);
        if (identity) *identity = found;
    }
    if (!Send(storage, device.Get(), pf::kSmartRcvDriveData, Command(drive, kSmartCommand, kReadDataFeature, kSectorSize),
              &snapshot.sector)) {
        snapshot.state = kUnusable;
        return snapshot;
    }
    snapshot.sectorRead = true;
    snapshot.state = Compact(snapshot.sector, family, worstInByte8, &snapshot.entries);
    return snapshot;
}

std::int32_t Compact(const std::array<std::uint8_t, kSectorSize>& sector, int family, bool worstInByte8,
                     Entries* entries) {
    entries->fill(0);
    std::int32_t count = 0;
    bool anyRaw = false;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const std::uint8_t* s = &sector[kSlotStart + slot * kSlotSize];
        if (s[0] == 0) continue;
        std::uint8_t* e = &(*entries)[static_cast<std::size_t>(count) * kEntrySize];
        e[0] = s[0];
        e[1] = s[3];
        std::memcpy(&e[2], &s[5], 6);
        if (worstInByte8) e[8] = s[4];
        for (int i = 5; i <= 10; ++i) anyRaw = anyRaw || s[i] != 0;
        ++count;
    }
    if (count == 0) return kUnusable;
    if (!anyRaw && (family != kChecksumFamily || sector[kSectorSize - 1] == 0)) return kUnusable;
    return count;
}

}  // namespace quarro::smart
