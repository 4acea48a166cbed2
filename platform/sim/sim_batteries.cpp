#include "platform/sim/sim_batteries.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/concerns.h"
#include "platform/last_error.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"
#include "platform/win32_errors.h"

namespace quarro::platform::sim {

namespace {

using nlohmann::json;

constexpr long kErrorNoSuchDevice = 433;

bool Fail(long error) {
    SetLastErrorCode(static_cast<std::uint32_t>(error));
    return false;
}

// A 32-bit value: a JSON number, number text ("0x40000000") or "unknown" (`unknown`).
bool Value32(const json& entry, const char* name, std::uint32_t unknown, std::uint32_t* out) {
    auto it = entry.find(name);
    if (it == entry.end()) return true;  // keeps what it was
    if (it->is_string() && it->get<std::string>() == "unknown") {
        *out = unknown;
        return true;
    }
    if (it->is_number_integer()) {
        const long long v = it->get<long long>();
        if (v < -2147483648LL || v > 0xFFFFFFFFLL) return false;
        *out = static_cast<std::uint32_t>(v);
        return true;
    }
    if (it->is_string()) {
        const std::string text = it->get<std::string>();
        char* end = nullptr;
        const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
        if (text.empty() || *end != 0 || v > 0xFFFFFFFFULL) return false;
        *out = static_cast<std::uint32_t>(v);
        return true;
    }
    return false;
}

std::u16string Upper(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return text;
}

}  // namespace

bool ReadBatteryBay(const json& entry, SimBatteryBay* bay, std::string* problem) {
    if (!entry.is_object()) {
        *problem = "a bay is an object";
        return false;
    }
    auto text = [&](const char* name, std::string* out) {
        auto it = entry.find(name);
        if (it == entry.end()) return true;
        if (!it->is_string()) return false;
        *out = it->get<std::string>();
        return true;
    };
    std::string path = Utf16ToUtf8(bay->path), name = Utf16ToUtf8(bay->name), chemistry;
    if (!text("path", &path) || path.empty() || !text("name", &name) || !text("chemistry", &chemistry) ||
        chemistry.size() > 4) {
        *problem = "needs \"path\" and text \"name\", \"chemistry\" (at most 4 characters)";
        return false;
    }
    bay->path = Utf8ToUtf16(path);
    bay->name = Utf8ToUtf16(name);
    if (entry.contains("chemistry")) {
        std::memset(bay->information.chemistry, 0, 4);
        std::memcpy(bay->information.chemistry, chemistry.data(), chemistry.size());
    }
    if (entry.contains("present")) {
        if (!entry["present"].is_boolean()) {
            *problem = "\"present\" is true or false";
            return false;
        }
        bay->present = entry["present"].get<bool>();
    }
    std::uint32_t rate = static_cast<std::uint32_t>(bay->status.rate);
    BatteryInformation& info = bay->information;
    BatteryStatus& status = bay->status;
    if (!Value32(entry, "capabilities", kBatteryUnknownValue, &info.capabilities) ||
        !Value32(entry, "designedCapacity", kBatteryUnknownValue, &info.designedCapacity) ||
        !Value32(entry, "fullChargedCapacity", kBatteryUnknownValue, &info.fullChargedCapacity) ||
        !Value32(entry, "cycleCount", kBatteryUnknownValue, &info.cycleCount) ||
        !Value32(entry, "powerState", kBatteryUnknownValue, &status.powerState) ||
        !Value32(entry, "capacity", kBatteryUnknownValue, &status.capacity) ||
        !Value32(entry, "voltage", kBatteryUnknownValue, &status.voltage) ||
        !Value32(entry, "rate", static_cast<std::uint32_t>(kBatteryUnknownRate), &rate) ||
        !Value32(entry, "estimatedTime", kBatteryUnknownValue, &bay->estimatedTime) ||
        !Value32(entry, "answerDelayMs", 0, &bay->answerDelayMs) || bay->answerDelayMs > 60000) {
        *problem = "numbers are 32-bit values or \"unknown\"; \"answerDelayMs\" at most 60000";
        return false;
    }
    status.rate = static_cast<std::int32_t>(rate);
    if (entry.contains("failing")) {
        const json& failing = entry["failing"];
        if (!failing.is_array()) {
            *problem = "\"failing\" is a list";
            return false;
        }
        bay->failName = bay->failInformation = bay->failStatus = bay->failEstimatedTime = false;
        for (const json& query : failing) {
            const std::string q = query.is_string() ? query.get<std::string>() : "";
            if (q == "name") bay->failName = true;
            else if (q == "information") bay->failInformation = true;
            else if (q == "status") bay->failStatus = true;
            else if (q == "estimatedTime") bay->failEstimatedTime = true;
            else {
                *problem = "\"failing\" names \"name\", \"information\", \"status\" or \"estimatedTime\"";
                return false;
            }
        }
    }
    return true;
}

SimBatteries::SimBatteries(const json& bays, std::vector<std::string>* problems) {
    if (!bays.is_array()) {
        if (problems) problems->push_back("batteryDevices: a list of bays");
        return;
    }
    for (const json& entry : bays) {
        Bay bay;
        std::string problem;
        if (!ReadBatteryBay(entry, &bay.now, &problem)) {
            if (problems) problems->push_back("batteryDevices: " + problem);
            continue;
        }
        bay.base = entry;
        if (entry.contains("passes") && entry["passes"].is_array()) {
            for (const json& pass : entry["passes"]) bay.passes.push_back(pass);
        }
        bays_.push_back(std::move(bay));
    }
}

BatterySet SimBatteries::OpenSet(std::uint32_t) {
    const std::lock_guard<std::mutex> hold(lock_);
    const BatterySet set = nextSet_++;
    sets_[set] = true;
    return set;
}

bool SimBatteries::InterfacePath(BatterySet set, std::uint32_t index, std::u16string* path) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!sets_.count(set)) return Fail(kErrorInvalidHandle);
    if (index >= bays_.size()) return Fail(kErrorNoMoreItems);
    if (path) *path = bays_[index].now.path;
    return true;
}

