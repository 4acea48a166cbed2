// The security concern on Windows: CheckTokenMembership with the Administrators alias SID.
#include "platform/concerns.h"
#include "platform/security.h"
#include "platform/win32/handles.h"

namespace quarro::platform::win32 {

namespace {

class Win32Security : public ISecurity {
public:
    bool CheckAdministratorsMembership(bool* isMember) override {
        SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
        quarro::win32::UniqueSid administrators;
        if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                      0, 0, 0, administrators.Put())) {
            return false;
        }
        BOOL member = FALSE;
        if (!CheckTokenMembership(nullptr, administrators.Get(), &member) || !isMember) return false;
        *isMember = member != FALSE;
        return true;
    }
};

}  // namespace

std::shared_ptr<ISecurity> MakeWin32Security() { return std::make_shared<Win32Security>(); }

}  // namespace quarro::platform::win32
