#include "common/driver_reg.h"

#include <cstring>
#include <new>

#include "common/text.h"

namespace pf = quarro::platform;
using MiscCommon::kMiscSuccess;

namespace {

// Non-null and at most 259 characters (the terminator must come within 260 units).
bool Acceptable(const char16_t* text) {
    return text && quarro::text::LengthBounded(text, CDriverReg::kMaxNameChars + 1) <= CDriverReg::kMaxNameChars;
}

bool IsStringType(std::uint32_t type) {
    return type == pf::kRegSz || type == pf::kRegExpandSz || type == pf::kRegMultiSz;
}

}  // namespace

CDriverReg::CDriverReg() : session_(new (std::nothrow) MiscCommon::CMiscCommon()), owned_(true) {}

CDriverReg::CDriverReg(MiscCommon::CMiscCommon* session) : session_(session), owned_(false) {}

CDriverReg::~CDriverReg() {
    if (owned_) delete session_;
}

int CDriverReg::ReadString(Root root, const char16_t* subkey, const char16_t* name, void* buffer,
                           std::uint32_t* bytes, std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    std::uint32_t type = 0;
    const int code = session_->QueryRegistry(root, subkey, name, &type, buffer, bytes);
    return code == kMiscSuccess && IsStringType(type) ? 1 : 0;
}

int CDriverReg::WriteString(Root root, const char16_t* subkey, const char16_t* name, const char16_t* data,
                            std::uint32_t bytes, std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    return session_->SetRegistry(root, subkey, name, pf::kRegSz, data, bytes) == kMiscSuccess ? 1 : 0;
}

int CDriverReg::ReadDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* value,
                          std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    std::uint8_t scratch[4] = {};
    std::uint32_t size = sizeof(scratch);
    std::uint32_t type = 0;
    if (session_->QueryRegistry(root, subkey, name, &type, scratch, &size) != kMiscSuccess) return 0;
    if (type != pf::kRegDword) return 0;
    if (value) {
        *value = static_cast<std::uint32_t>(scratch[0]) | static_cast<std::uint32_t>(scratch[1]) << 8 |
                 static_cast<std::uint32_t>(scratch[2]) << 16 | static_cast<std::uint32_t>(scratch[3]) << 24;
    }
    return 1;
}

int CDriverReg::WriteDword(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t value,
                           std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return session_->SetRegistry(root, subkey, name, pf::kRegDword, bytes, sizeof(bytes)) == kMiscSuccess ? 1 : 0;
}

int CDriverReg::CreateKey(Root root, const char16_t* subkey, std::uint32_t) {
    if (!session_ || !Acceptable(subkey)) return 0;
    return session_->CreateRegKey(root, subkey) == kMiscSuccess ? 1 : 0;
}

int CDriverReg::DeleteKey(Root root, const char16_t* subkey, std::uint32_t) {
    if (!session_ || !Acceptable(subkey)) return 0;
    return session_->DelRegKey(root, subkey) == kMiscSuccess ? 1 : 0;
}

int CDriverReg::DeleteValue(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    return session_->DelRegValue(root, subkey, name) == kMiscSuccess ? 1 : 0;
}

int CDriverReg::ReadBinary(Root root, const char16_t* subkey, const char16_t* name, void* buffer,
                           std::uint32_t* bytes, std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    std::uint32_t type = 0;
    return session_->QueryRegistry(root, subkey, name, &type, buffer, bytes) == kMiscSuccess ? 1 : 0;
}

int CDriverReg::WriteBinary(Root root, const char16_t* subkey, const char16_t* name, const void* data,
                            std::uint32_t bytes, std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    return session_->SetRegistry(root, subkey, name, pf::kRegBinary, data, bytes) == kMiscSuccess ? 1 : 0;
}

int CDriverReg::GetValueSize(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t* bytes,
                             std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    std::uint32_t size = 0;
    if (session_->QueryRegistry(root, subkey, name, nullptr, nullptr, &size) != kMiscSuccess) return 0;
    if (bytes) *bytes = size;
    return 1;
}

int CDriverReg::KeyExists(Root root, const char16_t* subkey, std::uint32_t) {
    if (!session_ || !Acceptable(subkey)) return 0;
    int exists = 0;
    return session_->RegKeyExists(root, subkey, &exists) == kMiscSuccess && exists == 1 ? 1 : 0;
}

int CDriverReg::ValueExists(Root root, const char16_t* subkey, const char16_t* name, std::uint32_t) {
    if (!session_ || !Acceptable(subkey) || !Acceptable(name)) return 0;
    std::uint32_t size = 0;
    return session_->QueryRegistry(root, subkey, name, nullptr, nullptr, &size) == kMiscSuccess ? 1 : 0;
}
