#include "platform/sim/sim_power.h"

#include <algorithm>

#include "platform/concerns.h"
#include "platform/sim/firmware_data.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

namespace {

using json_read::Member;

std::u16string Text(const nlohmann::json* value) {
    if (!value || !value->is_string()) return {};
    std::u16string text = Utf8ToUtf16(value->get<std::string>());
    if (text.size() > kPowerTextMaxUnits) text.resize(kPowerTextMaxUnits);
    return text;
}

bool Flag(const nlohmann::json* object, const char* name) {
    const nlohmann::json* value = Member(object, name);
    return value && value->is_boolean() && value->get<bool>();
}

bool Guid(const nlohmann::json* object, const char* name, PowerGuid* guid) {
    const nlohmann::json* value = Member(object, name);
    return value && value->is_string() && ParsePowerGuid(value->get<std::string>(), guid);
}

bool OptionalNumber(const nlohmann::json* object, const char* name, std::uint32_t* out) {
    const nlohmann::json* value = Member(object, name);
    return value && json_read::Number(*value, 0xFFFFFFFFu, out);
}

// [ac, dc] of numbers.
void Pair(const nlohmann::json* object, const char* name, std::uint32_t* ac, std::uint32_t* dc) {
    const nlohmann::json* value = Member(object, name);
    if (!value || !value->is_array() || value->size() != 2) return;
    json_read::Number((*value)[0], 0xFFFFFFFFu, ac);
    json_read::Number((*value)[1], 0xFFFFFFFFu, dc);
}

void Action(const nlohmann::json& value, PowerActionPolicy* policy) {
    if (json_read::Number(value, 0xFFFFFFFFu, &policy->action)) return;  // a bare action number
    OptionalNumber(&value, "action", &policy->action);
    OptionalNumber(&value, "flags", &policy->flags);
    OptionalNumber(&value, "eventCode", &policy->eventCode);
}

// [ac, dc] of action policies.
void ActionPair(const nlohmann::json* object, const char* name, PowerActionPolicy* ac, PowerActionPolicy* dc) {
    const nlohmann::json* value = Member(object, name);
    if (!value || !value->is_array() || value->size() != 2) return;
    Action((*value)[0], ac);
    Action((*value)[1], dc);
}

OlderPowerPolicies ParsePolicies(const nlohmann::json* p) {
    OlderPowerPolicies policies;
    Pair(p, "videoTimeout", &policies.videoTimeoutAc, &policies.videoTimeoutDc);
    Pair(p, "spindownTimeout", &policies.spindownTimeoutAc, &policies.spindownTimeoutDc);
    Pair(p, "idleTimeout", &policies.idleTimeoutAc, &policies.idleTimeoutDc);
    Pair(p, "dozeS4Timeout", &policies.dozeS4TimeoutAc, &policies.dozeS4TimeoutDc);
    ActionPair(p, "idle", &policies.idleAc, &policies.idleDc);
    ActionPair(p, "powerButton", &policies.powerButtonAc, &policies.powerButtonDc);
    ActionPair(p, "sleepButton", &policies.sleepButtonAc, &policies.sleepButtonDc);
    ActionPair(p, "lidClose", &policies.lidCloseAc, &policies.lidCloseDc);
    OptionalNumber(p, "globalFlags", &policies.globalFlags);
    if (const nlohmann::json* levels = Member(p, "discharge"); levels && levels->is_array()) {
        for (std::size_t i = 0; i < levels->size() && i < 4; ++i) {
            const nlohmann::json& level = (*levels)[i];
            PowerDischargeLevel& out = policies.discharge[i];
            out.enable = Flag(&level, "enable");
            OptionalNumber(&level, "batteryLevel", &out.batteryLevel);
            Action(level, &out.policy);
            OptionalNumber(&level, "minSystemState", &out.minSystemState);
        }
    }
    return policies;
}

}  // namespace

