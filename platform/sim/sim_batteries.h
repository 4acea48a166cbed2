// The battery concern served from a machine snapshot: the batteries Windows' battery class
// driver would report, one bay (device interface) per entry of "batteryDevices"
// (machines/README.md, "Batteries").
//
// Behaviour, as the class driver gives it:
//   OpenSet / InterfacePath   one interface per bay, in list order; ERROR_NO_MORE_ITEMS past the last
//   Open                      the bay's path only (case-insensitive); exclusive: a second open of
//                             the same bay fails with ERROR_SHARING_VIOLATION
//   QueryTag                  a tag while a battery sits in the bay, else ERROR_FILE_NOT_FOUND; a
//                             battery put back gets a new tag
//   other queries             ERROR_NO_SUCH_DEVICE for a tag that is not the battery's present one;
//                             a query the bay lists under "failing" fails with ERROR_GEN_FAILURE
//   QueryStatus               answers after the bay's "answerDelayMs" (a slow battery)
// A bay may list "passes": the n-th tag query of that bay (from 0) sees the bay's values changed
// by passes[n] (the last entry once the list is used up), so a replayed snapshot can take a
// battery out and put it back, or change its charge, between one refresh and the next.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/battery.h"

namespace quarro::platform::sim {

class MachineSnapshot;

// One bay as the class driver sees it at one moment.
struct SimBatteryBay {
    std::u16string path;
    bool present = true;
    std::u16string name;
    BatteryInformation information;
    BatteryStatus status;
    std::uint32_t estimatedTime = kBatteryUnknownValue;
    bool failName = false, failInformation = false, failStatus = false, failEstimatedTime = false;
    std::uint32_t answerDelayMs = 0;
};

class SimBatteries : public IBatteries {
public:
    // `bays`: the "batteryDevices" list. Unusable entries are skipped and described in `problems`.
    SimBatteries(const nlohmann::json& bays, std::vector<std::string>* problems);

    BatterySet OpenSet(std::uint32_t flags) override;
    bool InterfacePath(BatterySet set, std::uint32_t index, std::u16string* path) override;
    void CloseSet(BatterySet set) override;
    BatteryHandle Open(const char16_t* path) override;
    void Close(BatteryHandle battery) override;
    bool QueryTag(BatteryHandle battery, std::uint32_t waitMs, std::uint32_t* tag) override;
    bool QueryDeviceName(BatteryHandle battery, std::uint32_t tag, std::u16string* name) override;
    bool QueryInformation(BatteryHandle battery, std::uint32_t tag, BatteryInformation* info) override;
    bool QueryEstimatedTime(BatteryHandle battery, std::uint32_t tag, std::uint32_t* seconds) override;
    bool QueryStatus(BatteryHandle battery, std::uint32_t tag, std::uint32_t waitMs, BatteryStatus* status) override;

    // --- for tests -----------------------------------------------------------------------------
    std::size_t Bays() const;
    // Changes a bay now (a battery taken out or put in, a new charge); `bay` must exist.
    void Change(std::size_t bay, const std::function<void(SimBatteryBay&)>& change);
    std::uint32_t TagQueries(std::size_t bay) const;
    std::size_t OpenHandles() const;
    std::size_t OpenSets() const;

private:
    struct Bay {
        nlohmann::json base;
        std::vector<nlohmann::json> passes;
        SimBatteryBay now;
        std::uint32_t tagQueries = 0;
        std::uint32_t generation = 1;
    };
    // The bay behind a handle with `tag` as its battery's tag; null (last error set) otherwise.
    Bay* Answering(BatteryHandle battery, std::uint32_t tag, bool SimBatteryBay::*fails);
    void SetPresent(Bay& bay, bool present);

    mutable std::mutex lock_;
    std::vector<Bay> bays_;
    std::map<BatteryHandle, std::size_t> handles_;
    std::map<BatterySet, bool> sets_;
    BatteryHandle nextHandle_ = 0xBA7;
    BatterySet nextSet_ = 0xB5E7;
};

// Reads one bay's values; false (with `problem` set) when the entry is unusable.
bool ReadBatteryBay(const nlohmann::json& entry, SimBatteryBay* bay, std::string* problem);

// The snapshot's batteries, or null when machine.json has no "batteryDevices" member (the real
// batteries then serve on Windows).
std::shared_ptr<IBatteries> MakeSimBatteries(const MachineSnapshot& machine);
// A machine without battery bays.
std::shared_ptr<IBatteries> MakeAbsentBatteries();

}  // namespace quarro::platform::sim
