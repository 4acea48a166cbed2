#include "platform/native/memory_registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace quarro::platform::sim {
namespace {

constexpr std::uint32_t k32 = kKeyAllAccess | kKeyWow64_32Key;
constexpr std::uint32_t k64 = kKeyAllAccess | kKeyWow64_64Key;
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kMaximumAllowed = 0x02000000u;
constexpr std::uint32_t kDelete = 0x00010000u;

class MemoryRegistryTest : public ::testing::Test {
protected:
    RegKey Create(RegKey parent, const char16_t* path, std::uint32_t access = kKeyAllAccess) {
        RegKey key = 0;
        EXPECT_EQ(reg_.CreateKey(parent, path, access, &key, nullptr), kErrorSuccess);
        return key;
    }
    RegKey Open(RegKey parent, const char16_t* path, std::uint32_t access = kKeyAllAccess) {
        RegKey key = 0;
        EXPECT_EQ(reg_.OpenKey(parent, path, access, &key), kErrorSuccess);
        return key;
    }
    void SetDword(RegKey key, const char16_t* name, std::uint32_t value) {
        ASSERT_EQ(reg_.SetValue(key, name, kRegDword, reinterpret_cast<const std::uint8_t*>(&value), 4), kErrorSuccess);
    }
    // The DWORD `name` of parent\path, or the error met on the way.
    long ReadDword(RegKey parent, const char16_t* path, std::uint32_t access, const char16_t* name,
                   std::uint32_t* value) {
        RegKey key = 0;
        long rc = reg_.OpenKey(parent, path, access, &key);
        if (rc != kErrorSuccess) return rc;
        std::uint32_t size = 4;
        rc = reg_.QueryValue(key, name, nullptr, reinterpret_cast<std::uint8_t*>(value), &size);
        reg_.CloseKey(key);
        return rc;
    }
    std::vector<std::u16string> SubkeyNames(RegKey key) {
        std::vector<std::u16string> names;
        char16_t name[300];
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t chars = 300;
            const long rc = reg_.EnumKey(key, i, name, &chars);
            if (rc != kErrorSuccess) {
                EXPECT_EQ(rc, kErrorNoMoreItems);
                break;
            }
            names.emplace_back(name, chars);
        }
        return names;
    }
    std::vector<std::u16string> ValueNames(RegKey key) {
        std::vector<std::u16string> names;
        char16_t name[300];
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t chars = 300;
            const long rc = reg_.EnumValue(key, i, name, &chars, nullptr, nullptr, nullptr);
            if (rc != kErrorSuccess) {
                EXPECT_EQ(rc, kErrorNoMoreItems);
                break;
            }
            names.emplace_back(name, chars);
        }
        return names;
    }

    MemoryRegistry reg_;
};

