// CDriverReg: the registry operations of CReg, performed by the Mirelta Misc Driver through a
// driver session, for keys under HKEY_LOCAL_MACHINE that a standard user may not write.
//
// Results are 1 (success) or 0 (failure), as with CReg. A path or value name that is null or
// longer than 259 characters fails at once, without a request. Roots other than
// HKEY_LOCAL_MACHINE are refused by the session. `extra` is accepted so that callers can switch
// between CReg and CDriverReg unchanged; the driver works in the system's own view, so it has no
// effect here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/misc_common.h"
#include "platform/registry.h"

class CDriverReg {
public:
    using Root = quarro::platform::RegKey;

    // Owns a session of its own, created unopened: open it through Session() before use.
    CDriverReg();
    // Borrows an open session; it must outlive this object.
    explicit CDriverReg(MiscCommon::CMiscCommon* session);
    virtual ~CDriverReg();
    CDriverReg(const CDriverReg&) = delete;
    CDriverReg& operator=(const CDriverReg&) = delete;

    MiscCommon::CMiscCommon* Session() const { return session_; }

    // Succeeds only for REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ; *bytes receives the value's size
    // whenever the driver reported it.
    int ReadString(Root root, const char16_t* subkey, const char16_t* name, void* buffer, std::uint32_t* bytes,
                   std::uint32_t extra);
    // `bytes` counts the terminating zero.
    int WriteString(Root root, const char16_t* subkey, const char16_t* name, const char16_t* data,
                    std::uint32_t bytes, std::uint32_t extra);
    // *value is written only on success (a REG_DWORD value).
    int ReadDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* value,
                  std::uint32_t extra);
    int WriteDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t value,
                   std::uint32_t extra);
    // 1 when the driver created (or already had) the key: the driver does not tell which.
    int CreateKey(Root root, const char16_t* subkey, std::uint32_t extra);
    int DeleteKey(Root root, const char16_t* subkey, std::uint32_t extra);
    int DeleteValue(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t extra);
    // Like ReadString for any stored type.
    int ReadBinary(Root root, const char16_t* subkey, const char16_t* name, void* buffer, std::uint32_t* bytes,
                   std::uint32_t extra);
    int WriteBinary(Root root, const char16_t* subkey, const char16_t* name, const void* data, std::uint32_t bytes,
                    std::uint32_t extra);
    int GetValueSize(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* bytes,
                     std::uint32_t extra);
    // 1 only when the query succeeded and the driver says the key exists.
    int KeyExists(Root root, const char16_t* subkey, std::uint32_t extra);
    // 1 when a size-only query of the value succeeds.
    int ValueExists(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t extra);

    // Longest path or value name passed on to the driver, in characters.
    static constexpr std::size_t kMaxNameChars = 259;

private:
    MiscCommon::CMiscCommon* session_;
    bool owned_;
};
