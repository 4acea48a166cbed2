#include "common/audit.h"

#include <string>

#include "common/reg.h"
#include "common/win_version.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace {

constexpr char16_t kSysprepShutdown[] = u"C:\\sysprep\\shutdown.exe";
constexpr char16_t kSetupKey[] = u"SYSTEM\\Setup";
constexpr char16_t kStateKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\State";
constexpr char16_t kMakerSetupKey[] = u"SOFTWARE\\Mirelta\\Kestrel\\Setup";

bool ReadDword(const char16_t* key, const char16_t* name, std::uint32_t* value) {
    return CReg().ReadDword(pf::kHkeyLocalMachine, key, name, value, pf::kKeyWow64_64Key) == 1;
}

// "ImageState" as text; false when it does not read as a string.
bool ReadImageState(std::u16string* state) {
    char16_t buffer[260] = {};
    std::uint32_t bytes = sizeof(buffer) - sizeof(char16_t);
    if (!CReg().ReadString(pf::kHkeyLocalMachine, kStateKey, u"ImageState", buffer, &bytes, pf::kKeyWow64_64Key)) {
        return false;
    }
    buffer[259] = 0;
    *state = buffer;
    return true;
}

bool ImageStateOtherThan(const char16_t* first, const char16_t* second) {
    std::u16string state;
    if (!ReadImageState(&state)) return false;
    return state != first && (second == nullptr || state != second);
}

}  // namespace

int CAudit::IsAudit(std::uint32_t flags) const {
    if ((flags & kSysprepFlag) == 0) return 0;
    std::uint32_t value = 0;
    switch (OsType) {
    case CWinVersion::kWindows2000:
        return pf::Files().CanOpenForReading(kSysprepShutdown) ? 1 : 0;
    case CWinVersion::kWindowsXp:
        return ReadDword(kSetupKey, u"AuditInProgress", &value) && value == 1 ? 1 : 0;
    case CWinVersion::kVista:
        return ImageStateOtherThan(u"IMAGE_STATE_COMPLETE", u"IMAGE_STATE_UNDEPLOYABLE") ? 1 : 0;
    case CWinVersion::kWindows7:
        if (ImageStateOtherThan(u"IMAGE_STATE_COMPLETE", u"IMAGE_STATE_UNDEPLOYABLE")) return 1;
        return ReadDword(kMakerSetupKey, u"Audit", &value) && value != 0 ? 1 : 0;
    case CWinVersion::kWindows8:
    case CWinVersion::kWindows81:
        if (ReadDword(kMakerSetupKey, u"Audit", &value)) return value != 0 ? 1 : 0;
        return ImageStateOtherThan(u"IMAGE_STATE_COMPLETE", nullptr) ? 1 : 0;
    default:
        return 0;
    }
}
