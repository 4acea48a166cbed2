#include "platform/sim/sim_hotfixes.h"

#include <string>

#include "platform/concerns.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

namespace {

void ReadText(const nlohmann::json& entry, const char* name, bool* isString, std::u16string* text) {
    *isString = false;
    text->clear();
    if (!entry.is_object()) return;
    auto it = entry.find(name);
    if (it == entry.end() || !it->is_string()) return;
    *isString = true;
    *text = Utf8ToUtf16(it->get<std::string>());
    if (text->size() > kHotfixTextMaxUnits) text->resize(kHotfixTextMaxUnits);
}

}  // namespace

SimHotfixes::SimHotfixes(const nlohmann::json& hotfixes) : available_(hotfixes.is_array()) {
    if (!available_) return;
    for (const auto& entry : hotfixes) {
        HotfixObject object;
        ReadText(entry, "HotFixID", &object.hotFixIdIsString, &object.hotFixId);
        ReadText(entry, "Description", &object.descriptionIsString, &object.description);
        objects_.push_back(std::move(object));
    }
}

bool SimHotfixes::Query(const std::function<bool(const HotfixObject&)>& visit) {
    if (!available_) return false;
    for (const auto& object : objects_) {
        ++visited_;
        if (!visit(object)) break;
    }
    return true;
}

std::shared_ptr<IHotfixes> MakeSimHotfixes(const MachineSnapshot& machine) {
    const nlohmann::json* hotfixes = machine.Section("hotfixes");
    if (!hotfixes) return nullptr;
    return std::make_shared<SimHotfixes>(*hotfixes);
}

std::shared_ptr<IHotfixes> MakeEmptyHotfixes() {
    return std::make_shared<SimHotfixes>(std::vector<HotfixObject>());
}

}  // namespace quarro::platform::sim
