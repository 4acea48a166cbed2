#include "common/authority.h"

#include "platform/platform.h"

int CAuthority::IsAdministrator() const {
    bool member = false;
    if (!quarro::platform::Security().CheckAdministratorsMembership(&member)) return 0;
    return member ? 1 : 0;
}