void SimBatteries::CloseSet(BatterySet set) {
    const std::lock_guard<std::mutex> hold(lock_);
    sets_.erase(set);
}

BatteryHandle SimBatteries::Open(const char16_t* path) {
    const std::lock_guard<std::mutex> hold(lock_);
    const std::u16string wanted = Upper(path ? path : u"");
    for (std::size_t i = 0; i < bays_.size(); ++i) {
        if (Upper(bays_[i].now.path) != wanted) continue;
        for (const auto& open : handles_) {
            if (open.second == i) {
                Fail(kErrorSharingViolation);
                return kNoBattery;
            }
        }
        const BatteryHandle handle = nextHandle_++;
        handles_[handle] = i;
        return handle;
    }
    Fail(kErrorFileNotFound);
    return kNoBattery;
}

void SimBatteries::Close(BatteryHandle battery) {
    const std::lock_guard<std::mutex> hold(lock_);
    handles_.erase(battery);
}

void SimBatteries::SetPresent(Bay& bay, bool present) {
    if (present && !bay.now.present) ++bay.generation;
    bay.now.present = present;
}

bool SimBatteries::QueryTag(BatteryHandle battery, std::uint32_t, std::uint32_t* tag) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (tag) *tag = 0;
    auto it = handles_.find(battery);
    if (it == handles_.end()) return Fail(kErrorInvalidHandle);
    Bay& bay = bays_[it->second];
    if (!bay.passes.empty()) {
        const json& pass = bay.passes[bay.tagQueries < bay.passes.size() ? bay.tagQueries : bay.passes.size() - 1];
        json values = bay.base;
        if (pass.is_object()) values.update(pass);
        SimBatteryBay next;
        std::string problem;
        if (ReadBatteryBay(values, &next, &problem)) {
            const bool wasPresent = bay.now.present;
            bay.now = next;
            bay.now.present = wasPresent;
            SetPresent(bay, next.present);
        }
    }
    ++bay.tagQueries;
    if (!bay.now.present) return Fail(kErrorFileNotFound);
    if (tag) *tag = (bay.generation << 8) | static_cast<std::uint32_t>(it->second + 1);
    return true;
}

