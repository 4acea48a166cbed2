// The power-management concern on Windows. Every function comes from "PowrProf.dll", bound at run
// time: the capabilities load the library for their one call, a collection keeps it loaded for
// the life of its session (IPowerLibrary) and frees it after. A function the library does not
// export is reported missing; nothing is imported at load time, so a program that never asks
// does not need the library.
//
// The older interface hands over Windows' own XP policy structures; they are declared here as
// Windows lays them out (the sizes and offsets are checked below), so nothing depends on the
// headers of a particular tool chain.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/concerns.h"
#include "platform/power.h"
#include "platform/win32/handles.h"

namespace quarro::platform::win32 {

namespace {

using quarro::win32::LibraryTraits;
using quarro::win32::UniqueHandle;

// --- the XP policy structures, as Windows lays them out --------------------------------------

struct XpPowerActionPolicy {  // POWER_ACTION_POLICY
    DWORD action;
    DWORD flags;
    DWORD eventCode;
};
struct XpSystemPowerLevel {  // SYSTEM_POWER_LEVEL
    BOOLEAN enable;
    UCHAR spare[3];
    DWORD batteryLevel;
    XpPowerActionPolicy powerPolicy;
    DWORD minSystemState;
};
struct XpGlobalUserPowerPolicy {  // GLOBAL_USER_POWER_POLICY
    ULONG revision;
    XpPowerActionPolicy powerButtonAc, powerButtonDc, sleepButtonAc, sleepButtonDc, lidCloseAc, lidCloseDc;
    XpSystemPowerLevel dischargePolicy[4];
    ULONG globalFlags;
};
struct XpGlobalMachinePowerPolicy {  // GLOBAL_MACHINE_POWER_POLICY
    ULONG revision;
    DWORD lidOpenWakeAc, lidOpenWakeDc;
    ULONG broadcastCapacityResolution;
};
struct XpGlobalPowerPolicy {  // GLOBAL_POWER_POLICY
    XpGlobalUserPowerPolicy user;
    XpGlobalMachinePowerPolicy machine;
};
struct XpUserPowerPolicy {  // USER_POWER_POLICY
    ULONG revision;
    XpPowerActionPolicy idleAc, idleDc;
    ULONG idleTimeoutAc, idleTimeoutDc;
    UCHAR idleSensitivityAc, idleSensitivityDc;
    UCHAR throttlePolicyAc, throttlePolicyDc;
    DWORD maxSleepAc, maxSleepDc;
    ULONG reserved[2];
    ULONG videoTimeoutAc, videoTimeoutDc;
    ULONG spindownTimeoutAc, spindownTimeoutDc;
    BOOLEAN optimizeForPowerAc, optimizeForPowerDc;
    UCHAR fanThrottleToleranceAc, fanThrottleToleranceDc;
    UCHAR forcedThrottleAc, forcedThrottleDc;
};
struct XpMachinePowerPolicy {  // MACHINE_POWER_POLICY
    ULONG revision;
    DWORD minSleepAc, minSleepDc;
    DWORD reducedLatencySleepAc, reducedLatencySleepDc;
    ULONG dozeTimeoutAc, dozeTimeoutDc;
    ULONG dozeS4TimeoutAc, dozeS4TimeoutDc;
    UCHAR minThrottleAc, minThrottleDc;
    UCHAR pad1[2];
    XpPowerActionPolicy overThrottledAc, overThrottledDc;
};
struct XpPowerPolicy {  // POWER_POLICY
    XpUserPowerPolicy user;
    XpMachinePowerPolicy machine;
};

static_assert(sizeof(XpPowerActionPolicy) == 12);
static_assert(sizeof(XpSystemPowerLevel) == 24 && offsetof(XpSystemPowerLevel, batteryLevel) == 4 &&
              offsetof(XpSystemPowerLevel, minSystemState) == 20);
static_assert(sizeof(XpGlobalUserPowerPolicy) == 176 && offsetof(XpGlobalUserPowerPolicy, lidCloseAc) == 52 &&
              offsetof(XpGlobalUserPowerPolicy, dischargePolicy) == 76 &&
              offsetof(XpGlobalUserPowerPolicy, globalFlags) == 172);
static_assert(sizeof(XpGlobalMachinePowerPolicy) == 16);
static_assert(sizeof(XpGlobalPowerPolicy) == 192 && offsetof(XpGlobalPowerPolicy, machine) == 176);
static_assert(sizeof(XpUserPowerPolicy) == 80 && offsetof(XpUserPowerPolicy, idleTimeoutAc) == 28 &&
              offsetof(XpUserPowerPolicy, maxSleepAc) == 40 && offsetof(XpUserPowerPolicy, videoTimeoutAc) == 56 &&
              offsetof(XpUserPowerPolicy, spindownTimeoutAc) == 64 &&
              offsetof(XpUserPowerPolicy, optimizeForPowerAc) == 72);
static_assert(sizeof(XpMachinePowerPolicy) == 64 && offsetof(XpMachinePowerPolicy, dozeS4TimeoutAc) == 28 &&
              offsetof(XpMachinePowerPolicy, overThrottledAc) == 40);
static_assert(sizeof(XpPowerPolicy) == 144 && offsetof(XpPowerPolicy, machine) == 80);
static_assert(sizeof(GUID) == sizeof(PowerGuid) && offsetof(GUID, Data4) == offsetof(PowerGuid, data4));

// --- the functions ---------------------------------------------------------------------------

using CallNtPowerInformationFn = LONG(WINAPI*)(int level, void* in, ULONG inLength, void* out, ULONG outLength);
using GetActiveSchemeFn = DWORD(WINAPI*)(HKEY, GUID**);
using ReadFriendlyNameFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD*);
using ReadValueFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD*);
using EnumerateFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, int, ULONG, UCHAR*, DWORD*);
using ReadPossibleFriendlyNameFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, ULONG, UCHAR*, DWORD*);
using ReadUnitsFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, UCHAR*, DWORD*);
using ReadAttributesFn = DWORD(WINAPI*)(const GUID*, const GUID*);
using PwrSchemesEnumProc = BOOLEAN(CALLBACK*)(UINT, DWORD, LPWSTR, DWORD, LPWSTR, XpPowerPolicy*, LPARAM);
using GetActivePwrSchemeFn = BOOLEAN(WINAPI*)(UINT*);
using GetCurrentPowerPoliciesFn = BOOLEAN(WINAPI*)(XpGlobalPowerPolicy*, XpPowerPolicy*);
using EnumPwrSchemesFn = BOOLEAN(WINAPI*)(PwrSchemesEnumProc, LPARAM);
using IsAllowedFn = BOOLEAN(WINAPI*)();

