#include "platform/native/sim_security.h"

#include "platform/concerns.h"
#include "platform/sim/machine_snapshot.h"

namespace quarro::platform::sim {

SimSecurity::SimSecurity(const nlohmann::json* os) : administrator(SectionField<bool>(os, "administrator", true)) {}

bool SimSecurity::CheckAdministratorsMembership(bool* isMember) {
    if (checkFails || !isMember) return false;
    *isMember = administrator;
    return true;
}

std::shared_ptr<ISecurity> MakeSimSecurity(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimSecurity>(machine ? machine->Section("os") : nullptr);
}

}  // namespace quarro::platform::sim
