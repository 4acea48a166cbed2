// The registry concern on Windows: the Reg* calls. A handle with neither view flag reads the
// 32-bit view, as the shipping i686 build does on a 64-bit Windows; the x86_64 build we test with
// names that view explicitly.
#include "platform/concerns.h"
#include "platform/registry.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

using quarro::win32::UniqueRegKey;

REGSAM WithView(std::uint32_t access) {
    if ((access & (KEY_WOW64_64KEY | KEY_WOW64_32KEY)) == 0) access |= KEY_WOW64_32KEY;
    return access;
}

HKEY H(RegKey key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry : public IRegistry {
public:
    long OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out) override {
        HKEY key = nullptr;
        const LONG result = RegOpenKeyExW(H(parent), W(subkey), 0, WithView(access), &key);
        if (result == ERROR_SUCCESS && out) *out = reinterpret_cast<RegKey>(key);
        return result;
    }

    long CreateKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out,
                   bool* created) override {
        UniqueRegKey key;
        DWORD disposition = 0;
        const LONG result = RegCreateKeyExW(H(parent), W(subkey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            WithView(access), nullptr, key.Put(), &disposition);
        if (result == ERROR_SUCCESS) {
            if (created) *created = disposition == REG_CREATED_NEW_KEY;
            // The caller who does not take the key has it closed here.
            if (out) *out = reinterpret_cast<RegKey>(key.Release());
        }
        return result;
    }

    long CloseKey(RegKey key) override { return RegCloseKey(H(key)); }

    long QueryValue(RegKey key, const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
        DWORD valueType = 0;
        DWORD valueSize = size ? *size : 0;
        const LONG result = RegQueryValueExW(H(key), W(name), nullptr, &valueType, data, size ? &valueSize : nullptr);
        if (type && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) *type = valueType;
        if (size && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) *size = valueSize;
        return result;
    }

    long SetValue(RegKey key, const char16_t* name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        return RegSetValueExW(H(key), W(name), 0, type, data, size);
    }

    long DeleteValue(RegKey key, const char16_t* name) override { return RegDeleteValueW(H(key), W(name)); }

    long DeleteKey(RegKey parent, const char16_t* subkey, std::uint32_t access) override {
        // RegDeleteKeyExW is missing on 32-bit Windows XP, where there is only one view anyway.
        using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
        static const auto deleteKeyEx = LoadedExport<DeleteKeyEx>(L"advapi32.dll", "RegDeleteKeyExW");
        if (deleteKeyEx) {
            return deleteKeyEx(H(parent), W(subkey), WithView(access) & (KEY_WOW64_64KEY | KEY_WOW64_32KEY), 0);
        }
        return RegDeleteKeyW(H(parent), W(subkey));
    }

    long EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) override {
        DWORD chars = nameChars ? *nameChars : 0;
        const LONG result = RegEnumKeyExW(H(key), index, W(name), &chars, nullptr, nullptr, nullptr, nullptr);
        if (nameChars) *nameChars = chars;
        return result;
    }

    long EnumValue(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars, std::uint32_t* type,
                   std::uint8_t* data, std::uint32_t* size) override {
        DWORD chars = nameChars ? *nameChars : 0;
        DWORD valueType = 0;
        DWORD valueSize = size ? *size : 0;
        const LONG result = RegEnumValueW(H(key), index, W(name), &chars, nullptr, &valueType, data,
                                          size ? &valueSize : nullptr);
        if (nameChars) *nameChars = chars;
        if (type) *type = valueType;
        if (size) *size = valueSize;
        return result;
    }
};

}  // namespace

std::shared_ptr<IRegistry> MakeWin32Registry() { return std::make_shared<Win32Registry>(); }

}  // namespace quarro::platform::win32
