// The power-management concern served from a machine snapshot's "power" section (the keys are
// documented in machines/README.md). The model parses the section once; entries that cannot be
// used are left out and listed by Problems().
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/power.h"

namespace quarro::platform::sim {

class MachineSnapshot;

struct SimPowerSetting {
    PowerGuid guid;
    std::u16string name;
    std::uint32_t attributes = 0;
    bool hasUnit = false;
    std::u16string unit;
    std::vector<std::u16string> possibleValues;
};

struct SimPowerSubgroup {
    PowerGuid guid;
    std::u16string name;
    std::vector<SimPowerSetting> settings;
};

// One value of a plan; a member the snapshot leaves out cannot be read.
struct SimPowerValue {
    PowerGuid subgroup, setting;
    bool hasAc = false, hasDc = false, hasAcDefault = false, hasDcDefault = false;
    std::uint32_t ac = 0, dc = 0, acDefault = 0, dcDefault = 0;
};

struct SimPowerPlan {
    PowerGuid guid;
    std::u16string name;
    std::vector<SimPowerValue> values;
};

struct SimPowerModel {
    bool capabilitiesReadable = false;
    PowerCapabilities capabilities;
    bool libraryPresent = true;
    bool missing[static_cast<int>(PowerFunction::kCount)] = {};
    bool hasActivePlan = false;
    PowerGuid activePlan;
    std::vector<SimPowerSubgroup> subgroups;
    std::vector<SimPowerPlan> plans;
    // older interface
    bool suspendAllowed = false, hibernateAllowed = false;
    bool hasActiveScheme = false;
    std::uint32_t activeScheme = 0;
    bool schemesReadable = false;
    std::vector<OlderPowerScheme> schemes;
    bool policiesReadable = false;
    OlderPowerPolicies policies;
};

// Parses a "power" section; unusable entries are skipped and described in *problems.
SimPowerModel ParsePowerSection(const nlohmann::json& section, std::vector<std::string>* problems);

class SimPower : public IPower {
public:
    explicit SimPower(SimPowerModel model) : model_(std::move(model)) {}

    bool Capabilities(PowerCapabilities* capabilities) override;
    std::unique_ptr<IPowerLibrary> Load() override;

    // --- for tests -----------------------------------------------------------------------------
    SimPowerModel& Model() { return model_; }
    // Library sessions open now and opened so far.
    int OpenSessions() const { return openSessions_; }
    int SessionsOpened() const { return sessionsOpened_; }
    std::vector<std::string>& Problems() { return problems_; }

private:
    friend class SimPowerLibrary;
    SimPowerModel model_;
    int openSessions_ = 0;
    int sessionsOpened_ = 0;
    std::vector<std::string> problems_;
};

// The snapshot's power model, or null when machine.json has no "power" member, so that the
// caller keeps the real library.
std::shared_ptr<IPower> MakeSimPower(const MachineSnapshot& machine);

// A machine whose capabilities cannot be read and whose power library is missing.
std::shared_ptr<IPower> MakeAbsentPower();

}  // namespace quarro::platform::sim
