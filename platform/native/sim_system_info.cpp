#include "platform/native/sim_system_info.h"

#include "platform/concerns.h"

#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

namespace {

// The key of a Windows path: ASCII case folded and "/" read as "\\", as Windows reads both.
std::u16string Lower(const std::u16string& path) {
    std::u16string out = path;
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c == u'/') c = u'\\';
    }
    return out;
}

}  // namespace

SimSystemInfo::SimSystemInfo(const nlohmann::json* section) {
    if (!section || !section->is_object()) return;
    if (auto it = section->find("uiLanguage"); it != section->end() && it->is_number_unsigned() &&
                                               it->get<std::uint64_t>() <= 0xFFFF) {
        language_ = static_cast<std::uint16_t>(it->get<std::uint64_t>());
    }
    if (auto it = section->find("totalPhysicalBytes"); it != section->end() && it->is_number_unsigned()) {
        memory_ = it->get<std::uint64_t>();
    }
    if (auto it = section->find("files"); it != section->end() && it->is_object()) {
        for (const auto& [path, text] : it->items()) {
            if (text.is_string()) files_[Lower(Utf8ToUtf16(path))] = text.get<std::string>();
        }
    }
}

bool SimSystemInfo::TotalPhysicalMemory(std::uint64_t* bytes) {
    if (!memory_) return false;
    *bytes = *memory_;
    return true;
}

bool SimSystemInfo::ReadTextFile(const char16_t* path, std::size_t maxBytes, std::string* bytes) {
    if (!path) return false;
    auto it = files_.find(Lower(path));
    if (it == files_.end()) return false;
    *bytes = it->second.substr(0, maxBytes);
    return true;
}

void SimSystemInfo::SetFile(const std::u16string& path, const std::string& bytes) { files_[Lower(path)] = bytes; }

std::shared_ptr<ISystemInfo> MakeSimSystemInfo(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimSystemInfo>(machine ? machine->Section("systemInfo") : nullptr);
}

}  // namespace quarro::platform::sim
