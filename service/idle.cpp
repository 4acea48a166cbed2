#include "service/idle.h"

#include "common/audit.h"
#include "common/win_version.h"

bool ShouldStayIdle(std::int16_t osType, const CAudit& audit, const std::function<bool()>& sessionOpens) {
    switch (osType) {
    case CWinVersion::kWindows2000:
    case CWinVersion::kWindowsXp:
    case CWinVersion::kVista:
    case CWinVersion::kWindows7:
    case CWinVersion::kWindows8:
    case CWinVersion::kWindows81:
    case CWinVersion::kFutureOs:
        if (audit.IsAudit(CAudit::kSysprepFlag)) return true;
        return !sessionOpens();
    default:
        return true;
    }
}
