// The power-management concern: the system's power capabilities and the power library
// "PowrProf.dll" with both of its interfaces, the power plans of Vista and later (ten functions,
// each of which may be missing) and the older power schemes and policies of Windows XP and 2000.
//
// The capabilities are one call. Everything else goes through a library session (Load()): the
// library is loaded for one collection and freed when the session ends. A function the library
// does not export answers kPowerFunctionMissing and nothing else; no call ever blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quarro::platform {

// A GUID as Windows lays it out (Data1, Data2, Data3, Data4).
struct PowerGuid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};
    bool operator==(const PowerGuid& other) const;
    bool operator!=(const PowerGuid& other) const { return !(*this == other); }
};

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (braces allowed, any case); false for anything else.
bool ParsePowerGuid(const std::string& text, PowerGuid* guid);
// Lower-case text without braces.
std::string FormatPowerGuid(const PowerGuid& guid);

// The members of SYSTEM_POWER_CAPABILITIES the programs look at.
struct PowerCapabilities {
    bool powerButton = false;
    bool sleepButton = false;
    bool lid = false;
    bool s1 = false;
    bool s2 = false;
    bool s3 = false;
    bool s4 = false;
    bool fastS4 = false;  // FastSystemS4 (hybrid sleep possible)
    bool batteries = false;
};

// Results of the library calls: Windows error codes.
inline constexpr std::uint32_t kPowerOk = 0;
inline constexpr std::uint32_t kPowerFunctionMissing = 127;  // ERROR_PROC_NOT_FOUND
inline constexpr std::uint32_t kPowerNoMoreItems = 259;      // ERROR_NO_MORE_ITEMS
inline constexpr std::uint32_t kPowerFileNotFound = 2;       // unknown scheme, subgroup or setting
inline constexpr std::uint32_t kPowerNotImplemented = 120;   // ERROR_CALL_NOT_IMPLEMENTED

// PowerEnumerate access flags.
inline constexpr std::uint32_t kPowerAccessScheme = 16;    // ACCESS_SCHEME
inline constexpr std::uint32_t kPowerAccessSubgroup = 17;  // ACCESS_SUBGROUP
inline constexpr std::uint32_t kPowerAccessSetting = 18;   // ACCESS_INDIVIDUAL_SETTING
// PowerReadSettingAttributes: the setting is hidden from the user.
inline constexpr std::uint32_t kPowerAttributeHide = 1;

// The ten functions of the newer interface, in the order they are bound.
enum class PowerFunction : int {
    kGetActiveScheme = 0,
    kReadFriendlyName,
    kReadAcValueIndex,
    kReadDcValueIndex,
    kEnumerate,
    kReadPossibleFriendlyName,
    kReadValueUnitsSpecifier,
    kReadAcDefaultIndex,
    kReadDcDefaultIndex,
    kReadSettingAttributes,
    kCount
};
// The exported name of each, "PowerGetActiveScheme" and so on.
const char* PowerFunctionName(PowerFunction function);

// POWER_ACTION_POLICY.
struct PowerActionPolicy {
    std::uint32_t action = 0;  // POWER_ACTION: 0 none, 2 sleep, 3 hibernate, 4 shut down, 6 shut down off
    std::uint32_t flags = 0;
    std::uint32_t eventCode = 0;  // POWER_USER_NOTIFY_BUTTON 0x8, POWER_USER_NOTIFY_SHUTDOWN 0x10
};

// SYSTEM_POWER_LEVEL, one discharge policy (index 0 critical, 1 low).
struct PowerDischargeLevel {
    bool enable = false;
    std::uint32_t batteryLevel = 0;
    PowerActionPolicy policy;
    std::uint32_t minSystemState = 0;
};