TEST_F(MemoryRegistryTest, CreateKeyMakesIntermediateKeysAndReportsOnlyANewFinalKey) {
    const RegKey base = Create(kHkeyCurrentUser, u"Software\\Quarro");
    struct Case {
        const char16_t* path;
        bool created;
    };
    const std::vector<Case> cases = {
        {u"A\\B\\C", true}, {u"A\\B", false}, {u"a\\b\\c", false}, {u"A\\B\\C\\D", true},
        {u"A\\\\B\\\\E\\", true}, {u"A\\B\\E", false}, {u"", false}, {nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path == nullptr ? "null" : std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path)));
        RegKey key = 0;
        bool created = !c.created;
        ASSERT_EQ(reg_.CreateKey(base, c.path, kKeyAllAccess, &key, &created), kErrorSuccess);
        EXPECT_EQ(created, c.created);
        EXPECT_NE(key, base);  // always a handle of its own
        EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);
    }
    EXPECT_EQ(SubkeyNames(Open(base, u"A\\B")), (std::vector<std::u16string>{u"C", u"E"}));

    RegKey key = 0;
    EXPECT_EQ(reg_.OpenKey(base, u"A\\Missing", kKeyRead, &key), kErrorFileNotFound);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(reg_.OpenKey(base, u"Missing\\A", kKeyRead, &key), kErrorFileNotFound);
    EXPECT_EQ(reg_.OpenKey(base, u"A", kKeyRead, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(reg_.CreateKey(base, u"A", kKeyRead, nullptr, nullptr), kErrorInvalidParameter);
}

TEST_F(MemoryRegistryTest, NamesAreCaseInsensitiveButKeepTheirCase) {
    const RegKey key = Create(kHkeyCurrentUser, u"Software\\MiXeD\\\u00c4rger\u0416\u03a3\uff21");
    SetDword(key, u"ValueName", 1);
    std::uint32_t v = 0;
    EXPECT_EQ(ReadDword(kHkeyCurrentUser, u"SOFTWARE\\mixed\\\u00e4RGER\u0436\u03c3\uff41", kKeyRead, u"VALUENAME", &v),
              kErrorSuccess);
    EXPECT_EQ(v, 1u);
    EXPECT_EQ(SubkeyNames(Open(kHkeyCurrentUser, u"software")), (std::vector<std::u16string>{u"MiXeD"}));
    EXPECT_EQ(ValueNames(key), (std::vector<std::u16string>{u"ValueName"}));
    // Letters without a simple case pair stay distinct.
    Create(kHkeyCurrentUser, u"Software\\MiXeD\\stra\u00dfe");
    RegKey other = 0;
    EXPECT_EQ(reg_.OpenKey(kHkeyCurrentUser, u"Software\\MiXeD\\STRASSE", kKeyRead, &other), kErrorFileNotFound);
}

TEST_F(MemoryRegistryTest, HandlesArePredefinedRootsOrOpenKeys) {
    RegKey key = 0;
    EXPECT_EQ(reg_.OpenKey(kHkeyLocalMachine, u"", kKeyRead, &key), kErrorSuccess);
    EXPECT_EQ(key, kHkeyLocalMachine);  // a root opened again is the root itself
    EXPECT_EQ(reg_.OpenKey(kHkeyUsers, nullptr, kKeyRead, &key), kErrorSuccess);
    EXPECT_EQ(key, kHkeyUsers);
    EXPECT_EQ(reg_.CloseKey(kHkeyLocalMachine), kErrorSuccess);
    EXPECT_EQ(reg_.CreateKey(kHkeyCurrentUser, u"", kKeyRead, &key, nullptr), kErrorSuccess);
    EXPECT_NE(key, kHkeyCurrentUser);  // but created again it is a new handle
    EXPECT_EQ(reg_.CloseKey(key), kErrorSuccess);

    const RegKey open = Create(kHkeyCurrentUser, u"Software\\Quarro");
    const RegKey again = Open(open, u"");
    EXPECT_NE(again, open);
    EXPECT_EQ(reg_.OpenHandleCount(), 2u);
    EXPECT_EQ(reg_.CloseKey(again), kErrorSuccess);
    EXPECT_EQ(reg_.CloseKey(again), kErrorInvalidHandle);
    EXPECT_EQ(reg_.OpenHandleCount(), 1u);

    const RegKey closed = again;
    const RegKey other = MakePredefinedKey(static_cast<std::int32_t>(0x80000004u));  // HKEY_PERFORMANCE_DATA
    std::uint8_t data[8] = {};
    std::uint32_t size = sizeof data;
    char16_t name[16];
    std::uint32_t chars = 16;
    for (RegKey bad : {closed, other, RegKey{0}, RegKey{12345}}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(reg_.OpenKey(bad, u"x", kKeyRead, &key), kErrorInvalidHandle);
        EXPECT_EQ(reg_.OpenKey(bad, u"", kKeyRead, &key), kErrorInvalidHandle);
        EXPECT_EQ(reg_.CreateKey(bad, u"x", kKeyAllAccess, &key, nullptr), kErrorInvalidHandle);
        EXPECT_EQ(reg_.CloseKey(bad), kErrorInvalidHandle);
        EXPECT_EQ(reg_.QueryValue(bad, u"x", nullptr, data, &size), kErrorInvalidHandle);
        EXPECT_EQ(reg_.SetValue(bad, u"x", kRegBinary, data, 1), kErrorInvalidHandle);
        EXPECT_EQ(reg_.DeleteValue(bad, u"x"), kErrorInvalidHandle);
        EXPECT_EQ(reg_.DeleteKey(bad, u"x", 0), kErrorInvalidHandle);
        EXPECT_EQ(reg_.EnumKey(bad, 0, name, &chars), kErrorInvalidHandle);
        EXPECT_EQ(reg_.EnumValue(bad, 0, name, &chars, nullptr, nullptr, nullptr), kErrorInvalidHandle);
    }
    // Parameter checks come before the handle check.
    EXPECT_EQ(reg_.QueryValue(closed, u"x", nullptr, data, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(reg_.SetValue(closed, u"x", kRegBinary, nullptr, 4), kErrorNoAccess);
    EXPECT_EQ(reg_.DeleteKey(closed, nullptr, 0), kErrorInvalidParameter);
}

TEST_F(MemoryRegistryTest, PathSyntaxAndLengthLimits) {
    const RegKey base = Create(kHkeyCurrentUser, u"Software\\Quarro");
    const std::u16string name256(256, u'n');
    const std::u16string name257(257, u'n');
    std::u16string longPath;
    while (longPath.size() <= 32767) longPath += u"ab\\";
    std::u16string deep;
    for (int i = 0; i < 510; ++i) deep += u"d\\";  // Software\Quarro plus 510: 512 below the root
    struct Case {
        std::u16string path;
        long create;
        long openAfter;
    };
    const std::vector<Case> cases = {
        {u"\\Leading", kErrorBadPathname, kErrorBadPathname},
        {u"\\", kErrorBadPathname, kErrorBadPathname},
        {u"Trailing\\", kErrorSuccess, kErrorSuccess},
        {name256, kErrorSuccess, kErrorSuccess},
        {name257, kErrorInvalidParameter, kErrorInvalidParameter},
        {u"Fine\\" + name257, kErrorInvalidParameter, kErrorFileNotFound},
        {longPath, kErrorInvalidParameter, kErrorInvalidParameter},
        {deep, kErrorSuccess, kErrorSuccess},
        {deep + u"one-too-deep", kErrorInvalidParameter, kErrorFileNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.size());
        RegKey key = 0;
        EXPECT_EQ(reg_.CreateKey(base, c.path.c_str(), kKeyAllAccess, &key, nullptr), c.create);
        if (key != 0) reg_.CloseKey(key);
        key = 0;
        EXPECT_EQ(reg_.OpenKey(base, c.path.c_str(), kKeyRead, &key), c.openAfter);
        if (key != 0) reg_.CloseKey(key);
    }
    // HKEY_CLASSES_ROOT alone forgives one leading backslash when opening.
    RegKey key = 0;
    EXPECT_EQ(reg_.CreateKey(kHkeyClassesRoot, u"\\.txt", kKeyAllAccess, &key, nullptr), kErrorBadPathname);
    Create(kHkeyClassesRoot, u".txt");
    EXPECT_EQ(reg_.OpenKey(kHkeyClassesRoot, u"\\.txt", kKeyRead, &key), kErrorSuccess);
}

TEST_F(MemoryRegistryTest, EachCallNeedsItsAccessRightOnTheHandle) {
    const RegKey all = Create(kHkeyCurrentUser, u"Software\\Quarro");
    Create(all, u"Existing");
    SetDword(all, u"v", 7);
    using Call = std::function<long(RegKey)>;
    std::uint8_t data[16];
    char16_t name[16];
    const std::vector<std::pair<const char*, Call>> calls = {
        {"query", [&](RegKey k) { std::uint32_t s = sizeof data; return reg_.QueryValue(k, u"v", nullptr, data, &s); }},
        {"query missing", [&](RegKey k) { std::uint32_t s = sizeof data; return reg_.QueryValue(k, u"no", nullptr, data, &s); }},
        {"set", [&](RegKey k) { return reg_.SetValue(k, u"w", kRegBinary, data, 1); }},
        {"delete missing value", [&](RegKey k) { return reg_.DeleteValue(k, u"no"); }},
        {"enum keys", [&](RegKey k) { std::uint32_t c = 16; return reg_.EnumKey(k, 0, name, &c); }},
        {"enum values", [&](RegKey k) { std::uint32_t c = 16; return reg_.EnumValue(k, 0, name, &c, nullptr, nullptr, nullptr); }},
        {"create new", [&](RegKey k) { RegKey o = 0; long rc = reg_.CreateKey(k, u"New", kKeyRead, &o, nullptr); reg_.CloseKey(o); reg_.DeleteKey(all, u"New", 0); return rc; }},
        {"create existing", [&](RegKey k) { RegKey o = 0; long rc = reg_.CreateKey(k, u"Existing", kKeyRead, &o, nullptr); reg_.CloseKey(o); return rc; }},
        {"open subkey", [&](RegKey k) { RegKey o = 0; long rc = reg_.OpenKey(k, u"Existing", kKeyRead, &o); reg_.CloseKey(o); return rc; }},
        {"delete subkey", [&](RegKey k) { Create(all, u"Doomed"); return reg_.DeleteKey(k, u"Doomed", 0); }},
    };
    struct Case {
        const char* what;
        std::uint32_t access;
        std::vector<long> expected;  // one per call above
    };
    const long ok = kErrorSuccess, no = kErrorAccessDenied, nf = kErrorFileNotFound;
    const std::vector<Case> cases = {
        {"KEY_READ", kKeyRead, {ok, nf, no, no, ok, ok, no, ok, ok, ok}},
        {"KEY_WRITE", kKeyWrite, {no, no, ok, nf, no, no, ok, ok, ok, ok}},
        {"KEY_SET_VALUE", kKeySetValue, {no, no, ok, nf, no, no, no, ok, ok, ok}},
        {"KEY_QUERY_VALUE", kKeyQueryValue, {ok, nf, no, no, no, ok, no, ok, ok, ok}},
        {"KEY_ENUMERATE_SUB_KEYS", kKeyEnumerateSubKeys, {no, no, no, no, ok, no, no, ok, ok, ok}},
        {"KEY_CREATE_SUB_KEY", kKeyCreateSubKey, {no, no, no, no, no, no, ok, ok, ok, ok}},
        {"no rights", 0, {no, no, no, no, no, no, no, ok, ok, ok}},
        {"GENERIC_READ", kGenericRead, {ok, nf, no, no, ok, ok, no, ok, ok, ok}},
        {"MAXIMUM_ALLOWED", kMaximumAllowed, {ok, nf, ok, nf, ok, ok, ok, ok, ok, ok}},
        {"KEY_ALL_ACCESS", kKeyAllAccess, {ok, nf, ok, nf, ok, ok, ok, ok, ok, ok}},
    };
    for (const Case& c : cases) {
        const RegKey key = Open(kHkeyCurrentUser, u"Software\\Quarro", c.access);
        ASSERT_EQ(c.expected.size(), calls.size());
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].second(key), c.expected[i]) << c.what << ": " << calls[i].first;
        }
        reg_.CloseKey(key);
    }
    // The predefined roots carry every right.
    RegKey key = 0;
    EXPECT_EQ(reg_.CreateKey(kHkeyCurrentUser, u"Fresh", kKeyRead, &key, nullptr), kErrorSuccess);
}

