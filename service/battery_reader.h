// The log engine's battery readings through the battery concern.
#pragma once

#include "service/watch_types.h"

namespace watch {

// Opens present battery interfaces (scanning at most 100 indexes) until `wanted` are open, then
// reads tag and status of the first two. A capacity or rate the driver reports as unknown counts
// as a failed reading.
class ConcernBatteryReader : public IBatteryReader {
public:
    int Read(int wanted, BatteryCharge charges[2]) override;
};

}  // namespace watch