SimPowerModel ParsePowerSection(const nlohmann::json& section, std::vector<std::string>* problems) {
    SimPowerModel model;
    const nlohmann::json* s = &section;
    if (const nlohmann::json* caps = Member(s, "capabilities"); caps && caps->is_object()) {
        model.capabilitiesReadable = true;
        PowerCapabilities& c = model.capabilities;
        c.powerButton = Flag(caps, "powerButton");
        c.sleepButton = Flag(caps, "sleepButton");
        c.lid = Flag(caps, "lid");
        c.s1 = Flag(caps, "s1");
        c.s2 = Flag(caps, "s2");
        c.s3 = Flag(caps, "s3");
        c.s4 = Flag(caps, "s4");
        c.fastS4 = Flag(caps, "fastS4");
        c.batteries = Flag(caps, "batteries");
    }
    if (const nlohmann::json* library = Member(s, "library"); library && library->is_boolean()) {
        model.libraryPresent = library->get<bool>();
    }
    if (const nlohmann::json* missing = Member(s, "missing"); missing && missing->is_array()) {
        for (const auto& name : *missing) {
            bool known = false;
            for (int f = 0; f < static_cast<int>(PowerFunction::kCount); ++f) {
                if (name.is_string() && name.get<std::string>() == PowerFunctionName(static_cast<PowerFunction>(f))) {
                    model.missing[f] = known = true;
                }
            }
            if (!known) problems->push_back("power.missing: unknown function " + name.dump());
        }
    }
    model.hasActivePlan = Guid(s, "activePlan", &model.activePlan);
    if (const nlohmann::json* groups = Member(s, "subgroups"); groups && groups->is_array()) {
        for (const auto& g : *groups) {
            SimPowerSubgroup subgroup;
            if (!Guid(&g, "guid", &subgroup.guid)) {
                problems->push_back("power.subgroups: an entry without a usable guid");
                continue;
            }
            subgroup.name = Text(Member(&g, "name"));
            if (const nlohmann::json* settings = Member(&g, "settings"); settings && settings->is_array()) {
                for (const auto& e : *settings) {
                    SimPowerSetting setting;
                    if (!Guid(&e, "guid", &setting.guid)) {
                        problems->push_back("power.subgroups.settings: an entry without a usable guid");
                        continue;
                    }
                    setting.name = Text(Member(&e, "name"));
                    OptionalNumber(&e, "attributes", &setting.attributes);
                    if (const nlohmann::json* unit = Member(&e, "unit"); unit && unit->is_string()) {
                        setting.hasUnit = true;
                        setting.unit = Text(unit);
                    }
                    if (const nlohmann::json* values = Member(&e, "values"); values && values->is_array()) {
                        for (const auto& v : *values) setting.possibleValues.push_back(Text(&v));
                    }
                    subgroup.settings.push_back(std::move(setting));
                }
            }
            model.subgroups.push_back(std::move(subgroup));
        }
    }
    if (const nlohmann::json* plans = Member(s, "plans"); plans && plans->is_array()) {
        for (const auto& p : *plans) {
            SimPowerPlan plan;
            if (!Guid(&p, "guid", &plan.guid)) {
                problems->push_back("power.plans: an entry without a usable guid");
                continue;
            }
            plan.name = Text(Member(&p, "name"));
            if (const nlohmann::json* values = Member(&p, "values"); values && values->is_array()) {
                for (const auto& v : *values) {
                    SimPowerValue value;
                    if (!Guid(&v, "subgroup", &value.subgroup) || !Guid(&v, "setting", &value.setting)) {
                        problems->push_back("power.plans.values: an entry without usable guids");
                        continue;
                    }
                    value.hasAc = OptionalNumber(&v, "ac", &value.ac);
                    value.hasDc = OptionalNumber(&v, "dc", &value.dc);
                    value.hasAcDefault = OptionalNumber(&v, "acDefault", &value.acDefault);
                    value.hasDcDefault = OptionalNumber(&v, "dcDefault", &value.dcDefault);
                    plan.values.push_back(value);
                }
            }
            model.plans.push_back(std::move(plan));
        }
    }
    model.suspendAllowed = Flag(s, "suspendAllowed");
    model.hibernateAllowed = Flag(s, "hibernateAllowed");
    model.hasActiveScheme = OptionalNumber(s, "activeScheme", &model.activeScheme);
    if (const nlohmann::json* schemes = Member(s, "schemes"); schemes && schemes->is_array()) {
        model.schemesReadable = true;
        for (const auto& e : *schemes) {
            OlderPowerScheme scheme;
            if (!OptionalNumber(&e, "index", &scheme.index)) {
                problems->push_back("power.schemes: an entry without an index");
                continue;
            }
            scheme.name = Text(Member(&e, "name"));
            model.schemes.push_back(std::move(scheme));
        }
    }
    if (const nlohmann::json* policies = Member(s, "policies"); policies && policies->is_object()) {
        model.policiesReadable = true;
        model.policies = ParsePolicies(policies);
    }
    return model;
}