// What GetCurrentPowerPolicies returns (GLOBAL_POWER_POLICY and POWER_POLICY), the members the
// programs look at; time-outs in seconds.
struct OlderPowerPolicies {
    // global user policy
    PowerActionPolicy powerButtonAc, powerButtonDc, sleepButtonAc, sleepButtonDc, lidCloseAc, lidCloseDc;
    PowerDischargeLevel discharge[4];
    std::uint32_t globalFlags = 0;  // EnablePasswordLogon is 0x4
    // scheme user policy
    PowerActionPolicy idleAc, idleDc;
    std::uint32_t idleTimeoutAc = 0, idleTimeoutDc = 0;
    std::uint32_t videoTimeoutAc = 0, videoTimeoutDc = 0;
    std::uint32_t spindownTimeoutAc = 0, spindownTimeoutDc = 0;
    // scheme machine policy
    std::uint32_t dozeS4TimeoutAc = 0, dozeS4TimeoutDc = 0;
};

// One power scheme as EnumPwrSchemes hands it over.
struct OlderPowerScheme {
    std::uint32_t index = 0;
    std::u16string name;
};

// Longest text handed over (friendly names, units), in characters; longer texts are cut.
inline constexpr std::size_t kPowerTextMaxUnits = 512;

// One loaded "PowrProf.dll", for one collection. The arguments follow the functions of the same
// names; a null subgroup or setting pointer means none, as it does there.
class IPowerLibrary {
public:
    virtual ~IPowerLibrary() = default;

    // Whether the library exports `function`.
    virtual bool Has(PowerFunction function) const = 0;

    virtual std::uint32_t GetActiveScheme(PowerGuid* scheme) = 0;
    virtual std::uint32_t ReadFriendlyName(const PowerGuid* scheme, const PowerGuid* subgroup,
                                           const PowerGuid* setting, std::u16string* name) = 0;
    virtual std::uint32_t ReadAcValueIndex(const PowerGuid* scheme, const PowerGuid* subgroup,
                                           const PowerGuid* setting, std::uint32_t* value) = 0;
    virtual std::uint32_t ReadDcValueIndex(const PowerGuid* scheme, const PowerGuid* subgroup,
                                           const PowerGuid* setting, std::uint32_t* value) = 0;
    // The `index`th subgroup of `scheme` (kPowerAccessSubgroup) or setting of `subgroup`
    // (kPowerAccessSetting); kPowerNoMoreItems past the end.
    virtual std::uint32_t Enumerate(const PowerGuid* scheme, const PowerGuid* subgroup, std::uint32_t access,
                                    std::uint32_t index, PowerGuid* out) = 0;
    virtual std::uint32_t ReadPossibleFriendlyName(const PowerGuid* subgroup, const PowerGuid* setting,
                                                   std::uint32_t index, std::u16string* name) = 0;
    // The unit text of a setting that has one ("Seconds", "%"); an error when it has none.
    virtual std::uint32_t ReadValueUnitsSpecifier(const PowerGuid* subgroup, const PowerGuid* setting,
                                                  std::u16string* units) = 0;
    virtual std::uint32_t ReadAcDefaultIndex(const PowerGuid* scheme, const PowerGuid* subgroup,
                                             const PowerGuid* setting, std::uint32_t* value) = 0;
    virtual std::uint32_t ReadDcDefaultIndex(const PowerGuid* scheme, const PowerGuid* subgroup,
                                             const PowerGuid* setting, std::uint32_t* value) = 0;
    // The attribute bits (kPowerAttributeHide); 0 when unknown or the function is missing.
    virtual std::uint32_t ReadSettingAttributes(const PowerGuid* subgroup, const PowerGuid* setting) = 0;

    // The older interface: false when the call fails or the function is missing.
    virtual bool GetActivePwrScheme(std::uint32_t* index) = 0;
    virtual bool GetCurrentPowerPolicies(OlderPowerPolicies* policies) = 0;
    // Hands the schemes to `visit` in order until it returns false.
    virtual bool EnumPwrSchemes(const std::function<bool(const OlderPowerScheme&)>& visit) = 0;
    virtual bool IsPwrSuspendAllowed() = 0;
    virtual bool IsPwrHibernateAllowed() = 0;
};

class IPower {
public:
    virtual ~IPower() = default;

    // CallNtPowerInformation(SystemPowerCapabilities); false when the call fails.
    virtual bool Capabilities(PowerCapabilities* capabilities) = 0;
    // Loads the library for one collection; null when it cannot be loaded.
    virtual std::unique_ptr<IPowerLibrary> Load() = 0;
};

}  // namespace quarro::platform