constexpr wchar_t kLibraryName[] = L"PowrProf.dll";
constexpr int kSystemPowerCapabilitiesLevel = 4;
constexpr DWORD kMoreData = 234;  // ERROR_MORE_DATA
// Largest text buffer a library call may ask for.
constexpr DWORD kMaxTextBytes = 65536;

template <typename Fn>
Fn Bind(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const GUID* G(const PowerGuid* guid) { return reinterpret_cast<const GUID*>(guid); }

PowerGuid FromGuid(const GUID& g) {
    PowerGuid out;
    out.data1 = g.Data1;
    out.data2 = g.Data2;
    out.data3 = g.Data3;
    std::memcpy(out.data4, g.Data4, sizeof out.data4);
    return out;
}

PowerActionPolicy Convert(const XpPowerActionPolicy& p) { return {p.action, p.flags, p.eventCode}; }

// Calls a text-returning function with a bounded buffer, growing it once when asked to (up to
// kMaxTextBytes); the text is cut at kPowerTextMaxUnits characters and at its first zero.
template <typename Call>
DWORD ReadText(Call call, std::u16string* text) {
    std::vector<UCHAR> buffer((kPowerTextMaxUnits + 1) * 2, 0);
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD result = call(buffer.data(), &size);
    if (result == kMoreData && size > buffer.size() && size <= kMaxTextBytes) {
        buffer.assign(size, 0);
        result = call(buffer.data(), &size);
    }
    if (result != ERROR_SUCCESS) return result;
    const std::size_t bytes = size < buffer.size() ? size : buffer.size();
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes && out.size() < kPowerTextMaxUnits; i += 2) {
        const char16_t unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (unit == 0) break;
        out.push_back(unit);
    }
    *text = std::move(out);
    return ERROR_SUCCESS;
}

