// The utility's portable core: the one-time record of the machine's hibernation time-outs into
// "HddNotif004" (mains) and "HddNotif005" (battery), in minutes, under HKLM
// "Software\Mirelta\QUARRO", written only through the driver's registry services.
//
// What the core needs from outside comes in as small parameters: the audit test, the power
// facts (capabilities, hibernation allowed, the hibernate-after values by road) and the driver
// session's registry. The single-instance mutex, the "C:\util\version.doc" check, the OS identity
// and the administrator test come from the platform concerns. Every failure ends the run
// silently; nothing is written unless every needed value was read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace quarro::toolbench {

inline constexpr char16_t kMutexName[] = u"Mirelta_Toolbench_Execute_Mutex";
inline constexpr char16_t kStopFile[] = u"C:\\util\\version.doc";
inline constexpr char16_t kQuarroKey[] = u"Software\\Mirelta\\QUARRO";
inline constexpr char16_t kMireltaKey[] = u"Software\\Mirelta";
inline constexpr char16_t kKestrelKey[] = u"SOFTWARE\\Mirelta\\Kestrel\\Setup";
inline constexpr char16_t kMainsValue[] = u"HddNotif004";
inline constexpr char16_t kBatteryValue[] = u"HddNotif005";
// The plan whose default hibernate-after values stand in when "Hib_AC" is absent.
inline constexpr char kDefaultsPlan[] = "a83ffe77-647e-45df-899e-cd3f4e2835a1";

// The registry of the driver session: HKEY_LOCAL_MACHINE only, 32-bit values. A name longer than
// 259 characters fails without a request.
class IDriverRegistry {
public:
    virtual ~IDriverRegistry() = default;
    // True only when the query succeeds and the value is a 32-bit one.
    virtual bool ReadDword(const char16_t* path, const char16_t* name, std::uint32_t* value) = 0;
    virtual bool KeyExists(const char16_t* path) = 0;
    virtual bool CreateKey(const char16_t* path) = 0;
    virtual bool WriteDword(const char16_t* path, const char16_t* name, std::uint32_t value) = 0;
};

// The current power policy of a system before Vista, mains [0] and battery [1].
struct PolicyTimeouts {
    bool idleActionHibernate[2] = {};
    std::uint32_t idleSeconds[2] = {};
    std::uint32_t dozeToHibernateSeconds[2] = {};
};

// The power facts the utility reads; every call false when its read fails.
class IPowerFacts {
public:
    virtual ~IPowerFacts() = default;
    // The system power capabilities' SystemBatteriesPresent.
    virtual bool BatteriesPresent(bool* present) = 0;
    virtual bool HibernateAllowed() = 0;
    // Vista and later: the active plan's hibernate-after value, mains or battery, in seconds.
    virtual bool ActivePlanHibernateSeconds(bool battery, std::uint32_t* seconds) = 0;
    // Vista and later: the default hibernate-after value of `plan` (text GUID), in seconds.
    virtual bool DefaultHibernateSeconds(const char* plan, bool battery, std::uint32_t* seconds) = 0;
    // Before Vista: false when there is no active scheme or its policy cannot be read.
    virtual bool CurrentPolicy(PolicyTimeouts* policy) = 0;
};

struct Environment {
    // The watch service's audit test (flags 2): true when the system is in audit mode.
    std::function<bool()> inAudit;
    // Opens and authenticates a driver session; null when that fails.
    std::function<std::unique_ptr<IDriverRegistry>()> openDriver;
    IPowerFacts* power = nullptr;
};

// A session with the maker's driver, opened and authenticated, serving IDriverRegistry through
// CDriverReg; null when the session cannot be opened.
std::unique_ptr<IDriverRegistry> OpenDriverSession();

// The power facts from the platform's power concern (capabilities, and "PowrProf.dll" loaded
// once, on first need, for the rest).
std::unique_ptr<IPowerFacts> MakePlatformPowerFacts();

// How a run ended, for tests; the program's exit code is 0 whatever it is.
enum class Outcome {
    AlreadyRunning, Audit, StopFile, NoDriver, NoCapabilities, AlreadyRecorded, HibernateNotAllowed, ReadFailed,
    NotAdministrator, WriteFailed, Written
};

// Minutes from a policy before Vista, mains or battery: the idle time-out when the idle action
// hibernates, else doze-to-hibernate plus idle (0 when doze-to-hibernate is 0).
std::uint32_t PolicyMinutes(const PolicyTimeouts& policy, int index);

Outcome Run(const Environment& environment);

}  // namespace quarro::toolbench
