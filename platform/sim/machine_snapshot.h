// A machine snapshot: the simulated notebook described by a folder (machine.json, registry.reg,
// smbios.bin). Part files "machine.<part>.json" beside machine.json are merged into it member by
// member, so one concern's data can live in a file of its own; a value given twice is an error. Files a snapshot does not have leave their concerns to the real implementation
// (on Windows) or empty (natively).
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

namespace quarro::platform::sim {

class MachineSnapshot {
public:
    // Loads the snapshot in `folder`. Null with a message naming the file (and line or position)
    // on failure. A missing machine.json is an error; registry.reg and smbios.bin are optional.
    static std::unique_ptr<MachineSnapshot> Load(const std::string& folder, std::string* error);

    const std::string& Folder() const { return folder_; }
    const nlohmann::json& Json() const { return json_; }
    // The member of machine.json with this name, or null when the snapshot does not describe it.
    const nlohmann::json* Section(const char* name) const;
    // Path of a file inside the snapshot folder, empty when it does not exist.
    std::string FilePath(const char* name) const;

private:
    std::string folder_;
    nlohmann::json json_;
};

// The member `name` of a snapshot section as T; `fallback` when the section or the member is
// missing, null or of a type that does not convert.
template <typename T>
T SectionField(const nlohmann::json* section, const char* name, T fallback) {
    if (!section || !section->is_object()) return fallback;
    auto it = section->find(name);
    if (it == section->end() || it->is_null()) return fallback;
    try {
        return it->get<T>();
    } catch (const nlohmann::json::exception&) {
        return fallback;
    }
}

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace quarro::platform::sim
