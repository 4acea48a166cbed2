// The real Windows implementations of the operating-system concerns.
#pragma once

#include "platform/modules.h"
#include "platform/mutex.h"
#include "platform/os_identity.h"
#include "platform/prompt.h"
#include "platform/registry.h"
#include "platform/security.h"
#include "platform/shell_folders.h"

namespace quarro::platform::win32 {

// A handle with neither view flag reads the 32-bit view, as the shipping i686 build does on a
// 64-bit Windows; the x86_64 build we test with names that view explicitly.
class Win32Registry : public IRegistry {
public:
    long OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out) override;
    long CreateKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out, bool* created) override;
    long CloseKey(RegKey key) override;
    long QueryValue(RegKey key, const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
    long SetValue(RegKey key, const char16_t* name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long DeleteValue(RegKey key, const char16_t* name) override;
    long DeleteKey(RegKey parent, const char16_t* subkey, std::uint32_t access) override;
    long EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) override;
    long EnumValue(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars, std::uint32_t* type,
                   std::uint8_t* data, std::uint32_t* size) override;
};

class Win32OsIdentity : public IOsIdentity {
public:
    bool GetNativeSystemInfo(SystemInfo* info) override;
    bool GetVersionRecord(OsVersionInfoEx* info) override;
    int GetSystemMetrics(int index) override;
    bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor, std::uint32_t spMinor,
                        std::uint32_t* productType) override;
};

class Win32Security : public ISecurity {
public:
    bool CheckAdministratorsMembership(bool* isMember) override;
};

class Win32Prompt : public IPrompt {
public:
    int ShowMessage(WindowHandle owner, const char16_t* text, const char16_t* caption, std::uint32_t style) override;
};

class Win32NamedMutexes : public INamedMutexes {
public:
    MutexHandle Create(const char16_t* name, bool* alreadyExisted) override;
    void Close(MutexHandle mutex) override;
};

class Win32ShellFolders : public IShellFolders {
public:
    bool GetKnownFolderPath(KnownFolder folder, std::u16string* path) override;
};

class Win32Modules : public IModules {
public:
    std::u16string ProgramFileName() override;
    LibraryHandle Load(const char16_t* name, bool quietErrors) override;
    void* GetExport(LibraryHandle library, const char* name) override;
    void Free(LibraryHandle library) override;
};

}  // namespace quarro::platform::win32