TEST_F(MemoryRegistryTest, AKeyThatGrantsReadAndWriteRefusesFullAccess) {
    reg_.CloseKey(Create(kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Product\\Child", k64));
    ASSERT_EQ(reg_.RestrictKey(kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Product", k64, kKeyRead | kKeyWrite),
              kErrorSuccess);
    reg_.CloseKey(Create(kHkeyLocalMachine, u"SOFTWARE\\Vendor\\ReadOnly", k64));
    ASSERT_EQ(reg_.RestrictKey(kHkeyLocalMachine, u"SOFTWARE\\Vendor\\ReadOnly", k64, kKeyRead), kErrorSuccess);
    EXPECT_EQ(reg_.RestrictKey(kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Missing", k64, kKeyRead), kErrorFileNotFound);
    const long ok = kErrorSuccess, no = kErrorAccessDenied;
    const struct {
        const char16_t* path;
        std::uint32_t access;
        bool create;
        long expected;
    } rows[] = {
        {u"SOFTWARE\\Vendor\\Product", kKeyAllAccess, false, no},
        {u"SOFTWARE\\Vendor\\Product", kKeyAllAccess, true, no},
        {u"SOFTWARE\\Vendor\\Product", kKeyWrite, true, ok},
        {u"SOFTWARE\\Vendor\\Product", kKeyRead | kKeyWrite, false, ok},
        {u"SOFTWARE\\Vendor\\Product", kDelete, false, no},            // a standard right beyond the grant
        {u"SOFTWARE\\Vendor\\Product", kMaximumAllowed, false, ok},
        {u"SOFTWARE\\Vendor\\Product\\Child", kKeyAllAccess, false, no},  // inherited
        {u"SOFTWARE\\Vendor\\Product\\New", kKeyAllAccess, true, ok},     // its creator gets what it asks
        {u"SOFTWARE\\Vendor\\Product\\New", kKeyAllAccess, false, no},    // later opens inherit
        {u"SOFTWARE\\Vendor\\ReadOnly\\New", kKeyRead, true, no},        // no KEY_CREATE_SUB_KEY
        {u"SOFTWARE\\Vendor", kKeyAllAccess, false, ok},                  // the parent keeps full access
    };
    for (const auto& row : rows) {
        RegKey key = 0;
        const long rc = row.create ? reg_.CreateKey(kHkeyLocalMachine, row.path, row.access | kKeyWow64_64Key, &key, nullptr)
                                   : reg_.OpenKey(kHkeyLocalMachine, row.path, row.access | kKeyWow64_64Key, &key);
        EXPECT_EQ(rc, row.expected) << std::string(row.path, row.path + std::char_traits<char16_t>::length(row.path))
                                    << " " << std::hex << row.access;
        EXPECT_EQ(key != 0, rc == kErrorSuccess);
        reg_.CloseKey(key);
    }
    EXPECT_EQ(reg_.OpenHandleCount(), 0u);
    // MAXIMUM_ALLOWED holds only what is granted; deleting needs DELETE.
    const RegKey most = Open(kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Product", kMaximumAllowed | kKeyWow64_64Key);
    const std::uint8_t byte = 1;
    EXPECT_EQ(reg_.SetValue(most, u"v", kRegBinary, &byte, 1), kErrorSuccess);
    EXPECT_EQ(reg_.DeleteTree(most, nullptr, kKeyWow64_64Key), no);
    reg_.CloseKey(most);
    EXPECT_EQ(reg_.DeleteKey(kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Product\\New", kKeyWow64_64Key), no);
    EXPECT_EQ(reg_.DeleteKey(kHkeyLocalMachine, u"SOFTWARE\\Vendor\\Missing", kKeyWow64_64Key), kErrorFileNotFound);
}

TEST_F(MemoryRegistryTest, QueryValueFollowsTheBufferProtocol) {
    const RegKey key = Create(kHkeyCurrentUser, u"Software\\Quarro");
    const std::uint8_t blob[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(reg_.SetValue(key, u"Blob", kRegBinary, blob, 5), kErrorSuccess);

    std::uint32_t type = 99;
    std::uint32_t size = 0;
    EXPECT_EQ(reg_.QueryValue(key, u"blob", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(size, 5u);

    std::uint8_t buf[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    type = 99;
    size = 4;
    EXPECT_EQ(reg_.QueryValue(key, u"Blob", &type, buf, &size), kErrorMoreData);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(buf[0], 0xAA);  // nothing copied

    size = 5;
    EXPECT_EQ(reg_.QueryValue(key, u"Blob", nullptr, buf, &size), kErrorSuccess);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 6), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0xAA}));

    EXPECT_EQ(reg_.QueryValue(key, u"Blob", nullptr, nullptr, nullptr), kErrorSuccess);
    EXPECT_EQ(reg_.QueryValue(key, u"Blob", nullptr, buf, nullptr), kErrorInvalidParameter);

    type = 99;
    size = 3;
    EXPECT_EQ(reg_.QueryValue(key, u"Missing", &type, buf, &size), kErrorFileNotFound);
    EXPECT_EQ(type, 99u);  // untouched
    EXPECT_EQ(size, 3u);

    // The default value: null and empty names are the same value.
    EXPECT_EQ(reg_.QueryValue(key, nullptr, nullptr, nullptr, &size), kErrorFileNotFound);
    ASSERT_EQ(reg_.SetValue(key, nullptr, kRegSz, reinterpret_cast<const std::uint8_t*>(u"d"), 4), kErrorSuccess);
    EXPECT_EQ(reg_.QueryValue(key, u"", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(reg_.DeleteValue(key, u""), kErrorSuccess);
    EXPECT_EQ(reg_.DeleteValue(key, nullptr), kErrorFileNotFound);
}

TEST_F(MemoryRegistryTest, StringsGetATerminatorWhenTheBufferHasRoom) {
    const RegKey key = Create(kHkeyCurrentUser, u"Software\\Quarro");
    const char16_t abc[] = u"abc";
    struct Case {
        std::uint32_t type;
        std::uint32_t stored;  // bytes of "abc\0" stored
        std::uint32_t room;
        bool terminated;  // two zero bytes written right after the data
    };
    const std::vector<Case> cases = {
        {kRegSz, 6, 8, true},        {kRegSz, 6, 7, false},        {kRegSz, 6, 6, false},
        {kRegSz, 8, 16, false},      {kRegExpandSz, 6, 8, true},   {kRegMultiSz, 6, 8, true},
        {kRegBinary, 6, 8, false},   {kRegSz, 5, 8, true},          {kRegSz, 0, 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << "/" << c.stored << "/" << c.room);
        ASSERT_EQ(reg_.SetValue(key, u"s", c.type, reinterpret_cast<const std::uint8_t*>(abc), c.stored), kErrorSuccess);
        std::uint8_t buf[16];
        std::fill(std::begin(buf), std::end(buf), 0xAA);
        std::uint32_t size = c.room;
        ASSERT_EQ(reg_.QueryValue(key, u"s", nullptr, buf, &size), kErrorSuccess);
        EXPECT_EQ(size, c.stored);
        EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + c.stored),
                  std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(abc),
                                            reinterpret_cast<const std::uint8_t*>(abc) + c.stored));
        for (std::uint32_t i = c.stored; i < sizeof buf; ++i) {
            EXPECT_EQ(buf[i], c.terminated && i < c.stored + 2 ? 0 : 0xAA) << i;  // nothing else written
        }

        std::fill(std::begin(buf), std::end(buf), 0xAA);
        char16_t name[4];
        std::uint32_t chars = 4;
        size = c.room;
        ASSERT_EQ(reg_.EnumValue(key, 0, name, &chars, nullptr, buf, &size), kErrorSuccess);
        for (std::uint32_t i = c.stored; i < sizeof buf; ++i) {
            EXPECT_EQ(buf[i], c.terminated && i < c.stored + 2 ? 0 : 0xAA) << i;
        }
    }
}

TEST_F(MemoryRegistryTest, SetAndDeleteValues) {
    const RegKey key = Create(kHkeyCurrentUser, u"Software\\Quarro");
    const std::uint8_t one = 1;
    EXPECT_EQ(reg_.SetValue(key, u"v", kRegBinary, nullptr, 4), kErrorNoAccess);
    EXPECT_EQ(reg_.SetValue(key, u"Empty", kRegBinary, nullptr, 0), kErrorSuccess);
    std::uint32_t type = 0;
    std::uint32_t size = 9;
    EXPECT_EQ(reg_.QueryValue(key, u"Empty", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 0u);

    EXPECT_EQ(reg_.SetValue(key, u"V", 0x1234, &one, 1), kErrorSuccess);
    SetDword(key, u"v", 5);  // same value, new type
    EXPECT_EQ(reg_.QueryValue(key, u"V", &type, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(ValueNames(key), (std::vector<std::u16string>{u"Empty", u"V"}));  // first spelling kept

    const std::u16string longest(16383, u'x');
    const std::u16string tooLong(16384, u'x');
    EXPECT_EQ(reg_.SetValue(key, longest.c_str(), kRegBinary, &one, 1), kErrorSuccess);
    EXPECT_EQ(reg_.QueryValue(key, longest.c_str(), nullptr, nullptr, nullptr), kErrorSuccess);
    EXPECT_EQ(reg_.SetValue(key, tooLong.c_str(), kRegBinary, &one, 1), kErrorInvalidParameter);
    EXPECT_EQ(reg_.QueryValue(key, tooLong.c_str(), nullptr, nullptr, nullptr), kErrorFileNotFound);
    EXPECT_EQ(reg_.DeleteValue(key, tooLong.c_str()), kErrorFileNotFound);

    EXPECT_EQ(reg_.DeleteValue(key, u"v"), kErrorSuccess);
    EXPECT_EQ(reg_.DeleteValue(key, u"v"), kErrorFileNotFound);
    EXPECT_EQ(reg_.QueryValue(key, u"v", nullptr, nullptr, nullptr), kErrorFileNotFound);
}

TEST_F(MemoryRegistryTest, DeleteKeyRefusesKeysWithSubkeysAndSystemKeys) {
    const RegKey base = Create(kHkeyCurrentUser, u"Software\\Quarro");
    Create(base, u"Parent\\Child");
    const RegKey self = Create(base, u"Self");
    struct Case {
        RegKey parent;
        const char16_t* subkey;
        std::uint32_t access;
        long expected;
    };
    const std::vector<Case> cases = {
        {base, u"Missing", 0, kErrorFileNotFound},
        {base, u"Missing\\Deeper", 0, kErrorFileNotFound},
        {base, u"Parent", 0, kErrorAccessDenied},
        {base, nullptr, 0, kErrorInvalidParameter},
        {base, u"PARENT\\child\\", 0, kErrorSuccess},
        {base, u"Parent", 0, kErrorSuccess},
        {self, u"", 0, kErrorSuccess},
        {kHkeyCurrentUser, u"", 0, kErrorAccessDenied},
        {kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node", kKeyWow64_64Key, kErrorAccessDenied},
        {kHkeyLocalMachine, u"SOFTWARE", kKeyWow64_64Key, kErrorAccessDenied},
        {kHkeyLocalMachine, u"SOFTWARE\\Classes", kKeyWow64_64Key, kErrorAccessDenied},
        {kHkeyClassesRoot, u"", 0, kErrorAccessDenied},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(reg_.DeleteKey(cases[i].parent, cases[i].subkey, cases[i].access), cases[i].expected) << i;
    }
    EXPECT_TRUE(SubkeyNames(base).empty());
}

TEST_F(MemoryRegistryTest, HandlesToADeletedKeyReportItDeleted) {
    const RegKey base = Create(kHkeyCurrentUser, u"Software\\Quarro");
    const RegKey doomed = Create(base, u"Doomed");
    const RegKey noRights = Open(base, u"Doomed", 0);
    SetDword(doomed, u"v", 1);
    ASSERT_EQ(reg_.DeleteKey(base, u"Doomed", 0), kErrorSuccess);
    const RegKey reborn = Create(base, u"Doomed");  // a new key of the same name
    SetDword(reborn, u"v", 2);

    std::uint8_t data[8];
    char16_t name[8];
    RegKey out = 0;
    using Call = std::function<long(RegKey)>;
    const std::vector<std::pair<const char*, Call>> calls = {
        {"query", [&](RegKey k) { std::uint32_t s = 8; return reg_.QueryValue(k, u"v", nullptr, data, &s); }},
        {"set", [&](RegKey k) { return reg_.SetValue(k, u"v", kRegBinary, data, 1); }},
        {"delete value", [&](RegKey k) { return reg_.DeleteValue(k, u"v"); }},
        {"enum keys", [&](RegKey k) { std::uint32_t c = 8; return reg_.EnumKey(k, 0, name, &c); }},
        {"enum values", [&](RegKey k) { std::uint32_t c = 8; return reg_.EnumValue(k, 0, name, &c, nullptr, nullptr, nullptr); }},
        {"open self", [&](RegKey k) { return reg_.OpenKey(k, u"", kKeyRead, &out); }},
        {"open sub", [&](RegKey k) { return reg_.OpenKey(k, u"x", kKeyRead, &out); }},
        {"create sub", [&](RegKey k) { return reg_.CreateKey(k, u"x", kKeyRead, &out, nullptr); }},
        {"delete self", [&](RegKey k) { return reg_.DeleteKey(k, u"", 0); }},
    };
    const long dk = kErrorKeyDeleted, no = kErrorAccessDenied;
    const std::vector<long> forAll = {dk, dk, dk, dk, dk, dk, dk, dk, dk};
    const std::vector<long> forNoRights = {no, no, no, no, no, dk, dk, dk, dk};  // rights are checked first
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second(doomed), forAll[i]) << calls[i].first;
        EXPECT_EQ(calls[i].second(noRights), forNoRights[i]) << calls[i].first;
    }
    std::uint32_t v = 0;
    EXPECT_EQ(ReadDword(base, u"Doomed", kKeyRead, u"v", &v), kErrorSuccess);
    EXPECT_EQ(v, 2u);
    EXPECT_EQ(reg_.CloseKey(doomed), kErrorSuccess);
    EXPECT_EQ(reg_.CloseKey(doomed), kErrorInvalidHandle);
}

TEST_F(MemoryRegistryTest, EnumerationIsSortedWithoutCaseAndBoundedByTheCallersBuffers) {
    const RegKey key = Create(kHkeyCurrentUser, u"Software\\Quarro");
    for (const char16_t* sub : {u"b", u"A", u"c", u"B2", u"_x", u"a1", u"Zed", u"~t", u"[q"}) reg_.CloseKey(Create(key, sub));
    EXPECT_EQ(SubkeyNames(key),
              (std::vector<std::u16string>{u"[q", u"_x", u"A", u"a1", u"b", u"B2", u"c", u"Zed", u"~t"}));
    const std::uint8_t one = 1;
    for (const char16_t* value : {u"b", u"A", u"", u"_x", u"c"}) ASSERT_EQ(reg_.SetValue(key, value, kRegBinary, &one, 1), 0);
    EXPECT_EQ(ValueNames(key), (std::vector<std::u16string>{u"", u"_x", u"A", u"b", u"c"}));

    char16_t name[8] = {u'#', u'#', u'#', u'#'};
    std::uint32_t chars = 3;  // "Zed" needs 4 with its terminator
    EXPECT_EQ(reg_.EnumKey(key, 7, name, &chars), kErrorMoreData);
    EXPECT_EQ(chars, 3u);
    EXPECT_EQ(name[0], u'#');
    chars = 4;
    EXPECT_EQ(reg_.EnumKey(key, 7, name, &chars), kErrorSuccess);
    EXPECT_EQ(chars, 3u);
    EXPECT_EQ(std::u16string(name, 4), std::u16string(u"Zed\0", 4));
    chars = 0;
    EXPECT_EQ(reg_.EnumKey(key, 9, name, &chars), kErrorNoMoreItems);
    EXPECT_EQ(reg_.EnumKey(key, 0, nullptr, &chars), kErrorInvalidParameter);

    const char16_t hello[] = u"hello";
    ASSERT_EQ(reg_.SetValue(key, u"longname", kRegSz, reinterpret_cast<const std::uint8_t*>(hello), 12), 0);
    const std::uint32_t index = 5;  // after "c"
    std::uint32_t type = 99;
    std::uint32_t size = 64;
    std::uint8_t data[64];
    char16_t vname[16] = {u'#'};
    chars = 8;  // "longname" needs 9
    EXPECT_EQ(reg_.EnumValue(key, index, vname, &chars, &type, data, &size), kErrorMoreData);
    EXPECT_EQ(chars, 8u);
    EXPECT_EQ(vname[0], u'#');
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, 12u);
    chars = 16;
    size = 4;
    EXPECT_EQ(reg_.EnumValue(key, index, vname, &chars, &type, data, &size), kErrorMoreData);
    EXPECT_EQ(std::u16string(vname, chars), u"longname");  // the name is given even so
    EXPECT_EQ(size, 12u);
    chars = 16;
    size = 0;
    EXPECT_EQ(reg_.EnumValue(key, index, vname, &chars, nullptr, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(reg_.EnumValue(key, index, vname, &chars, nullptr, data, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(reg_.EnumValue(key, 6, vname, &chars, nullptr, nullptr, nullptr), kErrorNoMoreItems);
}

// Both views of HKLM\SOFTWARE hold a key "Quarro" with a value telling which one it is.
class RegistryViewsTest : public MemoryRegistryTest {
protected:
    void SetUp() override {
        bool created = false;
        RegKey key = 0;
        ASSERT_EQ(reg_.CreateKey(kHkeyLocalMachine, u"SOFTWARE\\Quarro", k64, &key, &created), kErrorSuccess);
        EXPECT_TRUE(created);
        SetDword(key, u"view", 64);
        reg_.CloseKey(key);
        ASSERT_EQ(reg_.CreateKey(kHkeyLocalMachine, u"SOFTWARE\\Quarro", k32, &key, &created), kErrorSuccess);
        EXPECT_TRUE(created);
        SetDword(key, u"view", 32);
        reg_.CloseKey(key);
    }
};

TEST_F(RegistryViewsTest, OnlyHklmSoftwareIsRedirectedAndHandlesKeepTheirView) {
    const RegKey software32 = Open(kHkeyLocalMachine, u"SOFTWARE", kKeyRead | kKeyWow64_32Key);
    const RegKey software64 = Open(kHkeyLocalMachine, u"Software", kKeyRead | kKeyWow64_64Key);
    struct Case {
        RegKey parent;
        const char16_t* path;
        std::uint32_t access;
        long rc;
        std::uint32_t view;
    };
    const std::vector<Case> cases = {
        {kHkeyLocalMachine, u"SOFTWARE\\Quarro", kKeyRead | kKeyWow64_64Key, kErrorSuccess, 64},
        {kHkeyLocalMachine, u"SOFTWARE\\Quarro", kKeyRead | kKeyWow64_32Key, kErrorSuccess, 32},
        {kHkeyLocalMachine, u"SOFTWARE\\Quarro", kKeyRead, kErrorSuccess, 32},
        {kHkeyLocalMachine, u"SOFTWARE\\Quarro", kKeyRead | kKeyWow64_32Key | kKeyWow64_64Key, kErrorSuccess, 32},
        {kHkeyLocalMachine, u"software\\\\quarro\\", kKeyRead, kErrorSuccess, 32},
        {kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Quarro", kKeyRead | kKeyWow64_64Key, kErrorSuccess, 32},
        {kHkeyLocalMachine, u"SOFTWARE\\wow6432node\\Quarro", kKeyRead, kErrorSuccess, 32},
        {kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Wow6432Node", kKeyRead, kErrorFileNotFound, 0},
        {software32, u"Quarro", kKeyRead | kKeyWow64_64Key, kErrorSuccess, 32},
        {software32, u"Wow6432Node\\Quarro", kKeyRead, kErrorFileNotFound, 0},
        {software64, u"Quarro", kKeyRead | kKeyWow64_32Key, kErrorSuccess, 64},
        {software64, u"Wow6432Node\\Quarro", kKeyRead | kKeyWow64_64Key, kErrorSuccess, 32},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::uint32_t view = 0;
        EXPECT_EQ(ReadDword(cases[i].parent, cases[i].path, cases[i].access, u"view", &view), cases[i].rc) << i;
        EXPECT_EQ(view, cases[i].view) << i;
    }
    EXPECT_EQ(SubkeyNames(software32), (std::vector<std::u16string>{u"Quarro"}));
    EXPECT_EQ(SubkeyNames(software64), (std::vector<std::u16string>{u"Classes", u"Quarro", u"Wow6432Node"}));

    // HKCU and the rest of HKLM look the same from both views.
    for (const auto& [root, path] : {std::pair{kHkeyCurrentUser, u"Software\\Quarro"},
                                     std::pair{kHkeyLocalMachine, u"SYSTEM\\Quarro"}}) {
        SetDword(Create(root, path, k32), u"view", 32);
        std::uint32_t view = 0;
        EXPECT_EQ(ReadDword(root, path, kKeyRead | kKeyWow64_64Key, u"view", &view), kErrorSuccess);
        EXPECT_EQ(view, 32u);
    }
}

TEST_F(RegistryViewsTest, CreatingAndDeletingFollowTheView) {
    bool created = true;
    RegKey software32 = 0;
    ASSERT_EQ(reg_.CreateKey(kHkeyLocalMachine, u"SOFTWARE", k32, &software32, &created), kErrorSuccess);
    EXPECT_FALSE(created);
    SetDword(software32, u"view", 32);  // lands on Wow6432Node itself
    std::uint32_t view = 0;
    EXPECT_EQ(ReadDword(kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node", kKeyRead | kKeyWow64_64Key, u"view", &view), 0);
    EXPECT_EQ(view, 32u);

    const RegKey software64 = Open(kHkeyLocalMachine, u"SOFTWARE", k64);
    reg_.CloseKey(Create(software64, u"Quarro\\Made64", k32));  // a 64-bit handle keeps its view
    RegKey key = 0;
    EXPECT_EQ(reg_.OpenKey(kHkeyLocalMachine, u"SOFTWARE\\Quarro\\Made64", kKeyRead | kKeyWow64_64Key, &key), 0);
    EXPECT_EQ(reg_.OpenKey(kHkeyLocalMachine, u"SOFTWARE\\Quarro\\Made64", kKeyRead | kKeyWow64_32Key, &key),
              kErrorFileNotFound);

    EXPECT_EQ(reg_.DeleteKey(kHkeyLocalMachine, u"SOFTWARE\\Quarro", kKeyWow64_32Key), kErrorSuccess);
    EXPECT_EQ(ReadDword(kHkeyLocalMachine, u"SOFTWARE\\Quarro", kKeyRead, u"view", &view), kErrorFileNotFound);
    EXPECT_EQ(ReadDword(kHkeyLocalMachine, u"SOFTWARE\\Quarro", kKeyRead | kKeyWow64_64Key, u"view", &view), 0);
    EXPECT_EQ(view, 64u);
    EXPECT_EQ(reg_.DeleteKey(kHkeyLocalMachine, u"SOFTWARE\\Quarro", kKeyWow64_64Key), kErrorAccessDenied);
}

TEST_F(MemoryRegistryTest, ClassesRootAndCurrentConfigAreKeysOfLocalMachine) {
    SetDword(Create(kHkeyClassesRoot, u".qrr"), u"v", 1);
    SetDword(Create(kHkeyCurrentConfig, u"Display"), u"v", 2);
    std::uint32_t v = 0;
    EXPECT_EQ(ReadDword(kHkeyLocalMachine, u"SOFTWARE\\Classes\\.qrr", kKeyRead | kKeyWow64_64Key, u"v", &v), 0);
    EXPECT_EQ(v, 1u);
    EXPECT_EQ(ReadDword(kHkeyLocalMachine, u"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\Display", kKeyRead,
                        u"v", &v),
              0);
    EXPECT_EQ(v, 2u);
}

TEST_F(MemoryRegistryTest, DeleteTreeRemovesASubtreeButKeepsSystemKeys) {
    const RegKey base = Create(kHkeyCurrentUser, u"Software\\Quarro");
    const RegKey inner = Create(base, u"Tree\\A\\B");
    EXPECT_EQ(reg_.DeleteTree(Open(kHkeyCurrentUser, u"Software", kKeyRead), u"Quarro\\Tree", 0), kErrorAccessDenied);
    EXPECT_EQ(reg_.DeleteTree(Open(kHkeyCurrentUser, u"Software", kKeyRead | kDelete), u"Quarro\\Tree", 0), 0);
    EXPECT_TRUE(SubkeyNames(base).empty());
    EXPECT_EQ(reg_.SetValue(inner, u"x", kRegBinary, nullptr, 0), kErrorKeyDeleted);
    EXPECT_EQ(reg_.DeleteTree(base, u"Tree", 0), kErrorFileNotFound);

    SetDword(Create(kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Old", k64), u"v", 1);
    SetDword(Open(kHkeyLocalMachine, u"SOFTWARE", k64), u"v", 1);
    EXPECT_EQ(reg_.DeleteTree(kHkeyLocalMachine, u"SOFTWARE", k64), kErrorSuccess);
    const RegKey software = Open(kHkeyLocalMachine, u"SOFTWARE", k64);
    EXPECT_EQ(SubkeyNames(software), (std::vector<std::u16string>{u"Classes", u"Wow6432Node"}));
    EXPECT_TRUE(ValueNames(software).empty());
    EXPECT_TRUE(SubkeyNames(Open(software, u"Wow6432Node")).empty());
}

TEST_F(MemoryRegistryTest, LoadRegFileImportsSixtyFourBitPaths) {
    ASSERT_EQ(reg_.SetValue(Create(kHkeyCurrentUser, u"Software\\Quarro\\Old\\Deep"), u"x", kRegBinary, nullptr, 0), 0);
    const RegKey oldHandle = Open(kHkeyCurrentUser, u"Software\\Quarro\\Old\\Deep");
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker]\r\n"
        "\"Model\"=\"S752\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Maker]\r\n"
        "\"Model\"=\"S752-32\"\r\n"
        "\"Gone\"=dword:00000001\r\n"
        "\"Gone\"=-\r\n"
        "\"NeverWas\"=-\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Quarro\\Old]\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Quarro\\NeverWas]\r\n"
        "[HKEY_CLASSES_ROOT\\.qrr]\r\n"
        "@=\"Quarro.Report\"\r\n";
    const std::size_t handlesBefore = reg_.OpenHandleCount();
    std::string error;
    ASSERT_TRUE(LoadRegFile(text, reg_, &error)) << error;
    EXPECT_EQ(reg_.OpenHandleCount(), handlesBefore);

    char16_t model[16];
    std::uint32_t size = sizeof model;
    RegKey key = Open(kHkeyLocalMachine, u"SOFTWARE\\Maker", kKeyRead);  // the 32-bit view
    EXPECT_EQ(reg_.QueryValue(key, u"Model", nullptr, reinterpret_cast<std::uint8_t*>(model), &size), 0);
    EXPECT_EQ(std::u16string(model), u"S752-32");
    EXPECT_EQ(ValueNames(key), (std::vector<std::u16string>{u"Model"}));
    size = sizeof model;
    key = Open(kHkeyLocalMachine, u"SOFTWARE\\Maker", kKeyRead | kKeyWow64_64Key);
    EXPECT_EQ(reg_.QueryValue(key, u"Model", nullptr, reinterpret_cast<std::uint8_t*>(model), &size), 0);
    EXPECT_EQ(std::u16string(model), u"S752");
    EXPECT_EQ(SubkeyNames(Open(kHkeyCurrentUser, u"Software\\Quarro")).size(), 0u);
    EXPECT_EQ(reg_.QueryValue(oldHandle, u"x", nullptr, nullptr, nullptr), kErrorKeyDeleted);
    size = sizeof model;
    EXPECT_EQ(reg_.QueryValue(Open(kHkeyClassesRoot, u".qrr"), nullptr, nullptr,
                              reinterpret_cast<std::uint8_t*>(model), &size), 0);
    EXPECT_EQ(std::u16string(model), u"Quarro.Report");
}

TEST_F(MemoryRegistryTest, LoadRegFileReportsErrorsAndChangesNothingOnBadSyntax) {
    std::string error;
    EXPECT_FALSE(LoadRegFile("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\A]\n"
                             "\"v\"=dword:1\n\"w\"=dword:xyz\n",
                             reg_, &error));
    EXPECT_EQ(error, "line 4: bad dword value");
    RegKey key = 0;
    EXPECT_EQ(reg_.OpenKey(kHkeyCurrentUser, u"Software\\A", kKeyRead, &key), kErrorFileNotFound);

    std::string deep = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_CONFIG";
    for (int i = 0; i < 510; ++i) deep += "\\k";
    EXPECT_FALSE(LoadRegFile(deep + "]\n", reg_, &error));  // deeper than 512 below HKLM
    EXPECT_EQ(error, "line 2: cannot create the key (error 87)");
    EXPECT_EQ(reg_.OpenHandleCount(), 0u);

    EXPECT_FALSE(LoadRegFileFromPath("/nonexistent/registry.reg", reg_, &error));
    EXPECT_EQ(error, "cannot open /nonexistent/registry.reg");
}

TEST_F(MemoryRegistryTest, LoadRegFileFromPathReadsUtf16Files) {
    const std::string path = testing::TempDir() + "memory_registry_test.reg";
    {
        std::ofstream out(path, std::ios::binary);
        const std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\.DEFAULT\\Quarro]\r\n"
                                    u"\"Bits\"=hex(b):2a,00,00,00,00,00,00,00\r\n";
        out << "\xFF\xFE";
        for (char16_t c : text) out << static_cast<char>(c & 0xFF) << static_cast<char>(c >> 8);
    }
    std::string error;
    ASSERT_TRUE(LoadRegFileFromPath(path, reg_, &error)) << error;
    std::remove(path.c_str());
    std::uint64_t bits = 0;
    std::uint32_t type = 0;
    std::uint32_t size = 8;
    EXPECT_EQ(reg_.QueryValue(Open(kHkeyUsers, u".default\\quarro"), u"Bits", &type, reinterpret_cast<std::uint8_t*>(&bits),
                              &size),
              0);
    EXPECT_EQ(type, kRegQword);
    EXPECT_EQ(bits, 42u);
}

}  // namespace
}  // namespace quarro::platform::sim
