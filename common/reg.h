// CReg: the registry, one operation per value kind. Stateless: every operation opens or creates
// its key, does one thing and closes the key again. Results are 1 (success) or 0 (failure); a
// missing key, a missing value, a wrong type and a denied access all look the same.
//
// `extra` is ORed into the access each operation asks for: 0 for the default (32-bit) view,
// KEY_WOW64_64KEY (quarro::platform::kKeyWow64_64Key) for the 64-bit view.
#pragma once

#include <cstdint>

#include "platform/registry.h"

class CReg {
public:
    using Root = quarro::platform::RegKey;

    CReg() = default;
    virtual ~CReg() = default;

    // Succeeds only for REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ; *bytes is updated by the query
    // whatever the outcome.
    int ReadString(Root root, const char16_t* subkey, const char16_t* name, void* buffer, std::uint32_t* bytes,
                   std::uint32_t extra);
    // `bytes` counts the terminating zero.
    int WriteString(Root root, const char16_t* subkey, const char16_t* name, const char16_t* data,
                    std::uint32_t bytes, std::uint32_t extra);
    // *value is written only on success (a REG_DWORD value).
    int ReadDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* value,
                  std::uint32_t extra);
    // Falls back to KEY_WRITE alone (without `extra`) when full access is refused.
    int WriteDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t value,
                   std::uint32_t extra);
    // 1 only when the key was newly created.
    int CreateKey(Root root, const char16_t* subkey, std::uint32_t extra);
    // `extra` is not used: the key goes from the default view.
    int DeleteKey(Root root, const char16_t* subkey, std::uint32_t extra);
    int DeleteValue(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t extra);
    // Like ReadString for any stored type.
    int ReadBinary(Root root, const char16_t* subkey, const char16_t* name, void* buffer, std::uint32_t* bytes,
                   std::uint32_t extra);
    // Refuses more than kMaxBinaryBytes rather than cutting.
    int WriteBinary(Root root, const char16_t* subkey, const char16_t* name, const void* data, std::uint32_t bytes,
                    std::uint32_t extra);
    int GetValueSize(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* bytes,
                     std::uint32_t extra);
    int KeyExists(Root root, const char16_t* subkey, std::uint32_t extra);
    int ValueExists(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t extra);

    static constexpr std::uint32_t kMaxBinaryBytes = 256;
};
