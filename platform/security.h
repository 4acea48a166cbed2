// The security concern: membership of the caller's effective token in the built-in
// Administrators group.
#pragma once

namespace quarro::platform {

class ISecurity {
public:
    virtual ~ISecurity() = default;

    // Builds the Administrators alias SID and asks CheckTokenMembership with the caller's
    // effective token. False when the SID cannot be built or the check fails; otherwise
    // *isMember holds the answer.
    virtual bool CheckAdministratorsMembership(bool* isMember) = 0;
};

}  // namespace quarro::platform
