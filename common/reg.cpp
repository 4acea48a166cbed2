#include "common/reg.h"

#include <cstring>

#include "platform/owner.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace {

bool IsStringType(std::uint32_t type) {
    return type == pf::kRegSz || type == pf::kRegExpandSz || type == pf::kRegMultiSz;
}

}  // namespace

int CReg::ReadString(Root root, const char16_t* subkey, const char16_t* name, void* buffer, std::uint32_t* bytes,
                     std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    if (pf::OpenRegKey(key, root, subkey, pf::kKeyQueryValue | extra) != pf::kErrorSuccess) return 0;
    std::uint32_t type = 0;
    const long result = pf::Registry().QueryValue(key.Get(), name, &type, static_cast<std::uint8_t*>(buffer), bytes);
    return result == pf::kErrorSuccess && IsStringType(type) ? 1 : 0;
}

int CReg::WriteString(Root root, const char16_t* subkey, const char16_t* name, const char16_t* data,
                      std::uint32_t bytes, std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    if (pf::CreateRegKey(key, root, subkey, pf::kKeyAllAccess | extra) != pf::kErrorSuccess) return 0;
    return pf::Registry().SetValue(key.Get(), name, pf::kRegSz, reinterpret_cast<const std::uint8_t*>(data), bytes) ==
                   pf::kErrorSuccess
               ? 1
               : 0;
}

int CReg::ReadDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* value,
                    std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    if (pf::OpenRegKey(key, root, subkey, pf::kKeyQueryValue | extra) != pf::kErrorSuccess) return 0;
    std::uint8_t scratch[256] = {};
    std::uint32_t size = sizeof(scratch);
    std::uint32_t type = 0;
    if (pf::Registry().QueryValue(key.Get(), name, &type, scratch, &size) != pf::kErrorSuccess) return 0;
    if (type != pf::kRegDword) return 0;
    if (value) std::memcpy(value, scratch, sizeof(*value));
    return 1;
}

int CReg::WriteDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t value,
                     std::uint32_t extra) {
    // Full access is refused on keys that grant this user less than full control (an HKLM key
    // that gives Users read and write, say): write access alone is tried once more.
    pf::OwnedRegKey key(pf::Registry());
    if (pf::CreateRegKey(key, root, subkey, pf::kKeyAllAccess | extra) != pf::kErrorSuccess &&
        pf::CreateRegKey(key, root, subkey, pf::kKeyWrite) != pf::kErrorSuccess) {
        return 0;
    }
    std::uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof(bytes));
    return pf::Registry().SetValue(key.Get(), name, pf::kRegDword, bytes, sizeof(bytes)) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::CreateKey(Root root, const char16_t* subkey, std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    bool created = false;
    if (pf::CreateRegKey(key, root, subkey, pf::kKeyAllAccess | extra, &created) != pf::kErrorSuccess) return 0;
    if (pf::CloseRegKey(key) != pf::kErrorSuccess) return 0;
    return created ? 1 : 0;
}

int CReg::DeleteKey(Root root, const char16_t* subkey, std::uint32_t) {
    return pf::Registry().DeleteKey(root, subkey, 0) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::DeleteValue(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    if (pf::CreateRegKey(key, root, subkey, pf::kKeyAllAccess | extra) != pf::kErrorSuccess) return 0;
    return pf::Registry().DeleteValue(key.Get(), name) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::ReadBinary(Root root, const char16_t* subkey, const char16_t* name, void* buffer, std::uint32_t* bytes,
                     std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    if (pf::OpenRegKey(key, root, subkey, pf::kKeyQueryValue | extra) != pf::kErrorSuccess) return 0;
    std::uint32_t type = 0;
    return pf::Registry().QueryValue(key.Get(), name, &type, static_cast<std::uint8_t*>(buffer), bytes) ==
                   pf::kErrorSuccess
               ? 1
               : 0;
}

int CReg::WriteBinary(Root root, const char16_t* subkey, const char16_t* name, const void* data, std::uint32_t bytes,
                      std::uint32_t extra) {
    if (bytes > kMaxBinaryBytes) return 0;
    std::uint8_t copy[kMaxBinaryBytes] = {};
    if (data && bytes) std::memcpy(copy, data, bytes);
    pf::OwnedRegKey key(pf::Registry());
    if (pf::CreateRegKey(key, root, subkey, pf::kKeyAllAccess | extra) != pf::kErrorSuccess) return 0;
    return pf::Registry().SetValue(key.Get(), name, pf::kRegBinary, copy, bytes) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::GetValueSize(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* bytes,
                       std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    if (pf::OpenRegKey(key, root, subkey, pf::kKeyQueryValue | extra) != pf::kErrorSuccess) return 0;
    std::uint32_t size = 0;
    if (pf::Registry().QueryValue(key.Get(), name, nullptr, nullptr, &size) != pf::kErrorSuccess) return 0;
    if (bytes) *bytes = size;
    return 1;
}

int CReg::KeyExists(Root root, const char16_t* subkey, std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    return pf::OpenRegKey(key, root, subkey, pf::kKeyQueryValue | extra) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::ValueExists(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t extra) {
    pf::OwnedRegKey key(pf::Registry());
    if (pf::OpenRegKey(key, root, subkey, pf::kKeyQueryValue | extra) != pf::kErrorSuccess) return 0;
    return pf::Registry().QueryValue(key.Get(), name, nullptr, nullptr, nullptr) == pf::kErrorSuccess ? 1 : 0;
}
