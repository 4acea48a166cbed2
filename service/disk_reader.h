// The log engine's disk: the system hard disk read through the storage concern by the shared
// S.M.A.R.T. snapshot code.
#pragma once

#include "smart/snapshot.h"
#include "service/watch_types.h"

namespace watch {

// Finds the drive at power-on and reuses it for later events; the drive family found at
// power-on selects the compaction rule afterwards.
class StorageDiskReader : public IDiskReader {
public:
    void Take(int event, SmartSnapshot* snapshot, DriveIdentity* identity) override;

private:
    quarro::smart::SystemDrive drive_;
    quarro::smart::Snapshot discovery_;  // why no drive was found
    int family_ = 0;
};

}  // namespace watch
