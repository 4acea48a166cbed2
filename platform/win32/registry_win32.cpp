#include "platform/win32/win32_os.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

REGSAM WithView(std::uint32_t access) {
    if ((access & (KEY_WOW64_64KEY | KEY_WOW64_32KEY)) == 0) access |= KEY_WOW64_32KEY;
    return access;
}

HKEY H(RegKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

long Win32Registry::OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out) {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExW(H(parent), W(subkey), 0, WithView(access), &key);
    if (result == ERROR_SUCCESS && out) *out = reinterpret_cast<RegKey>(key);
    return result;
}

long Win32Registry::CreateKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out,
                              bool* created) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG result = RegCreateKeyExW(H(parent), W(subkey), 0, nullptr, REG_OPTION_NON_VOLATILE, WithView(access),
                                        nullptr, &key, &disposition);
    if (result == ERROR_SUCCESS) {
        if (out) {
            *out = reinterpret_cast<RegKey>(key);
        } else {
            RegCloseKey(key);
        }
        if (created) *created = disposition == REG_CREATED_NEW_KEY;
    }
    return result;
}

long Win32Registry::CloseKey(RegKey key) { return RegCloseKey(H(key)); }

long Win32Registry::QueryValue(RegKey key, const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* size) {
    DWORD valueType = 0;
    DWORD valueSize = size ? *size : 0;
    const LONG result = RegQueryValueExW(H(key), W(name), nullptr, &valueType, data, size ? &valueSize : nullptr);
    if (type && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) *type = valueType;
    if (size && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) *size = valueSize;
    return result;
}

long Win32Registry::SetValue(RegKey key, const char16_t* name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) {
    return RegSetValueExW(H(key), W(name), 0, type, data, size);
}

long Win32Registry::DeleteValue(RegKey key, const char16_t* name) { return RegDeleteValueW(H(key), W(name)); }

long Win32Registry::DeleteKey(RegKey parent, const char16_t* subkey, std::uint32_t access) {
    // RegDeleteKeyExW is missing on 32-bit Windows XP, where there is only one view anyway.
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    static const auto deleteKeyEx = LoadedExport<DeleteKeyEx>(L"advapi32.dll", "RegDeleteKeyExW");
    if (deleteKeyEx) return deleteKeyEx(H(parent), W(subkey), WithView(access) & (KEY_WOW64_64KEY | KEY_WOW64_32KEY), 0);
    return RegDeleteKeyW(H(parent), W(subkey));
}

long Win32Registry::EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) {
    DWORD chars = nameChars ? *nameChars : 0;
    const LONG result = RegEnumKeyExW(H(key), index, W(name), &chars, nullptr, nullptr, nullptr, nullptr);
    if (nameChars) *nameChars = chars;
    return result;
}

long Win32Registry::EnumValue(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars,
                              std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
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

}  // namespace quarro::platform::win32