struct SchemeVisit {
    const std::function<bool(const OlderPowerScheme&)>* visit;
};

BOOLEAN CALLBACK VisitScheme(UINT index, DWORD nameBytes, LPWSTR name, DWORD, LPWSTR, XpPowerPolicy*,
                             LPARAM parameter) {
    OlderPowerScheme scheme;
    scheme.index = index;
    if (name) {
        // The name's size in bytes, terminator included; never read past it.
        const std::size_t units = nameBytes / 2;
        for (std::size_t i = 0; i < units && name[i] && scheme.name.size() < kPowerTextMaxUnits; ++i) {
            scheme.name.push_back(static_cast<char16_t>(name[i]));
        }
    }
    return (*reinterpret_cast<SchemeVisit*>(parameter)->visit)(scheme) ? TRUE : FALSE;
}

class Win32PowerLibrary : public IPowerLibrary {
public:
    explicit Win32PowerLibrary(UniqueHandle<LibraryTraits> library) : library_(std::move(library)) {
        HMODULE m = library_.Get();
        for (int f = 0; f < static_cast<int>(PowerFunction::kCount); ++f) {
            functions_[f] = reinterpret_cast<void*>(GetProcAddress(m, PowerFunctionName(static_cast<PowerFunction>(f))));
        }
        getActivePwrScheme_ = Bind<GetActivePwrSchemeFn>(m, "GetActivePwrScheme");
        getCurrentPowerPolicies_ = Bind<GetCurrentPowerPoliciesFn>(m, "GetCurrentPowerPolicies");
        enumPwrSchemes_ = Bind<EnumPwrSchemesFn>(m, "EnumPwrSchemes");
        isPwrSuspendAllowed_ = Bind<IsAllowedFn>(m, "IsPwrSuspendAllowed");
        isPwrHibernateAllowed_ = Bind<IsAllowedFn>(m, "IsPwrHibernateAllowed");
    }

    bool Has(PowerFunction f) const override { return functions_[static_cast<int>(f)] != nullptr; }

    std::uint32_t GetActiveScheme(PowerGuid* scheme) override {
        auto fn = Fn<GetActiveSchemeFn>(PowerFunction::kGetActiveScheme);
        if (!fn) return kPowerFunctionMissing;
        GUID* active = nullptr;
        const DWORD result = fn(nullptr, &active);
        // The GUID is the library's LocalAlloc block: owned at once, whatever the result.
        const LocalBlock block(active);
        if (result != ERROR_SUCCESS) return result;
        if (!active) return ERROR_INVALID_DATA;
        *scheme = FromGuid(*active);
        return kPowerOk;
    }

    std::uint32_t ReadFriendlyName(const PowerGuid* scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                   std::u16string* name) override {
        auto fn = Fn<ReadFriendlyNameFn>(PowerFunction::kReadFriendlyName);
        if (!fn) return kPowerFunctionMissing;
        return ReadText([&](UCHAR* b, DWORD* s) { return fn(nullptr, G(scheme), G(subgroup), G(setting), b, s); },
                        name);
    }

    std::uint32_t ReadAcValueIndex(const PowerGuid* scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                   std::uint32_t* value) override {
        return ReadValue(PowerFunction::kReadAcValueIndex, scheme, subgroup, setting, value);
    }
    std::uint32_t ReadDcValueIndex(const PowerGuid* scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                   std::uint32_t* value) override {
        return ReadValue(PowerFunction::kReadDcValueIndex, scheme, subgroup, setting, value);
    }
    std::uint32_t ReadAcDefaultIndex(const PowerGuid* scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                     std::uint32_t* value) override {
        return ReadValue(PowerFunction::kReadAcDefaultIndex, scheme, subgroup, setting, value);
    }
    std::uint32_t ReadDcDefaultIndex(const PowerGuid* scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                     std::uint32_t* value) override {
        return ReadValue(PowerFunction::kReadDcDefaultIndex, scheme, subgroup, setting, value);
    }

