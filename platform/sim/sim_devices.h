// The simulated devices of a machine snapshot, served through the device-interface concern.
#pragma once

#include <memory>

#include "platform/device_io.h"

namespace quarro::platform::sim {

class MachineSnapshot;

// The devices the snapshot describes (the Mirelta Misc Driver's interface when machine.json has
// a "miscDriver" section), or null when it describes none, so that the caller keeps the real ones.
std::shared_ptr<IDeviceInterfaces> MakeSimDeviceInterfaces(const MachineSnapshot& machine);

// A machine with no such devices at all: every class enumerates empty.
std::shared_ptr<IDeviceInterfaces> MakeAbsentDeviceInterfaces();

}  // namespace quarro::platform::sim
