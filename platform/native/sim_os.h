// The operating system as a machine snapshot describes it (native build): OS identity, token
// membership, message boxes, named mutexes, known folders and run-time libraries.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/modules.h"
#include "platform/mutex.h"
#include "platform/os_identity.h"
#include "platform/prompt.h"
#include "platform/security.h"
#include "platform/shell_folders.h"

namespace quarro::platform::sim {

// From the "os" section of machine.json (see machines/README.md for the fields).
class SimOsIdentity : public IOsIdentity {
public:
    explicit SimOsIdentity(const nlohmann::json* os);

    bool GetNativeSystemInfo(SystemInfo* info) override;
    bool GetVersionRecord(OsVersionInfoEx* info) override;
    int GetSystemMetrics(int index) override;
    bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor, std::uint32_t spMinor,
                        std::uint32_t* productType) override;

    // The record the simulated system reports; tests change it to reach other systems.
    OsVersionInfoEx version{};
    bool versionFails = false;          // every GetVersionEx call fails
    bool extendedVersionFails = false;  // only the OSVERSIONINFOEXW-sized call fails
    bool hasNativeSystemInfo = true;
    SystemInfo systemInfo{};
    bool hasProductInfo = true;
    std::uint32_t productType = 0;
    int tabletPc = 0;
    int mediaCenter = 0;
    int starter = 0;
};

class SimSecurity : public ISecurity {
public:
    explicit SimSecurity(const nlohmann::json* os);
    bool CheckAdministratorsMembership(bool* isMember) override;

    bool administrator = true;
    bool checkFails = false;
};

// Nobody sits at a simulated machine: every box is answered with its default button, and the
// boxes shown are kept for tests.
class SimPrompt : public IPrompt {
public:
    struct Shown {
        std::u16string text;
        std::u16string caption;
        std::uint32_t style;
    };
    int ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption, std::uint32_t style) override;

    std::vector<Shown> shown;
    int answerOverride = 0;  // non-zero: the answer to give instead of the default button
};

// Process-local named mutexes (the simulated machine runs one process at a time).
class SimNamedMutexes : public INamedMutexes {
public:
    MutexHandle Create(const char16_t* name, bool* alreadyExisted) override;
    void Close(MutexHandle mutex) override;

private:
    std::mutex lock_;
    std::map<std::u16string, int> open_;
    std::map<MutexHandle, std::u16string> handles_;
    MutexHandle next_ = 1;
};

// Known folders from the "folders" section of machine.json; the documents folder falls back to
// QUARRO_DOCUMENTS, then $HOME.
class SimShellFolders : public IShellFolders {
public:
    explicit SimShellFolders(const nlohmann::json* folders);
    bool GetKnownFolderPath(KnownFolder folder, std::u16string* path) override;

private:
    std::map<std::string, std::string> paths_;
};

// Shared objects loaded with dlopen; "Name.dll" means libName.so beside the program.
class SimModules : public IModules {
public:
    std::u16string ProgramFileName() override;
    LibraryHandle Load(const char16_t* name, bool quietErrors) override;
    void* GetExport(LibraryHandle library, const char* name) override;
    void Free(LibraryHandle library) override;
};

}  // namespace quarro::platform::sim
