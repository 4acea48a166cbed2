// One table of CReg cases that runs natively on the in-memory registry and under Wine on the real
// registry. Every row states what Windows answers; a row that fails on one side only is a bug in
// the in-memory model (or a Windows fact we had wrong).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/reg.h"
#include "platform/platform.h"

#ifndef _WIN32
#include "platform/native/memory_registry.h"
#endif

namespace pf = quarro::platform;

// Lets the security of an existing key grant everyone exactly the rights of `granted`. On Windows
// a protected DACL (tests/win/registry_security_win32.cpp); natively the in-memory registry's own
// model of the same check.
bool RestrictKeyForTest(pf::RegKey root, const char16_t* path, std::uint32_t view, std::uint32_t granted);
#ifndef _WIN32
bool RestrictKeyForTest(pf::RegKey root, const char16_t* path, std::uint32_t view, std::uint32_t granted) {
    auto* memory = dynamic_cast<quarro::platform::sim::MemoryRegistry*>(&pf::Registry());
    return memory && memory->RestrictKey(root, path, view, granted) == pf::kErrorSuccess;
}
#endif

namespace {

constexpr pf::RegKey HKCU = pf::kHkeyCurrentUser;
constexpr pf::RegKey HKLM = pf::kHkeyLocalMachine;
constexpr std::uint32_t V64 = pf::kKeyWow64_64Key;
constexpr std::uint32_t kSentinel = 0xDEADBEEF;

const char16_t* const kUserKey = u"Software\\QuarroDiff";
const char16_t* const kUserA = u"Software\\QuarroDiff\\A";
const char16_t* const kUserLocked = u"Software\\QuarroDiff\\Locked";
const char16_t* const kMachineKey = u"SOFTWARE\\QuarroDiff";
const char16_t* const kMachineKey32 = u"SOFTWARE\\Wow6432Node\\QuarroDiff";

// What one call left behind: its result and, where the operation has them, the count and value.
struct Observed {
    int result = 0;
    std::uint32_t bytes = 0;
    std::uint32_t dword = 0;
    std::u16string text;
};

struct Case {
    const char* name;
    std::function<Observed()> call;
    int result;
    std::uint32_t bytes;       // checked when non-zero
    std::uint32_t dword;       // checked when non-zero
    const char16_t* text;      // checked when non-null
};

Observed Result(int result) { return Observed{result, 0, 0, {}}; }

Observed ReadString(pf::RegKey root, const char16_t* key, const char16_t* name, std::uint32_t room,
                    std::uint32_t extra = 0) {
    char16_t buffer[64] = {};
    std::uint32_t bytes = room;
    Observed o;
    o.result = CReg().ReadString(root, key, name, room ? buffer : nullptr, &bytes, extra);
    o.bytes = bytes;
    if (o.result && room) o.text = buffer;
    return o;
}

Observed ReadDword(pf::RegKey root, const char16_t* key, const char16_t* name, std::uint32_t extra = 0) {
    std::uint32_t value = kSentinel;
    Observed o;
    o.result = CReg().ReadDword(root, key, name, &value, extra);
    o.dword = value;
    return o;
}

Observed ReadBinary(pf::RegKey root, const char16_t* key, const char16_t* name, std::uint32_t room) {
    std::uint8_t buffer[300] = {};
    std::uint32_t bytes = room;
    Observed o;
    o.result = CReg().ReadBinary(root, key, name, buffer, &bytes, 0);
    o.bytes = bytes;
    std::memcpy(&o.dword, buffer, 4);
    return o;
}

Observed ValueSize(pf::RegKey root, const char16_t* key, const char16_t* name, std::uint32_t extra = 0) {
    std::uint32_t bytes = kSentinel;
    Observed o;
    o.result = CReg().GetValueSize(root, key, name, &bytes, extra);
    o.bytes = bytes;
    return o;
}

// Values CReg cannot write itself, set through the platform as another program would.
Observed SetRaw(pf::RegKey root, const char16_t* key, const char16_t* name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) {
    pf::RegKey handle = 0;
    if (pf::Registry().CreateKey(root, key, pf::kKeyAllAccess, &handle, nullptr) != 0) return Result(0);
    const long set = pf::Registry().SetValue(handle, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
    pf::Registry().CloseKey(handle);
    return Result(set == 0 ? 1 : 0);
}

std::vector<std::uint8_t> Utf16Bytes(const std::u16string& text) {
    std::vector<std::uint8_t> bytes((text.size() + 1) * 2, 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    return bytes;
}

// Deletes a key and everything under it, in the view `access` names.
void DeleteTree(pf::RegKey root, const std::u16string& path, std::uint32_t access) {
    pf::RegKey key = 0;
    if (pf::Registry().OpenKey(root, path.c_str(), pf::kKeyRead | access, &key) != 0) return;
    std::vector<std::u16string> children;
    for (std::uint32_t i = 0;; ++i) {
        char16_t name[256];
        std::uint32_t chars = 256;
        if (pf::Registry().EnumKey(key, i, name, &chars) != 0) break;
        children.emplace_back(name, chars);
    }
    pf::Registry().CloseKey(key);
    for (const auto& child : children) DeleteTree(root, path + u"\\" + child, access);
    pf::Registry().DeleteKey(root, path.c_str(), access);
}

std::vector<Case> Table() {
    std::vector<std::uint8_t> bytes256(256), bytes257(257);
    for (std::size_t i = 0; i < bytes257.size(); ++i) bytes257[i] = static_cast<std::uint8_t>(i);
    std::memcpy(bytes256.data(), bytes257.data(), 256);
    auto rb = [](pf::RegKey root, const char16_t* key, const char16_t* name, std::vector<std::uint8_t> data) {
        return [=]() mutable {
            return Result(CReg().WriteBinary(root, key, name, data.data(), static_cast<std::uint32_t>(data.size()), 0));
        };
    };
    return {
        {"missing key does not exist", [] { return Result(CReg().KeyExists(HKCU, kUserKey, 0)); }, 0, 0, 0, nullptr},
        {"CreateKey makes intermediate keys", [] { return Result(CReg().CreateKey(HKCU, kUserA, 0)); }, 1, 0, 0, nullptr},
        {"CreateKey on an existing key is 0", [] { return Result(CReg().CreateKey(HKCU, kUserA, 0)); }, 0, 0, 0, nullptr},
        {"parent now exists", [] { return Result(CReg().KeyExists(HKCU, kUserKey, 0)); }, 1, 0, 0, nullptr},
        {"WriteString", [] { return Result(CReg().WriteString(HKCU, kUserA, u"S", u"hello", 12, 0)); }, 1, 0, 0, nullptr},
        {"ReadString", [] { return ReadString(HKCU, kUserA, u"S", 128); }, 1, 12, 0, u"hello"},
        {"ReadString with a small buffer fails but reports the size", [] { return ReadString(HKCU, kUserA, u"S", 4); }, 0, 12, 0, nullptr},
        {"ReadString without a buffer asks the size", [] { return ReadString(HKCU, kUserA, u"S", 0); }, 1, 12, 0, nullptr},
        {"ReadString names are case-insensitive", [] { return ReadString(HKCU, u"software\\quarrodiff\\a", u"s", 128); }, 1, 12, 0, u"hello"},
        {"ReadDword of a string fails and keeps the value", [] { return ReadDword(HKCU, kUserA, u"S"); }, 0, 0, kSentinel, nullptr},
        {"WriteDword", [] { return Result(CReg().WriteDword(HKCU, kUserA, u"D", 0x12345678, 0)); }, 1, 0, 0, nullptr},
        {"ReadDword", [] { return ReadDword(HKCU, kUserA, u"D"); }, 1, 0, 0x12345678, nullptr},
        {"ReadString of a dword fails", [] { return ReadString(HKCU, kUserA, u"D", 128); }, 0, 4, 0, nullptr},
        {"ReadBinary accepts a string", [] { return ReadBinary(HKCU, kUserA, u"S", 300); }, 1, 12, 0x00650068, nullptr},
        {"ReadBinary with a small buffer fails", [] { return ReadBinary(HKCU, kUserA, u"S", 2); }, 0, 12, 0, nullptr},
        {"WriteBinary of 256 bytes", rb(HKCU, kUserA, u"B256", bytes256), 1, 0, 0, nullptr},
        {"its size", [] { return ValueSize(HKCU, kUserA, u"B256"); }, 1, 256, 0, nullptr},
        {"ReadBinary of 256 bytes", [] { return ReadBinary(HKCU, kUserA, u"B256", 300); }, 1, 256, 0x03020100, nullptr},
        {"WriteBinary of 257 bytes is refused", rb(HKCU, kUserA, u"B257", bytes257), 0, 0, 0, nullptr},
        {"and writes nothing", [] { return Result(CReg().ValueExists(HKCU, kUserA, u"B257", 0)); }, 0, 0, 0, nullptr},
        {"ReadDword of 4 binary bytes fails", [] { return SetRaw(HKCU, kUserA, u"B4", pf::kRegBinary, {1, 2, 3, 4}); }, 1, 0, 0, nullptr},
        {"(read)", [] { return ReadDword(HKCU, kUserA, u"B4"); }, 0, 0, kSentinel, nullptr},
        {"expand string", [] { return SetRaw(HKCU, kUserA, u"E", pf::kRegExpandSz, Utf16Bytes(u"%TEMP%")); }, 1, 0, 0, nullptr},
        {"ReadString accepts REG_EXPAND_SZ", [] { return ReadString(HKCU, kUserA, u"E", 128); }, 1, 14, 0, u"%TEMP%"},
        {"multi string", [] { return SetRaw(HKCU, kUserA, u"M", pf::kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}); }, 1, 0, 0, nullptr},
        {"ReadString accepts REG_MULTI_SZ", [] { return ReadString(HKCU, kUserA, u"M", 128); }, 1, 10, 0, u"a"},
        {"default value", [] { return Result(CReg().WriteString(HKCU, kUserA, nullptr, u"dflt", 10, 0)); }, 1, 0, 0, nullptr},
        {"default value by empty name", [] { return ReadString(HKCU, kUserA, u"", 128); }, 1, 10, 0, u"dflt"},
        {"ValueExists", [] { return Result(CReg().ValueExists(HKCU, kUserA, u"S", 0)); }, 1, 0, 0, nullptr},
        {"ValueExists of a missing value", [] { return Result(CReg().ValueExists(HKCU, kUserA, u"nope", 0)); }, 0, 0, 0, nullptr},
        {"GetValueSize of a missing value", [] { return ValueSize(HKCU, kUserA, u"nope"); }, 0, kSentinel, 0, nullptr},
        {"reads under a missing key fail", [] { return ReadDword(HKCU, u"Software\\QuarroDiff\\Nope", u"D"); }, 0, 0, kSentinel, nullptr},
        {"DeleteValue", [] { return Result(CReg().DeleteValue(HKCU, kUserA, u"S", 0)); }, 1, 0, 0, nullptr},
        {"DeleteValue again", [] { return Result(CReg().DeleteValue(HKCU, kUserA, u"S", 0)); }, 0, 0, 0, nullptr},
        {"DeleteValue under a missing key fails", [] { return Result(CReg().DeleteValue(HKCU, u"Software\\QuarroDiff\\New", u"x", 0)); }, 0, 0, 0, nullptr},
        {"but leaves the key created", [] { return Result(CReg().KeyExists(HKCU, u"Software\\QuarroDiff\\New", 0)); }, 1, 0, 0, nullptr},
        {"DeleteKey of a key with subkeys fails", [] { return Result(CReg().DeleteKey(HKCU, kUserKey, 0)); }, 0, 0, 0, nullptr},
        {"DeleteKey of a leaf", [] { return Result(CReg().DeleteKey(HKCU, kUserA, 0)); }, 1, 0, 0, nullptr},
        {"DeleteKey of a missing key", [] { return Result(CReg().DeleteKey(HKCU, kUserA, 0)); }, 0, 0, 0, nullptr},
        {"HKCU is shared by both views", [] { return Result(CReg().WriteDword(HKCU, kUserKey, u"U", 7, 0)); }, 1, 0, 0, nullptr},
        {"(read in the 64-bit view)", [] { return ReadDword(HKCU, kUserKey, u"U", V64); }, 1, 0, 7, nullptr},
        {"HKLM SOFTWARE default view write", [] { return Result(CReg().WriteDword(HKLM, kMachineKey, u"V", 32, 0)); }, 1, 0, 0, nullptr},
        {"is not in the 64-bit view", [] { return ReadDword(HKLM, kMachineKey, u"V", V64); }, 0, 0, kSentinel, nullptr},
        {"it lives under Wow6432Node", [] { return ReadDword(HKLM, kMachineKey32, u"V", V64); }, 1, 0, 32, nullptr},
        {"Wow6432Node named in the 32-bit view", [] { return ReadDword(HKLM, kMachineKey32, u"V", 0); }, 1, 0, 32, nullptr},
        {"64-bit view write", [] { return Result(CReg().WriteDword(HKLM, kMachineKey, u"V", 64, V64)); }, 1, 0, 0, nullptr},
        {"default view still reads 32", [] { return ReadDword(HKLM, kMachineKey, u"V", 0); }, 1, 0, 32, nullptr},
        {"64-bit view reads 64", [] { return ReadDword(HKLM, kMachineKey, u"V", V64); }, 1, 0, 64, nullptr},
        {"CreateKey in the 64-bit view of an existing key", [] { return Result(CReg().CreateKey(HKLM, kMachineKey, V64)); }, 0, 0, 0, nullptr},
        {"DeleteKey goes from the default view", [] { return Result(CReg().DeleteKey(HKLM, kMachineKey, V64)); }, 1, 0, 0, nullptr},
        {"the 32-bit key is gone", [] { return Result(CReg().KeyExists(HKLM, kMachineKey, 0)); }, 0, 0, 0, nullptr},
        {"the 64-bit key stays", [] { return Result(CReg().KeyExists(HKLM, kMachineKey, V64)); }, 1, 0, 0, nullptr},
        {"GetValueSize in the 64-bit view", [] { return ValueSize(HKLM, kMachineKey, u"V", V64); }, 1, 4, 0, nullptr},
        // A key whose security grants read and write but not full control (as an installer may
        // open a key to standard users): full access is refused, WriteDword falls back to write.
        {"a key to lock", [] { return Result(CReg().CreateKey(HKCU, kUserLocked, 0)); }, 1, 0, 0, nullptr},
        {"grant read and write only", [] { return Result(RestrictKeyForTest(HKCU, kUserLocked, 0, pf::kKeyRead | pf::kKeyWrite)); }, 1, 0, 0, nullptr},
        {"WriteString asks full access and fails", [] { return Result(CReg().WriteString(HKCU, kUserLocked, u"S", u"x", 4, 0)); }, 0, 0, 0, nullptr},
        {"WriteDword writes through KEY_WRITE", [] { return Result(CReg().WriteDword(HKCU, kUserLocked, u"D", 0x0BADF00D, 0)); }, 1, 0, 0, nullptr},
        {"(read back)", [] { return ReadDword(HKCU, kUserLocked, u"D"); }, 1, 0, 0x0BADF00D, nullptr},
        {"grant read only", [] { return Result(RestrictKeyForTest(HKCU, kUserLocked, 0, pf::kKeyRead)); }, 1, 0, 0, nullptr},
        {"WriteDword fails both ways", [] { return Result(CReg().WriteDword(HKCU, kUserLocked, u"D", 1, 0)); }, 0, 0, 0, nullptr},
        {"(unchanged)", [] { return ReadDword(HKCU, kUserLocked, u"D"); }, 1, 0, 0x0BADF00D, nullptr},
        {"full control again", [] { return Result(RestrictKeyForTest(HKCU, kUserLocked, 0, pf::kKeyAllAccess)); }, 1, 0, 0, nullptr},
    };
}

class CRegDifferential : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        registry_ = std::make_unique<quarro::platform::sim::MemoryRegistry>();
        pf::Services replacement;
        replacement.registry = registry_.get();
        override_ = std::make_unique<pf::ScopedOverride>(replacement);
#endif
        Clean();
    }
    void TearDown() override { Clean(); }

    static void Clean() {
        DeleteTree(HKCU, kUserKey, 0);
        DeleteTree(HKLM, kMachineKey, 0);
        DeleteTree(HKLM, kMachineKey, V64);
    }

#ifndef _WIN32
    std::unique_ptr<quarro::platform::sim::MemoryRegistry> registry_;
    std::unique_ptr<pf::ScopedOverride> override_;
#endif
};

TEST_F(CRegDifferential, EveryOperationAnswersAsWindowsDoes) {
    for (const Case& c : Table()) {
        SCOPED_TRACE(c.name);
        const Observed o = c.call();
        EXPECT_EQ(o.result, c.result);
        if (c.bytes) {
            EXPECT_EQ(o.bytes, c.bytes);
        }
        if (c.dword) {
            EXPECT_EQ(o.dword, c.dword);
        }
        if (c.text) {
            EXPECT_EQ(o.text, std::u16string(c.text));
        }
    }
}

}  // namespace
