#include "utility/toolbench_core.h"

#include <string>

#include "common/authority.h"
#include "common/driver_reg.h"
#include "common/misc_common.h"
#include "common/win_version.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace quarro::toolbench {

std::uint32_t PolicyMinutes(const PolicyTimeouts& policy, int index) {
    if (policy.idleActionHibernate[index]) return policy.idleSeconds[index] / 60;
    if (policy.dozeToHibernateSeconds[index] == 0) return 0;
    return (policy.dozeToHibernateSeconds[index] + policy.idleSeconds[index]) / 60;
}

namespace {

class SessionRegistry : public IDriverRegistry {
public:
    bool Open() { return session_.Open() == MiscCommon::kMiscSuccess; }
    bool ReadDword(const char16_t* path, const char16_t* name, std::uint32_t* value) override {
        return reg_.ReadDword(pf::kHkeyLocalMachine, path, name, value, 0) == 1;
    }
    bool KeyExists(const char16_t* path) override { return reg_.KeyExists(pf::kHkeyLocalMachine, path, 0) == 1; }
    bool CreateKey(const char16_t* path) override { return reg_.CreateKey(pf::kHkeyLocalMachine, path, 0) == 1; }
    bool WriteDword(const char16_t* path, const char16_t* name, std::uint32_t value) override {
        return reg_.WriteDword(pf::kHkeyLocalMachine, path, name, value, 0) == 1;
    }

private:
    MiscCommon::CMiscCommon session_;
    CDriverReg reg_{&session_};
};

}  // namespace

std::unique_ptr<IDriverRegistry> OpenDriverSession() {
    auto driver = std::make_unique<SessionRegistry>();
    if (!driver->Open()) return nullptr;
    return driver;
}

namespace {

class MutexGuard {
public:
    MutexGuard() = default;
    ~MutexGuard() {
        if (handle) pf::Mutexes().Close(handle);
    }
    MutexGuard(const MutexGuard&) = delete;
    MutexGuard& operator=(const MutexGuard&) = delete;
    pf::MutexHandle handle = 0;
};

// The time-outs by OS identity, in minutes, mains [0] and battery [1]; false when a needed value
// could not be read (or, before Vista, the user may not read the policy).
bool ReadTimeouts(std::int16_t osType, bool batteries, IPowerFacts& power, IDriverRegistry& driver,
                  std::uint32_t minutes[2], Outcome* failure) {
    const int count = batteries ? 2 : 1;
    *failure = Outcome::ReadFailed;
    if (osType == CWinVersion::kVista || osType == CWinVersion::kWindows7) {
        for (int i = 0; i < count; ++i) {
            std::uint32_t seconds = 0;
            if (!power.ActivePlanHibernateSeconds(i == 1, &seconds)) return false;
            minutes[i] = seconds / 60;
        }
        return true;
    }
    if (osType == CWinVersion::kWindows8 || osType == CWinVersion::kWindows81 || osType == CWinVersion::kFutureOs) {
        // The maker's set-up values are minutes already.
        if (driver.ReadDword(kKestrelKey, u"Hib_AC", &minutes[0])) {
            return !batteries || driver.ReadDword(kKestrelKey, u"Hib_DC", &minutes[1]);
        }
        for (int i = 0; i < count; ++i) {
            std::uint32_t seconds = 0;
            if (!power.DefaultHibernateSeconds(kDefaultsPlan, i == 1, &seconds)) return false;
            minutes[i] = seconds / 60;
        }
        return true;
    }
    if (!CAuthority().IsAdministrator()) {
        *failure = Outcome::NotAdministrator;
        return false;
    }
    PolicyTimeouts policy;
    if (!power.CurrentPolicy(&policy)) return false;
    for (int i = 0; i < count; ++i) minutes[i] = PolicyMinutes(policy, i);
    return true;
}

}  // namespace

Outcome Run(const Environment& environment) {
    MutexGuard mutex;
    bool existed = false;
    mutex.handle = pf::Mutexes().Create(kMutexName, &existed);
    if (!mutex.handle || existed) return Outcome::AlreadyRunning;

    if (!environment.inAudit || environment.inAudit()) return Outcome::Audit;

    if (pf::Files().CanOpenForReading(kStopFile)) return Outcome::StopFile;

    std::unique_ptr<IDriverRegistry> driver = environment.openDriver ? environment.openDriver() : nullptr;
    if (!driver) return Outcome::NoDriver;
    if (!environment.power) return Outcome::NoCapabilities;
    IPowerFacts& power = *environment.power;

    bool batteries = false;
    if (!power.BatteriesPresent(&batteries)) return Outcome::NoCapabilities;

    std::uint32_t ignored = 0;
    if (driver->ReadDword(kQuarroKey, kMainsValue, &ignored)) return Outcome::AlreadyRecorded;
    if (batteries && driver->ReadDword(kQuarroKey, kBatteryValue, &ignored)) return Outcome::AlreadyRecorded;

    if (!power.HibernateAllowed()) return Outcome::HibernateNotAllowed;

    const CWinVersion version;
    std::uint32_t minutes[2] = {};
    Outcome failure = Outcome::ReadFailed;
    if (!ReadTimeouts(version.OsType, batteries, power, *driver, minutes, &failure)) return failure;

    if (!driver->KeyExists(kQuarroKey) && (!driver->CreateKey(kMireltaKey) || !driver->CreateKey(kQuarroKey))) {
        return Outcome::WriteFailed;
    }
    if (!driver->WriteDword(kQuarroKey, kMainsValue, minutes[0])) return Outcome::WriteFailed;
    if (batteries && !driver->WriteDword(kQuarroKey, kBatteryValue, minutes[1])) return Outcome::WriteFailed;
    return Outcome::Written;
}

}  // namespace quarro::toolbench
