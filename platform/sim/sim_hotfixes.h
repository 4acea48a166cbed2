// The installed-updates concern served from a machine snapshot's "hotfixes" list.
//
// machine.json:
//   "hotfixes": [
//     { "HotFixID": "KB2534111", "Description": "Hotfix" },
//     { "HotFixID": "{A0C1F415-D2CE-4DDC-9B48-14E56FD55162}", "Description": "Update" },
//     { "HotFixID": "KB2506014", "Description": null }
//   ]
// Objects come back in list order. A property that is missing or not a JSON string is not a
// string (as a NULL property of a WMI object). "hotfixes": null (or anything but a list)
// describes a machine where WMI cannot be reached: the query fails.
#pragma once

#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/hotfixes.h"

namespace quarro::platform::sim {

class MachineSnapshot;

class SimHotfixes : public IHotfixes {
public:
    explicit SimHotfixes(const nlohmann::json& hotfixes);
    explicit SimHotfixes(std::vector<HotfixObject> objects) : objects_(std::move(objects)) {}

    bool Query(const std::function<bool(const HotfixObject&)>& visit) override;

    // --- for tests -----------------------------------------------------------------------------
    void SetAvailable(bool available) { available_ = available; }
    const std::vector<HotfixObject>& Objects() const { return objects_; }
    // Objects handed to callers so far.
    std::size_t Visited() const { return visited_; }

private:
    std::vector<HotfixObject> objects_;
    bool available_ = true;
    std::size_t visited_ = 0;
};

// The snapshot's hotfixes, or null when machine.json has no "hotfixes" member, so that the
// caller keeps the real WMI.
std::shared_ptr<IHotfixes> MakeSimHotfixes(const MachineSnapshot& machine);

// A machine without installed updates: the query succeeds and returns nothing.
std::shared_ptr<IHotfixes> MakeEmptyHotfixes();

}  // namespace quarro::platform::sim