SimBatteries::Bay* SimBatteries::Answering(BatteryHandle battery, std::uint32_t tag, bool SimBatteryBay::*fails) {
    auto it = handles_.find(battery);
    if (it == handles_.end()) {
        Fail(kErrorInvalidHandle);
        return nullptr;
    }
    Bay& bay = bays_[it->second];
    if (!bay.now.present || tag != ((bay.generation << 8) | static_cast<std::uint32_t>(it->second + 1))) {
        Fail(kErrorNoSuchDevice);
        return nullptr;
    }
    if (bay.now.*fails) {
        Fail(kErrorGenFailure);
        return nullptr;
    }
    return &bay;
}

bool SimBatteries::QueryDeviceName(BatteryHandle battery, std::uint32_t tag, std::u16string* name) {
    const std::lock_guard<std::mutex> hold(lock_);
    Bay* bay = Answering(battery, tag, &SimBatteryBay::failName);
    if (!bay) return false;
    if (name) *name = bay->now.name.substr(0, kBatteryNameMaxChars);
    return true;
}

bool SimBatteries::QueryInformation(BatteryHandle battery, std::uint32_t tag, BatteryInformation* info) {
    const std::lock_guard<std::mutex> hold(lock_);
    Bay* bay = Answering(battery, tag, &SimBatteryBay::failInformation);
    if (!bay) return false;
    if (info) *info = bay->now.information;
    return true;
}

bool SimBatteries::QueryEstimatedTime(BatteryHandle battery, std::uint32_t tag, std::uint32_t* seconds) {
    const std::lock_guard<std::mutex> hold(lock_);
    Bay* bay = Answering(battery, tag, &SimBatteryBay::failEstimatedTime);
    if (!bay) return false;
    if (seconds) *seconds = bay->now.estimatedTime;
    return true;
}

bool SimBatteries::QueryStatus(BatteryHandle battery, std::uint32_t tag, std::uint32_t, BatteryStatus* status) {
    std::uint32_t delay = 0;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        auto it = handles_.find(battery);
        if (it != handles_.end()) delay = bays_[it->second].now.answerDelayMs;
    }
    // A slow battery holds only its caller, never the other bays.
    if (delay) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    const std::lock_guard<std::mutex> hold(lock_);
    Bay* bay = Answering(battery, tag, &SimBatteryBay::failStatus);
    if (!bay) return false;
    if (status) *status = bay->now.status;
    return true;
}

std::size_t SimBatteries::Bays() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return bays_.size();
}

void SimBatteries::Change(std::size_t bay, const std::function<void(SimBatteryBay&)>& change) {
    const std::lock_guard<std::mutex> hold(lock_);
    Bay& b = bays_.at(bay);
    const bool wasPresent = b.now.present;
    change(b.now);
    const bool present = b.now.present;
    b.now.present = wasPresent;
    SetPresent(b, present);
}

std::uint32_t SimBatteries::TagQueries(std::size_t bay) const {
    const std::lock_guard<std::mutex> hold(lock_);
    return bays_.at(bay).tagQueries;
}

std::size_t SimBatteries::OpenHandles() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return handles_.size();
}

std::size_t SimBatteries::OpenSets() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return sets_.size();
}

std::shared_ptr<IBatteries> MakeSimBatteries(const MachineSnapshot& machine) {
    const json* bays = machine.Section("batteryDevices");
    if (!bays) return nullptr;
    return std::make_shared<SimBatteries>(*bays, nullptr);
}

std::shared_ptr<IBatteries> MakeAbsentBatteries() {
    return std::make_shared<SimBatteries>(json::array(), nullptr);
}

}  // namespace quarro::platform::sim
