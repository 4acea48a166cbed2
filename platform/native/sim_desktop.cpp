// The display, process and shell-link concerns in the native build, from the snapshot:
//   "display":    { "bitsPerPixel": n, "composition": true|false }  (a member left out: the call fails)
//   "processes":  [ { "id": n, "image": "C:\\...", "wow64": bool, "opens": bool } ]
//   "shellLinks": { "<folder>": [ { "name": "x.lnk", "target": "...", "arguments": "..." } ] }
// Entries that are not of these shapes are skipped.
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/concerns.h"
#include "platform/display.h"
#include "platform/processes.h"
#include "platform/shell_links.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

namespace {

class SimDisplay : public IDisplay {
public:
    explicit SimDisplay(const nlohmann::json* section) {
        if (!section || !section->is_object()) return;
        auto bits = section->find("bitsPerPixel");
        if (bits != section->end() && bits->is_number_unsigned()) bits_ = bits->get<std::uint32_t>();
        auto composition = section->find("composition");
        if (composition != section->end() && composition->is_boolean()) {
            composition_ = composition->get<bool>() ? 1 : 0;
        }
    }
    bool CurrentBitsPerPixel(std::uint32_t* bits) override {
        if (bits_ < 0) return false;
        if (bits) *bits = static_cast<std::uint32_t>(bits_);
        return true;
    }
    bool CompositionEnabled(bool* enabled) override {
        if (composition_ < 0) return false;
        if (enabled) *enabled = composition_ == 1;
        return true;
    }

private:
    std::int64_t bits_ = -1;
    int composition_ = -1;
};

struct SimProcess {
    std::uint32_t id = 0;
    std::u16string image;
    bool wow64 = false;
    bool opens = true;
};

class SimProcesses : public IProcesses {
public:
    explicit SimProcesses(const nlohmann::json* section) {
        if (!section || !section->is_array()) return;
        for (const auto& entry : *section) {
            if (!entry.is_object()) continue;
            SimProcess process;
            process.id = SectionField<std::uint32_t>(&entry, "id", 0);
            process.image = Utf8ToUtf16(SectionField<std::string>(&entry, "image", ""));
            process.wow64 = SectionField<bool>(&entry, "wow64", false);
            process.opens = SectionField<bool>(&entry, "opens", true);
            processes_.push_back(std::move(process));
        }
    }
    std::vector<std::uint32_t> ProcessIds(std::size_t maxIds) override {
        std::vector<std::uint32_t> ids;
        for (const SimProcess& p : processes_) {
            if (ids.size() == maxIds) break;
            ids.push_back(p.id);
        }
        return ids;
    }
    bool ImagePath(std::uint32_t id, ImagePathKind, std::u16string* path, bool* wow64) override {
        for (const SimProcess& p : processes_) {
            if (p.id != id) continue;
            if (!p.opens || p.image.empty()) return false;
            if (path) *path = p.image;
            if (wow64) *wow64 = p.wow64;
            return true;
        }
        return false;
    }

private:
    std::vector<SimProcess> processes_;
};

struct SimLink {
    std::u16string target, arguments;
};

class SimShellLinks : public IShellLinks {
public:
    explicit SimShellLinks(const nlohmann::json* section) {
        if (!section || !section->is_object()) return;
        for (auto folder = section->begin(); folder != section->end(); ++folder) {
            if (!folder->is_array()) continue;
            std::vector<std::u16string>& files = folders_[Utf8ToUtf16(folder.key())];
            for (const auto& entry : *folder) {
                const std::string name = SectionField<std::string>(&entry, "name", "");
                if (name.empty()) continue;
                const std::u16string file = Utf8ToUtf16(folder.key() + "\\" + name);
                files.push_back(file);
                links_[file] = {Utf8ToUtf16(SectionField<std::string>(&entry, "target", "")),
                                Utf8ToUtf16(SectionField<std::string>(&entry, "arguments", ""))};
            }
        }
    }
    std::vector<std::u16string> LinkFiles(const std::u16string& folder) override {
        auto it = folders_.find(folder);
        return it == folders_.end() ? std::vector<std::u16string>{} : it->second;
    }
    bool ReadLink(const std::u16string& file, std::u16string* target, std::u16string* arguments) override {
        auto it = links_.find(file);
        if (it == links_.end()) return false;
        if (target) *target = it->second.target;
        if (arguments) *arguments = it->second.arguments;
        return true;
    }

private:
    std::map<std::u16string, std::vector<std::u16string>> folders_;
    std::map<std::u16string, SimLink> links_;
};

}  // namespace

std::shared_ptr<IDisplay> MakeSimDisplay(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimDisplay>(machine ? machine->Section("display") : nullptr);
}

std::shared_ptr<IProcesses> MakeSimProcesses(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimProcesses>(machine ? machine->Section("processes") : nullptr);
}

std::shared_ptr<IShellLinks> MakeSimShellLinks(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimShellLinks>(machine ? machine->Section("shellLinks") : nullptr);
}

}  // namespace quarro::platform::sim