// One session over the model: every call answers as the library would.
class SimPowerLibrary : public IPowerLibrary {
public:
    explicit SimPowerLibrary(SimPower& owner) : owner_(owner), m_(owner.model_) {
        ++owner_.openSessions_;
        ++owner_.sessionsOpened_;
    }
    ~SimPowerLibrary() override { --owner_.openSessions_; }

    bool Has(PowerFunction f) const override { return !m_.missing[static_cast<int>(f)]; }

    std::uint32_t GetActiveScheme(PowerGuid* scheme) override {
        if (!Has(PowerFunction::kGetActiveScheme)) return kPowerFunctionMissing;
        if (!m_.hasActivePlan) return kPowerNotImplemented;
        *scheme = m_.activePlan;
        return kPowerOk;
    }

    std::uint32_t ReadFriendlyName(const PowerGuid* scheme, const PowerGuid* subgroup, const PowerGuid* setting,
                                   std::u16string* name) override {
        if (!Has(PowerFunction::kReadFriendlyName)) return kPowerFunctionMissing;
        if (setting) {
            const SimPowerSetting* s = FindSetting(subgroup, *setting);
            if (!s) return kPowerFileNotFound;
            *name = s->name;
        } else if (subgroup) {
            const SimPowerSubgroup* g = FindSubgroup(*subgroup);
            if (!g) return kPowerFileNotFound;
            *name = g->name;
        } else {
            const SimPowerPlan* plan = scheme ? FindPlan(*scheme) : nullptr;
            if (!plan) return kPowerFileNotFound;
            *name = plan->name;
        }
        return kPowerOk;
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
        if (!Has(PowerFunction::kEnumerate)) return kPowerFunctionMissing;
        const SimPowerPlan* plan = scheme ? FindPlan(*scheme) : nullptr;
        if (!plan) return kPowerFileNotFound;
        std::uint32_t n = 0;
        if (access == kPowerAccessSubgroup) {
            for (const SimPowerSubgroup& g : m_.subgroups) {
                if (!PlanHasSubgroup(*plan, g.guid)) continue;
                if (n++ == index) {
                    *out = g.guid;
                    return kPowerOk;
                }
            }
            return kPowerNoMoreItems;
        }
        if (access == kPowerAccessSetting && subgroup) {
            const SimPowerSubgroup* g = FindSubgroup(*subgroup);
            if (!g) return kPowerFileNotFound;
            for (const SimPowerSetting& s : g->settings) {
                if (!FindValue(*plan, g->guid, s.guid)) continue;
                if (n++ == index) {
                    *out = s.guid;
                    return kPowerOk;
                }
            }
            return kPowerNoMoreItems;
        }
        return 87;  // ERROR_INVALID_PARAMETER
    }

    std::uint32_t ReadPossibleFriendlyName(const PowerGuid* subgroup, const PowerGuid* setting, std::uint32_t index,
                                           std::u16string* name) override {
        if (!Has(PowerFunction::kReadPossibleFriendlyName)) return kPowerFunctionMissing;
        const SimPowerSetting* s = setting ? FindSetting(subgroup, *setting) : nullptr;
        if (!s || index >= s->possibleValues.size()) return kPowerFileNotFound;
        *name = s->possibleValues[index];
        return kPowerOk;
    }

    std::uint32_t ReadValueUnitsSpecifier(const PowerGuid* subgroup, const PowerGuid* setting,
                                          std::u16string* units) override {
        if (!Has(PowerFunction::kReadValueUnitsSpecifier)) return kPowerFunctionMissing;
        const SimPowerSetting* s = setting ? FindSetting(subgroup, *setting) : nullptr;
        if (!s || !s->hasUnit) return kPowerFileNotFound;
        *units = s->unit;
        return kPowerOk;
    }

    std::uint32_t ReadSettingAttributes(const PowerGuid* subgroup, const PowerGuid* setting) override {
        if (!Has(PowerFunction::kReadSettingAttributes)) return 0;
        const SimPowerSetting* s = setting ? FindSetting(subgroup, *setting) : nullptr;
        return s ? s->attributes : 0;
    }

