// The registry concern: the few registry calls the programs make, with Win32 semantics.
//
// Keys are opaque handles. The predefined roots carry the same values as the Win32 HKEY
// constants (sign-extended on 64-bit builds), so the Win32 implementation passes them through
// and the in-memory registry recognises them.
//
// Views: a 32-bit product reads the 32-bit view by default. Callers name the view explicitly:
// an access mask with neither view flag means the 32-bit view (what the i686 build sees on a
// 64-bit Windows), kWow64_64Key the 64-bit view. Only HKLM\SOFTWARE is redirected between views,
// as on 64-bit Windows (its 32-bit view lives under HKLM\SOFTWARE\Wow6432Node).
//
// Results are Win32 error codes (0 = success).
#pragma once

#include <cstdint>

#include "platform/win32_errors.h"

namespace quarro::platform {

using RegKey = std::uintptr_t;

constexpr RegKey MakePredefinedKey(std::int32_t value) {
    return static_cast<RegKey>(static_cast<std::intptr_t>(value));
}

inline constexpr RegKey kHkeyClassesRoot = MakePredefinedKey(static_cast<std::int32_t>(0x80000000u));
inline constexpr RegKey kHkeyCurrentUser = MakePredefinedKey(static_cast<std::int32_t>(0x80000001u));
inline constexpr RegKey kHkeyLocalMachine = MakePredefinedKey(static_cast<std::int32_t>(0x80000002u));
inline constexpr RegKey kHkeyUsers = MakePredefinedKey(static_cast<std::int32_t>(0x80000003u));

// Access rights (Win32 values).
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Value types (Win32 values).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;


class IRegistry {
public:
    virtual ~IRegistry() = default;

    // RegOpenKeyExW. `subkey` may be null or empty (opens the key itself again).
    virtual long OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out) = 0;
    // RegCreateKeyExW; `created` (optional) tells whether the key was new.
    virtual long CreateKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out,
                           bool* created) = 0;
    virtual long CloseKey(RegKey key) = 0;
    // RegQueryValueExW: any of type/data/size may be null; `size` is in and out in bytes.
    // A too-small buffer gives kErrorMoreData with the needed size.
    virtual long QueryValue(RegKey key, const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) = 0;
    virtual long SetValue(RegKey key, const char16_t* name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) = 0;
    virtual long DeleteValue(RegKey key, const char16_t* name) = 0;
    // RegDeleteKeyExW: deletes a key without subkeys, in the view `access` names.
    virtual long DeleteKey(RegKey parent, const char16_t* subkey, std::uint32_t access) = 0;
    // RegEnumKeyExW: `nameChars` in: room in characters including the terminator; out: length.
    virtual long EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) = 0;
    // RegEnumValueW.
    virtual long EnumValue(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars,
                           std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) = 0;
};

}  // namespace quarro::platform
