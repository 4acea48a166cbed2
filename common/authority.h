// CAuthority: is the current user a member of the local Administrators group?
#pragma once

class CAuthority {
public:
    CAuthority() = default;
    virtual ~CAuthority() = default;

    // Membership of the caller's effective token; 0 when the check cannot be made.
    int IsAdministrator() const;
};
