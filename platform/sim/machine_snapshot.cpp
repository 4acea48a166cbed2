#include "platform/sim/machine_snapshot.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quarro::platform::sim {

namespace {

std::filesystem::path PathFromUtf8(const std::string& text) {
    // On Windows a narrow path would go through the ANSI code page; snapshot paths are UTF-8.
    return std::filesystem::u8path(text);
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
    std::string text;
    if (!ReadWholeFile(jsonPath, &text)) {
        if (error) *error = jsonPath + ": cannot be read";
        return nullptr;
    }
    try {
        snapshot->json_ = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        if (error) *error = jsonPath + ": " + e.what();
        return nullptr;
    }
    if (!snapshot->json_.is_object()) {
        if (error) *error = jsonPath + ": the top level is not an object";
        return nullptr;
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
