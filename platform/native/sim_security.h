// Administrator membership in the native build: the "administrator" field of machine.json's
// "os" section (default true).
#pragma once

#include <nlohmann/json.hpp>

#include "platform/security.h"

namespace quarro::platform::sim {

class SimSecurity : public ISecurity {
public:
    explicit SimSecurity(const nlohmann::json* os);
    bool CheckAdministratorsMembership(bool* isMember) override;

    bool administrator = true;
    bool checkFails = false;
};

}  // namespace quarro::platform::sim