    bool GetActivePwrScheme(std::uint32_t* index) override {
        if (!m_.hasActiveScheme) return false;
        *index = m_.activeScheme;
        return true;
    }
    bool GetCurrentPowerPolicies(OlderPowerPolicies* policies) override {
        if (!m_.policiesReadable) return false;
        *policies = m_.policies;
        return true;
    }
    bool EnumPwrSchemes(const std::function<bool(const OlderPowerScheme&)>& visit) override {
        if (!m_.schemesReadable) return false;
        for (const OlderPowerScheme& scheme : m_.schemes) {
            if (!visit(scheme)) break;
        }
        return true;
    }
    bool IsPwrSuspendAllowed() override { return m_.suspendAllowed; }
    bool IsPwrHibernateAllowed() override { return m_.hibernateAllowed; }

private:
    const SimPowerPlan* FindPlan(const PowerGuid& guid) const {
        for (const SimPowerPlan& p : m_.plans) {
            if (p.guid == guid) return &p;
        }
        return nullptr;
    }
    const SimPowerSubgroup* FindSubgroup(const PowerGuid& guid) const {
        for (const SimPowerSubgroup& g : m_.subgroups) {
            if (g.guid == guid) return &g;
        }
        return nullptr;
    }
    const SimPowerSetting* FindSetting(const PowerGuid* subgroup, const PowerGuid& setting) const {
        for (const SimPowerSubgroup& g : m_.subgroups) {
            if (subgroup && g.guid != *subgroup) continue;
            for (const SimPowerSetting& s : g.settings) {
                if (s.guid == setting) return &s;
            }
        }
        return nullptr;
    }
    static const SimPowerValue* FindValue(const SimPowerPlan& plan, const PowerGuid& subgroup,
                                          const PowerGuid& setting) {
        for (const SimPowerValue& v : plan.values) {
            if (v.subgroup == subgroup && v.setting == setting) return &v;
        }
        return nullptr;
    }
    static bool PlanHasSubgroup(const SimPowerPlan& plan, const PowerGuid& subgroup) {
        return std::any_of(plan.values.begin(), plan.values.end(),
                           [&](const SimPowerValue& v) { return v.subgroup == subgroup; });
    }

    std::uint32_t ReadValue(PowerFunction f, const PowerGuid* scheme, const PowerGuid* subgroup,
                            const PowerGuid* setting, std::uint32_t* out) const {
        if (!Has(f)) return kPowerFunctionMissing;
        const SimPowerPlan* plan = scheme ? FindPlan(*scheme) : nullptr;
        if (!plan || !subgroup || !setting) return kPowerFileNotFound;
        const SimPowerValue* v = FindValue(*plan, *subgroup, *setting);
        if (!v) return kPowerFileNotFound;
        bool has = false;
        std::uint32_t value = 0;
        switch (f) {
            case PowerFunction::kReadAcValueIndex: has = v->hasAc, value = v->ac; break;
            case PowerFunction::kReadDcValueIndex: has = v->hasDc, value = v->dc; break;
            case PowerFunction::kReadAcDefaultIndex: has = v->hasAcDefault, value = v->acDefault; break;
            default: has = v->hasDcDefault, value = v->dcDefault; break;
        }
        if (!has) return kPowerFileNotFound;
        *out = value;
        return kPowerOk;
    }

    SimPower& owner_;
    const SimPowerModel& m_;
};

bool SimPower::Capabilities(PowerCapabilities* capabilities) {
    if (!model_.capabilitiesReadable) return false;
    *capabilities = model_.capabilities;
    return true;
}

std::unique_ptr<IPowerLibrary> SimPower::Load() {
    if (!model_.libraryPresent) return nullptr;
    return std::make_unique<SimPowerLibrary>(*this);
}

std::shared_ptr<IPower> MakeSimPower(const MachineSnapshot& machine) {
    const nlohmann::json* section = machine.Section("power");
    if (!section) return nullptr;
    std::vector<std::string> problems;
    auto power = std::make_shared<SimPower>(ParsePowerSection(*section, &problems));
    power->Problems() = std::move(problems);
    return power;
}

std::shared_ptr<IPower> MakeAbsentPower() {
    SimPowerModel model;
    model.libraryPresent = false;
    return std::make_shared<SimPower>(std::move(model));
}

}  // namespace quarro::platform::sim
