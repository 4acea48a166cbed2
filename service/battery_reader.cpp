#include "service/battery_reader.h"

#include <string>
#include <vector>

#include "platform/battery.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace watch {

int ConcernBatteryReader::Read(int wanted, BatteryCharge charges[2]) {
    pf::IBatteries& batteries = pf::Batteries();
    pf::OwnedBatterySet set(batteries, batteries.OpenSet(pf::kBatterySetInterfaces | pf::kBatterySetPresent));
    if (!set || wanted <= 0) return 0;
    std::vector<pf::OwnedBattery> open;
    for (std::uint32_t index = 0; index < 100 && static_cast<int>(open.size()) < wanted; ++index) {
        std::u16string path;
        if (!batteries.InterfacePath(set.Get(), index, &path)) continue;
        pf::OwnedBattery battery(batteries, batteries.Open(path.c_str()));
        if (battery) open.push_back(std::move(battery));
    }
    for (std::size_t n = 0; n < open.size() && n < 2; ++n) {
        BatteryCharge& charge = charges[n];
        charge = BatteryCharge();
        std::uint32_t tag = 0;
        pf::BatteryStatus status;
        if (!batteries.QueryTag(open[n].Get(), 0, &tag) || !batteries.QueryStatus(open[n].Get(), tag, 0, &status)) {
            continue;
        }
        if (status.capacity == pf::kBatteryUnknownValue || status.rate == pf::kBatteryUnknownRate) continue;
        charge.ok = true;
        charge.capacityMwh = status.capacity;
        charge.rateMw = status.rate;
    }
    return static_cast<int>(open.size());
}

}  // namespace watch
