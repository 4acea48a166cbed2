#include "platform/sim/machine_snapshot.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace quarro::platform::sim {

namespace {

std::filesystem::path PathFromUtf8(const std::string& text) {
    // On Windows a narrow path would go through the ANSI code page; snapshot paths are UTF-8.
    return std::filesystem::u8path(text);
}

bool ParseJsonFile(const std::string& path, nlohmann::json* out, std::string* error) {
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        if (error) *error = path + ": cannot be read";
        return false;
    }
    try {
        *out = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        if (error) *error = path + ": " + e.what();
        return false;
    }
    if (!out->is_object()) {
        if (error) *error = path + ": the top level is not an object";
        return false;
    }
    return true;
}

// Merges `part` into `whole`: objects merge member by member; any other value may be given by
// one file only, so two files can never silently disagree about a field.
bool MergeInto(nlohmann::json& whole, const nlohmann::json& part, const std::string& where,
               std::string* conflict) {
    for (auto it = part.begin(); it != part.end(); ++it) {
        const std::string path = where + "/" + it.key();
        auto found = whole.find(it.key());
        if (found == whole.end()) {
            whole[it.key()] = it.value();
        } else if (found->is_object() && it.value().is_object()) {
            if (!MergeInto(*found, it.value(), path, conflict)) return false;
        } else {
            *conflict = path;
            return false;
        }
    }
    return true;
}

// The part files "machine.<part>.json" of a snapshot folder, in name order.
std::vector<std::filesystem::path> PartFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> parts;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().u8string();
        if (name.size() > 13 && name.compare(0, 8, "machine.") == 0 &&
            name.compare(name.size() - 5, 5, ".json") == 0 && it->is_regular_file(ec)) {
            parts.push_back(it->path());
        }
    }
    std::sort(parts.begin(), parts.end());
    return parts;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return false;
    *bytes = content.str();
    return true;
}

std::unique_ptr<MachineSnapshot> MachineSnapshot::Load(const std::string& folder, std::string* error) {
    auto snapshot = std::unique_ptr<MachineSnapshot>(new MachineSnapshot());
    snapshot->folder_ = folder;
    const std::string jsonPath = (PathFromUtf8(folder) / "machine.json").u8string();
    if (!ParseJsonFile(jsonPath, &snapshot->json_, error)) return nullptr;
    for (const auto& partPath : PartFiles(PathFromUtf8(folder))) {
        nlohmann::json part;
        if (!ParseJsonFile(partPath.u8string(), &part, error)) return nullptr;
        std::string conflict;
        if (!MergeInto(snapshot->json_, part, "", &conflict)) {
            if (error) *error = partPath.u8string() + ": " + conflict + " is also given by another file";
            return nullptr;
        }
    }
    return snapshot;
}

const nlohmann::json* MachineSnapshot::Section(const char* name) const {
    auto it = json_.find(name);
    if (it == json_.end() || it->is_null()) return nullptr;
    return &*it;
}

std::string MachineSnapshot::FilePath(const char* name) const {
    std::error_code ec;
    const auto path = PathFromUtf8(folder_) / name;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    return path.u8string();
}

}  // namespace quarro::platform::sim