    std::uint32_t Enumerate(const PowerGuid* scheme, const PowerGuid* subgroup, std::uint32_t access,
                            std::uint32_t index, PowerGuid* out) override {
        auto fn = Fn<EnumerateFn>(PowerFunction::kEnumerate);
        if (!fn) return kPowerFunctionMissing;
        GUID guid{};
        DWORD size = sizeof guid;
        const DWORD result = fn(nullptr, G(scheme), G(subgroup), static_cast<int>(access), index,
                                reinterpret_cast<UCHAR*>(&guid), &size);
        if (result != ERROR_SUCCESS) return result;
        if (size != sizeof guid) return ERROR_INVALID_DATA;
        *out = FromGuid(guid);
        return kPowerOk;
    }

    std::uint32_t ReadPossibleFriendlyName(const PowerGuid* subgroup, const PowerGuid* setting, std::uint32_t index,
                                           std::u16string* name) override {
        auto fn = Fn<ReadPossibleFriendlyNameFn>(PowerFunction::kReadPossibleFriendlyName);
        if (!fn) return kPowerFunctionMissing;
        return ReadText([&](UCHAR* b, DWORD* s) { return fn(nullptr, G(subgroup), G(setting), index, b, s); }, name);
    }

    std::uint32_t ReadValueUnitsSpecifier(const PowerGuid* subgroup, const PowerGuid* setting,
                                          std::u16string* units) override {
        auto fn = Fn<ReadUnitsFn>(PowerFunction::kReadValueUnitsSpecifier);
        if (!fn) return kPowerFunctionMissing;
        return ReadText([&](UCHAR* b, DWORD* s) { return fn(nullptr, G(subgroup), G(setting), b, s); }, units);
    }

    std::uint32_t ReadSettingAttributes(const PowerGuid* subgroup, const PowerGuid* setting) override {
        auto fn = Fn<ReadAttributesFn>(PowerFunction::kReadSettingAttributes);
        return fn ? fn(G(subgroup), G(setting)) : 0;
    }

    bool GetActivePwrScheme(std::uint32_t* index) override {
        UINT id = 0;
        if (!getActivePwrScheme_ || !getActivePwrScheme_(&id)) return false;
        *index = id;
        return true;
    }

    bool GetCurrentPowerPolicies(OlderPowerPolicies* out) override {
        XpGlobalPowerPolicy global{};
        XpPowerPolicy scheme{};
        if (!getCurrentPowerPolicies_ || !getCurrentPowerPolicies_(&global, &scheme)) return false;
        OlderPowerPolicies p;
        const XpGlobalUserPowerPolicy& u = global.user;
        p.powerButtonAc = Convert(u.powerButtonAc);
        p.powerButtonDc = Convert(u.powerButtonDc);
        p.sleepButtonAc = Convert(u.sleepButtonAc);
        p.sleepButtonDc = Convert(u.sleepButtonDc);
        p.lidCloseAc = Convert(u.lidCloseAc);
        p.lidCloseDc = Convert(u.lidCloseDc);
        for (int i = 0; i < 4; ++i) {
            const XpSystemPowerLevel& level = u.dischargePolicy[i];
            p.discharge[i] = {level.enable != 0, level.batteryLevel, Convert(level.powerPolicy), level.minSystemState};
        }
        p.globalFlags = u.globalFlags;
        p.idleAc = Convert(scheme.user.idleAc);
        p.idleDc = Convert(scheme.user.idleDc);
        p.idleTimeoutAc = scheme.user.idleTimeoutAc;
        p.idleTimeoutDc = scheme.user.idleTimeoutDc;
        p.videoTimeoutAc = scheme.user.videoTimeoutAc;
        p.videoTimeoutDc = scheme.user.videoTimeoutDc;
        p.spindownTimeoutAc = scheme.user.spindownTimeoutAc;
        p.spindownTimeoutDc = scheme.user.spindownTimeoutDc;
        p.dozeS4TimeoutAc = scheme.machine.dozeS4TimeoutAc;
        p.dozeS4TimeoutDc = scheme.machine.dozeS4TimeoutDc;
        *out = p;
        return true;
    }

