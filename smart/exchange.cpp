#include "smart/exchange.h"

#include "smart/snapshot.h"

namespace quarro::smart {

bool AnswerRequest(std::uint8_t mode, platform::IStorage& storage, std::vector<std::uint8_t>* reply) {
    reply->clear();
    if (mode != kModeEntries && mode != kModeWithSector) return false;
    // Every request finds the drive again: a server runs for days, and disks come and go.
    SystemDrive drive;
    Snapshot snapshot;
    FindSystemDrive(storage, &drive, &snapshot);
    if (!drive.name.empty()) snapshot = TakeSnapshot(storage, drive, kEventPowerOn, 0, nullptr, true);
    const std::uint32_t count = snapshot.state > 0 ? static_cast<std::uint32_t>(snapshot.state) : 0;
    for (int i = 0; i < 4; ++i) reply->push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    if (count > 0) reply->insert(reply->end(), snapshot.entries.begin(), snapshot.entries.end());
    if (mode == kModeWithSector && snapshot.sectorRead) {
        reply->insert(reply->end(), snapshot.sector.begin(), snapshot.sector.end());
    }
    return true;
}

}  // namespace quarro::smart
