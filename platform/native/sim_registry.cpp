// The registry of the native build: the in-memory registry, filled from the snapshot's
// registry.reg when it has one.
#include "platform/concerns.h"
#include "platform/native/memory_registry.h"
#include "platform/sim/machine_snapshot.h"

namespace quarro::platform::sim {

std::shared_ptr<IRegistry> MakeSimRegistry(const MachineSnapshot* machine, std::string* loadError) {
    auto registry = std::make_shared<MemoryRegistry>();
    const std::string regFile = machine ? machine->FilePath("registry.reg") : std::string();
    std::string error;
    if (!regFile.empty() && !LoadRegFileFromPath(regFile, *registry, &error) && loadError) {
        *loadError = regFile + ": " + error;
    }
    return registry;
}

}  // namespace quarro::platform::sim
