// CAudit: the audit test. Answers whether this machine is in a system-preparation (audit) state,
// in which a program that records the machine's history must do nothing: the image is still being
// prepared by its maker and what it would record belongs to no customer.
//
// The test depends on the operating system (an OsType code of CWinVersion) and reads only the
// registry and the file system through the platform concerns, so it runs unchanged natively.
#pragma once

#include <cstdint>

class CAudit {
public:
    // Flag bits of IsAudit. Only the system-preparation test is defined; without it nothing is
    // tested and the answer is "not audit".
    static constexpr std::uint32_t kSysprepFlag = 2;

    explicit CAudit(std::int16_t osType) : OsType(osType) {}
    virtual ~CAudit() = default;

    // 1 = audit state, 0 = not. By system:
    //   Windows 2000  "C:\sysprep\shutdown.exe" can be opened for reading
    //   Windows XP    HKLM "SYSTEM\Setup" "AuditInProgress" (REG_DWORD) reads 1
    //   Vista         "ImageState" reads a text other than IMAGE_STATE_COMPLETE and
    //                 IMAGE_STATE_UNDEPLOYABLE
    //   Windows 7     as Vista; failing that, the maker's "Audit" (REG_DWORD) reads non-zero
    //   Windows 8/8.1 "Audit" when it reads (non-zero = audit); else "ImageState" reads a text
    //                 other than IMAGE_STATE_COMPLETE
    //   others        never
    // Both values are read from the 64-bit registry view, where Windows setup and the maker's
    // image tools write them (on 32-bit Windows the view flag is ignored).
    int IsAudit(std::uint32_t flags) const;

    const std::int16_t OsType;
};