    bool EnumPwrSchemes(const std::function<bool(const OlderPowerScheme&)>& visit) override {
        if (!enumPwrSchemes_) return false;
        SchemeVisit context{&visit};
        const PwrSchemesEnumProc proc = &VisitScheme;
        return enumPwrSchemes_(proc, reinterpret_cast<LPARAM>(&context)) != 0;
    }

    bool IsPwrSuspendAllowed() override { return isPwrSuspendAllowed_ && isPwrSuspendAllowed_(); }
    bool IsPwrHibernateAllowed() override { return isPwrHibernateAllowed_ && isPwrHibernateAllowed_(); }

private:
    struct LocalBlockTraits {
        using Handle = void*;
        static void* None() { return nullptr; }
        static void Close(void* block) { LocalFree(block); }
    };
    using LocalBlock = UniqueHandle<LocalBlockTraits>;

    template <typename F>
    F Fn(PowerFunction f) const {
        return reinterpret_cast<F>(functions_[static_cast<int>(f)]);
    }

    std::uint32_t ReadValue(PowerFunction f, const PowerGuid* scheme, const PowerGuid* subgroup,
                            const PowerGuid* setting, std::uint32_t* value) const {
        auto fn = Fn<ReadValueFn>(f);
        if (!fn) return kPowerFunctionMissing;
        DWORD v = 0;
        const DWORD result = fn(nullptr, G(scheme), G(subgroup), G(setting), &v);
        if (result == ERROR_SUCCESS) *value = v;
        return result;
    }

    UniqueHandle<LibraryTraits> library_;
    void* functions_[static_cast<int>(PowerFunction::kCount)] = {};
    GetActivePwrSchemeFn getActivePwrScheme_ = nullptr;
    GetCurrentPowerPoliciesFn getCurrentPowerPolicies_ = nullptr;
    EnumPwrSchemesFn enumPwrSchemes_ = nullptr;
    IsAllowedFn isPwrSuspendAllowed_ = nullptr;
    IsAllowedFn isPwrHibernateAllowed_ = nullptr;
};

class Win32Power : public IPower {
public:
    bool Capabilities(PowerCapabilities* out) override {
        UniqueHandle<LibraryTraits> library(LoadLibraryW(kLibraryName));
        if (!library.Get()) return false;
        auto call = Bind<CallNtPowerInformationFn>(library.Get(), "CallNtPowerInformation");
        if (!call) return false;
        SYSTEM_POWER_CAPABILITIES caps{};
        if (call(kSystemPowerCapabilitiesLevel, nullptr, 0, &caps, sizeof caps) != 0) return false;
        out->powerButton = caps.PowerButtonPresent != 0;
        out->sleepButton = caps.SleepButtonPresent != 0;
        out->lid = caps.LidPresent != 0;
        out->s1 = caps.SystemS1 != 0;
        out->s2 = caps.SystemS2 != 0;
        out->s3 = caps.SystemS3 != 0;
        out->s4 = caps.SystemS4 != 0;
        out->fastS4 = caps.FastSystemS4 != 0;
        out->batteries = caps.SystemBatteriesPresent != 0;
        return true;
    }

    std::unique_ptr<IPowerLibrary> Load() override {
        UniqueHandle<LibraryTraits> library(LoadLibraryW(kLibraryName));
        if (!library.Get()) return nullptr;
        return std::make_unique<Win32PowerLibrary>(std::move(library));
    }
};

}  // namespace

std::shared_ptr<IPower> MakeWin32Power() { return std::make_shared<Win32Power>(); }

}  // namespace quarro::platform::win32
