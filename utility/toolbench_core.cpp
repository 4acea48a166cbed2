#include "utility/toolbench_core.h"

#include <string>

#include "common/authority.h"
#include "common/driver_reg.h"
#include "common/misc_common.h"
#include "common/win_version.h"
#include "platform/platform.h"
#include "platform/power.h"

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

// The hibernate-after setting of the sleep subgroup.
const char kSleepSubgroup[] = "238c9fa8-0aad-41ed-83f4-97be242c8f20";
const char kHibernateAfter[] = "9d7815a6-7ee4-497e-8888-515a05f02364";
constexpr std::uint32_t kPowerActionHibernate = 3;

class PlatformPowerFacts : public IPowerFacts {
public:
    bool BatteriesPresent(bool* present) override {
        pf::PowerCapabilities capabilities;
        if (!pf::Power().Capabilities(&capabilities)) return false;
        *present = capabilities.batteries;
        return true;
    }
    bool HibernateAllowed() override { return Library() && library_->IsPwrHibernateAllowed(); }
    bool ActivePlanHibernateSeconds(bool battery, std::uint32_t* seconds) override {
        pf::PowerGuid scheme, subgroup, setting;
        if (!Library() || !Setting(&subgroup, &setting) || library_->GetActiveScheme(&scheme) != pf::kPowerOk) {
            return false;
        }
        return (battery ? library_->ReadDcValueIndex(&scheme, &subgroup, &setting, seconds)
                        : library_->ReadAcValueIndex(&scheme, &subgroup, &setting, seconds)) == pf::kPowerOk;
    }
    bool DefaultHibernateSeconds(const char* plan, bool battery, std::uint32_t* seconds) override {
        pf::PowerGuid scheme, subgroup, setting;
        if (!Library() || !Setting(&subgroup, &setting) || !pf::ParsePowerGuid(plan, &scheme)) return false;
        return (battery ? library_->ReadDcDefaultIndex(&scheme, &subgroup, &setting, seconds)
                        : library_->ReadAcDefaultIndex(&scheme, &subgroup, &setting, seconds)) == pf::kPowerOk;
    }
    bool CurrentPolicy(PolicyTimeouts* policy) override {
        std::uint32_t index = 0;
        pf::OlderPowerPolicies current;
        if (!Library() || !library_->GetActivePwrScheme(&index) || !library_->GetCurrentPowerPolicies(&current)) {
            return false;
        }
        policy->idleActionHibernate[0] = current.idleAc.action == kPowerActionHibernate;
        policy->idleActionHibernate[1] = current.idleDc.action == kPowerActionHibernate;
        policy->idleSeconds[0] = current.idleTimeoutAc;
        policy->idleSeconds[1] = current.idleTimeoutDc;
        policy->dozeToHibernateSeconds[0] = current.dozeS4TimeoutAc;
        policy->dozeToHibernateSeconds[1] = current.dozeS4TimeoutDc;
        return true;
    }

private:
    bool Library() {
        if (!library_) library_ = pf::Power().Load();
        return library_ != nullptr;
    }
    static bool Setting(pf::PowerGuid* subgroup, pf::PowerGuid* setting) {
        return pf::ParsePowerGuid(kSleepSubgroup, subgroup) && pf::ParsePowerGuid(kHibernateAfter, setting);
    }
    std::unique_ptr<pf::IPowerLibrary> library_;
};

}  // namespace

std::unique_ptr<IPowerFacts> MakePlatformPowerFacts() { return std::make_unique<PlatformPowerFacts>(); }

std::unique_ptr<IDriverRegistry> OpenDriverSession() {
    auto driver = std::make_unique<SessionRegistry>();
    if (!driver->Open()) return nullptr;
    return driver;
}

namespace {

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
    pf::OwnedMutex mutex(pf::Mutexes());
    bool existed = false;
    *mutex.Put() = mutex.Api().Create(kMutexName, &existed);
    if (!mutex || existed) return Outcome::AlreadyRunning;

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
