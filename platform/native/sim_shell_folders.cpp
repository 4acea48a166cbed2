// Known folders in the native build: the "folders" section of machine.json (text paths under the
// names Documents, Desktop, Startup, CommonStartup, ProgramFiles, Windows, DefaultUserStartup); the documents folder
// falls back to QUARRO_DOCUMENTS, then $HOME.
#include <cstdlib>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/concerns.h"
#include "platform/shell_folders.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

namespace {

class SimShellFolders : public IShellFolders {
public:
    explicit SimShellFolders(const nlohmann::json* folders) {
        if (folders && folders->is_object()) {
            for (auto it = folders->begin(); it != folders->end(); ++it) {
                if (it->is_string()) paths_[it.key()] = it->get<std::string>();
            }
        }
    }

    bool GetKnownFolderPath(KnownFolder folder, std::u16string* path) override {
        static const char* const kNames[] = {"Documents", "Desktop", "Startup", "CommonStartup", "ProgramFiles",
                                             "Windows",   "DefaultUserStartup"};
        const char* name = kNames[static_cast<int>(folder)];
        std::string found;
        auto it = paths_.find(name);
        if (it != paths_.end()) {
            found = it->second;
        } else if (folder == KnownFolder::Documents) {
            if (const char* documents = std::getenv("QUARRO_DOCUMENTS")) {
                found = documents;
            } else if (const char* home = std::getenv("HOME")) {
                found = home;
            }
        }
        while (found.size() > 1 && (found.back() == '/' || found.back() == '\\')) found.pop_back();
        if (found.empty() || !path) return false;
        *path = Utf8ToUtf16(found);
        return true;
    }

private:
    std::map<std::string, std::string> paths_;
};

}  // namespace

std::shared_ptr<IShellFolders> MakeSimShellFolders(const MachineSnapshot* machine, std::string*) {
    return std::make_shared<SimShellFolders>(machine ? machine->Section("folders") : nullptr);
}

}  // namespace quarro::platform::sim
