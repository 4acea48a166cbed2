#include "common/reg.h"

#include <cstring>

#include "platform/platform.h"

namespace pf = quarro::platform;

namespace {

// An open key closed on every path.
class OpenedKey {
public:
    OpenedKey() = default;
    ~OpenedKey() { Close(); }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool Open(pf::RegKey root, const char16_t* subkey, std::uint32_t access) {
        return pf::Registry().OpenKey(root, subkey, access, &key_) == pf::kErrorSuccess;
    }
    bool Create(pf::RegKey root, const char16_t* subkey, std::uint32_t access, bool* created = nullptr) {
        return pf::Registry().CreateKey(root, subkey, access, &key_, created) == pf::kErrorSuccess;
    }
    long Close() {
        if (!key_) return pf::kErrorSuccess;
        const long result = pf::Registry().CloseKey(key_);
        key_ = 0;
        return result;
    }
    pf::RegKey get() const { return key_; }

private:
    pf::RegKey key_ = 0;
};

bool IsStringType(std::uint32_t type) {
    return type == pf::kRegSz || type == pf::kRegExpandSz || type == pf::kRegMultiSz;
}

}  // namespace

int CReg::ReadString(Root root, const char16_t* subkey, const char16_t* name, void* buffer, std::uint32_t* bytes,
                     std::uint32_t extra) {
    OpenedKey key;
    if (!key.Open(root, subkey, pf::kKeyQueryValue | extra)) return 0;
    std::uint32_t type = 0;
    const long result = pf::Registry().QueryValue(key.get(), name, &type, static_cast<std::uint8_t*>(buffer), bytes);
    return result == pf::kErrorSuccess && IsStringType(type) ? 1 : 0;
}

int CReg::WriteString(Root root, const char16_t* subkey, const char16_t* name, const char16_t* data,
                      std::uint32_t bytes, std::uint32_t extra) {
    OpenedKey key;
    if (!key.Create(root, subkey, pf::kKeyAllAccess | extra)) return 0;
    return pf::Registry().SetValue(key.get(), name, pf::kRegSz, reinterpret_cast<const std::uint8_t*>(data), bytes) ==
                   pf::kErrorSuccess
               ? 1
               : 0;
}

int CReg::ReadDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* value,
                    std::uint32_t extra) {
    OpenedKey key;
    if (!key.Open(root, subkey, pf::kKeyQueryValue | extra)) return 0;
    std::uint8_t scratch[256] = {};
    std::uint32_t size = sizeof(scratch);
    std::uint32_t type = 0;
    if (pf::Registry().QueryValue(key.get(), name, &type, scratch, &size) != pf::kErrorSuccess) return 0;
    if (type != pf::kRegDword) return 0;
    if (value) std::memcpy(value, scratch, sizeof(*value));
    return 1;
}

int CReg::WriteDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t value,
                     std::uint32_t extra) {
    OpenedKey key;
    if (!key.Create(root, subkey, pf::kKeyAllAccess | extra) && !key.Create(root, subkey, pf::kKeyWrite)) return 0;
    std::uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof(bytes));
    return pf::Registry().SetValue(key.get(), name, pf::kRegDword, bytes, sizeof(bytes)) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::CreateKey(Root root, const char16_t* subkey, std::uint32_t extra) {
    OpenedKey key;
    bool created = false;
    if (!key.Create(root, subkey, pf::kKeyAllAccess | extra, &created)) return 0;
    if (key.Close() != pf::kErrorSuccess) return 0;
    return created ? 1 : 0;
}

int CReg::DeleteKey(Root root, const char16_t* subkey, std::uint32_t) {
    return pf::Registry().DeleteKey(root, subkey, 0) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::DeleteValue(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t extra) {
    OpenedKey key;
    if (!key.Create(root, subkey, pf::kKeyAllAccess | extra)) return 0;
    return pf::Registry().DeleteValue(key.get(), name) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::ReadBinary(Root root, const char16_t* subkey, const char16_t* name, void* buffer, std::uint32_t* bytes,
                     std::uint32_t extra) {
    OpenedKey key;
    if (!key.Open(root, subkey, pf::kKeyQueryValue | extra)) return 0;
    std::uint32_t type = 0;
    return pf::Registry().QueryValue(key.get(), name, &type, static_cast<std::uint8_t*>(buffer), bytes) ==
                   pf::kErrorSuccess
               ? 1
               : 0;
}

int CReg::WriteBinary(Root root, const char16_t* subkey, const char16_t* name, const void* data, std::uint32_t bytes,
                      std::uint32_t extra) {
    if (bytes > kMaxBinaryBytes) return 0;
    std::uint8_t copy[kMaxBinaryBytes] = {};
    if (data && bytes) std::memcpy(copy, data, bytes);
    OpenedKey key;
    if (!key.Create(root, subkey, pf::kKeyAllAccess | extra)) return 0;
    return pf::Registry().SetValue(key.get(), name, pf::kRegBinary, copy, bytes) == pf::kErrorSuccess ? 1 : 0;
}

int CReg::GetValueSize(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* bytes,
                       std::uint32_t extra) {
    OpenedKey key;
    if (!key.Open(root, subkey, pf::kKeyQueryValue | extra)) return 0;
    std::uint32_t size = 0;
    if (pf::Registry().QueryValue(key.get(), name, nullptr, nullptr, &size) != pf::kErrorSuccess) return 0;
    if (bytes) *bytes = size;
    return 1;
}

int CReg::KeyExists(Root root, const char16_t* subkey, std::uint32_t extra) {
    OpenedKey key;
    return key.Open(root, subkey, pf::kKeyQueryValue | extra) ? 1 : 0;
}

int CReg::ValueExists(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t extra) {
    OpenedKey key;
    if (!key.Open(root, subkey, pf::kKeyQueryValue | extra)) return 0;
    return pf::Registry().QueryValue(key.get(), name, nullptr, nullptr, nullptr) == pf::kErrorSuccess ? 1 : 0;
}
