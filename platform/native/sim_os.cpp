#include "platform/native/sim_os.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/recording_prompt.h"
#include "platform/utf8.h"

#ifndef _WIN32
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace quarro::platform::sim {

namespace {

template <typename T>
T Field(const nlohmann::json* section, const char* name, T fallback) {
    if (!section || !section->is_object()) return fallback;
    auto it = section->find(name);
    if (it == section->end() || it->is_null()) return fallback;
    try {
        return it->get<T>();
    } catch (const nlohmann::json::exception&) {
        return fallback;
    }
}

}  // namespace

SimOsIdentity::SimOsIdentity(const nlohmann::json* os) {
    version.size = kOsVersionInfoExSize;
    version.platformId = Field<std::uint32_t>(os, "platformId", 2);
    version.majorVersion = Field<std::uint32_t>(os, "major", 6);
    version.minorVersion = Field<std::uint32_t>(os, "minor", 1);
    version.buildNumber = Field<std::uint32_t>(os, "build", 7601);
    const std::u16string csd = Utf8ToUtf16(Field<std::string>(os, "csdVersion", "Service Pack 1"));
    const std::size_t units = csd.size() < 127 ? csd.size() : 127;
    std::memcpy(version.csdVersion, csd.data(), units * sizeof(char16_t));
    version.servicePackMajor = Field<std::uint16_t>(os, "servicePackMajor", 1);
    version.servicePackMinor = Field<std::uint16_t>(os, "servicePackMinor", 0);
    version.suiteMask = Field<std::uint16_t>(os, "suiteMask", 0x100);
    version.productType = Field<std::uint8_t>(os, "productType", kVerNtWorkstation);
    versionFails = Field<bool>(os, "versionFails", false);

    hasNativeSystemInfo = Field<bool>(os, "hasNativeSystemInfo", true);
    systemInfo.processorArchitecture = Field<std::uint16_t>(os, "processorArchitecture", kProcessorArchitectureAmd64);
    systemInfo.pageSize = 4096;
    systemInfo.numberOfProcessors = Field<std::uint32_t>(os, "numberOfProcessors", 2);
    systemInfo.allocationGranularity = 65536;

    hasProductInfo = Field<bool>(os, "hasProductInfo", true);
    productType = Field<std::uint32_t>(os, "productInfo", 0);
    const nlohmann::json* metrics = nullptr;
    if (os && os->is_object()) {
        auto it = os->find("metrics");
        if (it != os->end()) metrics = &*it;
    }
    tabletPc = Field<int>(metrics, "tabletPc", 0);
    mediaCenter = Field<int>(metrics, "mediaCenter", 0);
    starter = Field<int>(metrics, "starter", 0);
}

bool SimOsIdentity::GetNativeSystemInfo(SystemInfo* info) {
    if (!hasNativeSystemInfo || !info) return false;
    *info = systemInfo;
    return true;
}

bool SimOsIdentity::GetVersionRecord(OsVersionInfoEx* info) {
    if (!info || versionFails) return false;
    if (info->size == kOsVersionInfoSize) {
        std::memcpy(reinterpret_cast<char*>(info) + sizeof(info->size),
                    reinterpret_cast<const char*>(&version) + sizeof(version.size),
                    kOsVersionInfoSize - sizeof(version.size));
        return true;
    }
    if (info->size == kOsVersionInfoExSize) {
        if (extendedVersionFails) return false;
        *info = version;
        info->size = kOsVersionInfoExSize;
        return true;
    }
    return false;
}

int SimOsIdentity::GetSystemMetrics(int index) {
    switch (index) {
    case kSmTabletPc: return tabletPc;
    case kSmMediaCenter: return mediaCenter;
    case kSmStarter: return starter;
    default: return 0;
    }
}

bool SimOsIdentity::GetProductInfo(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                   std::uint32_t* type) {
    if (!hasProductInfo || !type) return false;
    *type = productType;
    return true;
}

SimSecurity::SimSecurity(const nlohmann::json* os) : administrator(Field<bool>(os, "administrator", true)) {}

bool SimSecurity::CheckAdministratorsMembership(bool* isMember) {
    if (checkFails || !isMember) return false;
    *isMember = administrator;
    return true;
}

int SimPrompt::ShowMessage(WindowHandle, const char16_t* text, const char16_t* caption, std::uint32_t style) {
    shown.push_back({text ? text : u"", caption ? caption : u"", style});
    if (answerOverride != 0) return answerOverride;
    return DefaultAnswer(style);
}

MutexHandle SimNamedMutexes::Create(const char16_t* name, bool* alreadyExisted) {
    std::lock_guard<std::mutex> guard(lock_);
    const std::u16string key = name ? name : u"";
    int& count = open_[key];
    if (alreadyExisted) *alreadyExisted = !key.empty() && count > 0;
    ++count;
    const MutexHandle handle = next_++;
    handles_[handle] = key;
    return handle;
}

void SimNamedMutexes::Close(MutexHandle mutex) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = handles_.find(mutex);
    if (it == handles_.end()) return;
    if (--open_[it->second] <= 0) open_.erase(it->second);
    handles_.erase(it);
}

SimShellFolders::SimShellFolders(const nlohmann::json* folders) {
    if (folders && folders->is_object()) {
        for (auto it = folders->begin(); it != folders->end(); ++it) {
            if (it->is_string()) paths_[it.key()] = it->get<std::string>();
        }
    }
}

bool SimShellFolders::GetKnownFolderPath(KnownFolder folder, std::u16string* path) {
    static const char* const kNames[] = {"Documents", "Desktop", "Startup", "CommonStartup", "ProgramFiles", "Windows"};
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

#ifndef _WIN32

std::u16string SimModules::ProgramFileName() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) return {};
    return Utf8ToUtf16(std::string(buffer, static_cast<std::size_t>(length)));
}

LibraryHandle SimModules::Load(const char16_t* name, bool) {
    if (!name || !*name) return 0;
    std::string file = Utf16ToUtf8(name);
    if (file.size() > 4 && (file.compare(file.size() - 4, 4, ".dll") == 0 || file.compare(file.size() - 4, 4, ".DLL") == 0)) {
        file = "lib" + file.substr(0, file.size() - 4) + ".so";
    }
    std::string program = Utf16ToUtf8(ProgramFileName());
    const auto slash = program.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : program.substr(0, slash);
    void* library = dlopen((folder + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    return reinterpret_cast<LibraryHandle>(library);
}

void* SimModules::GetExport(LibraryHandle library, const char* name) {
    if (!library || !name) return nullptr;
    return dlsym(reinterpret_cast<void*>(library), name);
}

void SimModules::Free(LibraryHandle library) {
    if (library) dlclose(reinterpret_cast<void*>(library));
}

#else

// The Windows build always loads modules for real; these are never selected there.
std::u16string SimModules::ProgramFileName() { return {}; }
LibraryHandle SimModules::Load(const char16_t*, bool) { return 0; }
void* SimModules::GetExport(LibraryHandle, const char*) { return nullptr; }
void SimModules::Free(LibraryHandle) {}

#endif

}  // namespace quarro::platform::sim
