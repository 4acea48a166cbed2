#include "service/disk_reader.h"

#include <cstring>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/storage.h"

namespace smart = quarro::smart;

namespace watch {

namespace {

void Copy(const smart::Snapshot& from, SmartSnapshot* to) {
    static_assert(sizeof(to->entries) <= smart::kEntryBytes, "entries fit the shared layout");
    static_assert(sizeof(to->sector) == smart::kSectorSize, "one data sector");
    to->state = from.state;
    std::memcpy(to->entries, from.entries.data(), sizeof(to->entries));
    std::memcpy(to->sector, from.sector.data(), sizeof(to->sector));
    to->failureStep = from.failureStep;
    to->failureCode = from.failureCode;
}

}  // namespace

void StorageDiskReader::Take(int event, SmartSnapshot* snapshot, DriveIdentity* identity) {
    quarro::platform::IStorage& storage = quarro::platform::Storage();
    if (event == kPowerOn) {
        drive_ = smart::SystemDrive();
        discovery_ = smart::Snapshot();
        smart::FindSystemDrive(storage, &drive_, &discovery_);
    }
    if (drive_.name.empty()) {
        Copy(discovery_, snapshot);
        if (snapshot->state != kStateNoDisk) {  // no power-on yet
            snapshot->state = kStateNoDisk;
            snapshot->failureStep = smart::kStepNoDriveName;
        }
        return;
    }
    smart::DriveIdentity drive;
    const smart::Snapshot taken = smart::TakeSnapshot(storage, drive_, event, family_, &drive, false);
    if (event == kPowerOn) {
        family_ = smart::DriveFamily(drive.model);
        quarro::text::CopyBounded(identity->model, sizeof(identity->model), drive.model);
        quarro::text::CopyBounded(identity->serial, sizeof(identity->serial), drive.serial);
        identity->solidState = drive.solidState;
    }
    Copy(taken, snapshot);
}

}  // namespace watch
