#include "platform/native/reg_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarro::platform::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

std::vector<RegFileOperation> ParseOk(const std::string& text) {
    std::vector<RegFileOperation> ops;
    std::string error;
    EXPECT_TRUE(ParseRegFile(text, &ops, &error)) << error;
    return ops;
}

std::string Utf16LeWithBom(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

Bytes Utf16Z(const std::u16string& s) {
    Bytes out;
    for (char16_t c : s) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

TEST(RegFileParse, EveryValueTypeBecomesTheBytesRegeditStores) {
    const auto ops = ParseOk(kHeader +
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker]\r\n"
                             "@=\"default\"\r\n"
                             "\"Text\"=\"a\\\\b\\\"c\"\r\n"
                             "\"Empty\"=\"\"\r\n"
                             "\"Count\"=dword:0000002a\r\n"
                             "\"Max\"=dword:FFFFFFFF\r\n"
                             "\"Short\"=dword:7\r\n"
                             "\"Blob\"=hex:01,ff,0a\r\n"
                             "\"NoBytes\"=hex:\r\n"
                             "\"Path\"=hex(2):25,00,41,00,00,00\r\n"
                             "\"List\"=hex(7):61,00,00,00,00,00\r\n"
                             "\"Big\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                             "\"None\"=hex(0):\r\n"
                             "\"Odd\"=hex(100000):7f\r\n"
                             "\"Gone\"=-\r\n"
                             "@=-\r\n");
    struct Expected {
        RegFileOpKind kind;
        std::u16string name;
        std::uint32_t type;
        Bytes data;
    };
    const std::vector<Expected> expected = {
        {RegFileOpKind::kSetValue, u"", kRegSz, Utf16Z(u"default")},
        {RegFileOpKind::kSetValue, u"Text", kRegSz, Utf16Z(u"a\\b\"c")},
        {RegFileOpKind::kSetValue, u"Empty", kRegSz, Bytes{0, 0}},
        {RegFileOpKind::kSetValue, u"Count", kRegDword, Bytes{0x2a, 0, 0, 0}},
        {RegFileOpKind::kSetValue, u"Max", kRegDword, Bytes{0xff, 0xff, 0xff, 0xff}},
        {RegFileOpKind::kSetValue, u"Short", kRegDword, Bytes{7, 0, 0, 0}},
        {RegFileOpKind::kSetValue, u"Blob", kRegBinary, Bytes{0x01, 0xff, 0x0a}},
        {RegFileOpKind::kSetValue, u"NoBytes", kRegBinary, Bytes{}},
        {RegFileOpKind::kSetValue, u"Path", kRegExpandSz, Bytes{0x25, 0, 0x41, 0, 0, 0}},
        {RegFileOpKind::kSetValue, u"List", kRegMultiSz, Bytes{0x61, 0, 0, 0, 0, 0}},
        {RegFileOpKind::kSetValue, u"Big", kRegQword, Bytes{1, 2, 3, 4, 5, 6, 7, 8}},
        {RegFileOpKind::kSetValue, u"None", kRegNone, Bytes{}},
        {RegFileOpKind::kSetValue, u"Odd", 0x100000, Bytes{0x7f}},
        {RegFileOpKind::kDeleteValue, u"Gone", 0, Bytes{}},
        {RegFileOpKind::kDeleteValue, u"", 0, Bytes{}},
    };
    ASSERT_EQ(ops.size(), expected.size() + 1);
    EXPECT_EQ(ops[0].kind, RegFileOpKind::kCreateKey);
    EXPECT_EQ(ops[0].root, RegFileRoot::kLocalMachine);
    EXPECT_EQ(ops[0].keyPath, u"SOFTWARE\\Maker");
    EXPECT_EQ(ops[0].line, 3u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const RegFileOperation& op = ops[i + 1];
        SCOPED_TRACE(i);
        EXPECT_EQ(op.kind, expected[i].kind);
        EXPECT_EQ(op.keyOp, 0u);
        EXPECT_EQ(op.valueName, expected[i].name);
        EXPECT_EQ(op.line, i + 4);
        if (op.kind == RegFileOpKind::kSetValue) {
            EXPECT_EQ(op.type, expected[i].type);
            EXPECT_EQ(op.data, expected[i].data);
        }
    }
}

TEST(RegFileParse, KeyLinesNameRootsAndNormalisePaths) {
    const auto ops = ParseOk(kHeader +
                             "[HKEY_CLASSES_ROOT\\.txt]\n"
                             "[hkey_current_user\\Software\\\\Maker\\]\n"
                             "[HKEY_USERS\\.DEFAULT]\n"
                             "[HKEY_CURRENT_CONFIG]\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd]Name]\n"
                             "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n"
                             "\"Ignored\"=dword:00000001\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\After]\n"
                             "\"Kept\"=dword:00000002\n");
    struct Expected {
        RegFileOpKind kind;
        RegFileRoot root;
        std::u16string path;
    };
    const std::vector<Expected> keys = {
        {RegFileOpKind::kCreateKey, RegFileRoot::kClassesRoot, u".txt"},
        {RegFileOpKind::kCreateKey, RegFileRoot::kCurrentUser, u"Software\\Maker"},
        {RegFileOpKind::kCreateKey, RegFileRoot::kUsers, u".DEFAULT"},
        {RegFileOpKind::kCreateKey, RegFileRoot::kCurrentConfig, u""},
        {RegFileOpKind::kCreateKey, RegFileRoot::kLocalMachine, u"SOFTWARE\\Odd]Name"},
        {RegFileOpKind::kDeleteKey, RegFileRoot::kLocalMachine, u"SOFTWARE\\Old"},
        {RegFileOpKind::kCreateKey, RegFileRoot::kLocalMachine, u"SOFTWARE\\After"},
    };
    ASSERT_EQ(ops.size(), keys.size() + 1);  // the value below the deleted key is dropped
    for (std::size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ops[i].kind, keys[i].kind);
        EXPECT_EQ(ops[i].root, keys[i].root);
        EXPECT_EQ(ops[i].keyPath, keys[i].path);
    }
    EXPECT_EQ(ops[7].valueName, u"Kept");
    EXPECT_EQ(ops[7].keyOp, 6u);
    EXPECT_EQ(ops[7].line, 11u);

    EXPECT_EQ(RootKeyOf(RegFileRoot::kClassesRoot), kHkeyClassesRoot);
    EXPECT_EQ(RootKeyOf(RegFileRoot::kCurrentUser), kHkeyCurrentUser);
    EXPECT_EQ(RootKeyOf(RegFileRoot::kLocalMachine), kHkeyLocalMachine);
    EXPECT_EQ(RootKeyOf(RegFileRoot::kUsers), kHkeyUsers);
    EXPECT_EQ(RootKeyOf(RegFileRoot::kCurrentConfig), kHkeyCurrentConfig);
}

TEST(RegFileParse, HexListsContinueOnIndentedLinesAndCommentsAreSkipped) {
    const auto ops = ParseOk("Windows Registry Editor Version 5.00\n"
                             "; exported for the test\n"
                             "\n"
                             "   ; an indented comment\n"
                             "[HKEY_CURRENT_USER\\Software\\Maker]\n"
                             "\"Long\"=hex:00,01,02,\\\n"
                             "  03,04,\\\r\n"
                             "\t05 , 06\n"
                             "  \"Next\" = dword:00000010  \n");
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[1].data, (Bytes{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ops[1].line, 6u);
    EXPECT_EQ(ops[2].valueName, u"Next");
    EXPECT_EQ(ops[2].line, 9u);  // lines are counted across the continuation
    EXPECT_EQ(ops[2].data, (Bytes{0x10, 0, 0, 0}));
}

TEST(RegFileParse, ReadsUtf16LittleEndianWithByteOrderMark) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\\u00dcbersicht\u30c6\u30b9\u30c8]\r\n"
        u"\"\u540d\u524d\"=\"\u00e9t\u00e9 \U0001F600\"\r\n";
    std::vector<RegFileOperation> ops;
    std::string error;
    ASSERT_TRUE(ParseRegFile(Utf16LeWithBom(text), &ops, &error)) << error;
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].keyPath, u"SOFTWARE\\\u00dcbersicht\u30c6\u30b9\u30c8");
    EXPECT_EQ(ops[1].valueName, u"\u540d\u524d");
    EXPECT_EQ(ops[1].data, Utf16Z(u"\u00e9t\u00e9 \U0001F600"));
}

TEST(RegFileParse, ReadsUtf8WithByteOrderMarkAndDecodesToUtf16) {
    const auto ops = ParseOk("\xEF\xBB\xBF" + kHeader +
                             "[HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9]\n"
                             "\"Smile\"=\"\xF0\x9F\x98\x80\"\n");
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].keyPath, u"Software\\Caf\u00e9");
    EXPECT_EQ(ops[1].data, (Bytes{0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
}

TEST(RegFileParse, Regedit4ConvertsAnsiStringListsToUtf16) {
    const auto ops = ParseOk("REGEDIT4\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Maker]\n"
                             "\"Path\"=hex(2):25,80,e9,00\n"
                             "\"Blob\"=hex:80,e9\n"
                             "\"Text\"=\"ab\"\n");
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[1].data, (Bytes{0x25, 0, 0xAC, 0x20, 0xE9, 0, 0, 0}));  // 0x80 is the euro sign in 1252
    EXPECT_EQ(ops[2].data, (Bytes{0x80, 0xE9}));                          // binary stays as it is
    EXPECT_EQ(ops[3].data, Utf16Z(u"ab"));

    const auto ansi = ParseOk("REGEDIT4\n[HKEY_CURRENT_USER\\Caf\xE9]\n\"T\"=\"\x80\"\n");  // not UTF-8
    ASSERT_EQ(ansi.size(), 2u);
    EXPECT_EQ(ansi[0].keyPath, u"Caf\u00e9");
    EXPECT_EQ(ansi[1].data, Utf16Z(u"\u20ac"));
}

TEST(RegFileParse, MalformedInputNamesTheLine) {
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Maker]\n";  // line 3 after kHeader
    struct Case {
        std::string input;
        std::string expected;  // the message starts with this
    };
    const std::vector<Case> cases = {
        {"", "line 1: empty file"},
        {"Windows Registry Editor Version 4.00\n[HKEY_CURRENT_USER\\A]\n", "line 1: missing the"},
        {"REGEDIT5\n", "line 1: missing the"},
        {kHeader + "\"a\"=\"b\"\n", "line 3: value line before any key line"},
        {kHeader + "[HKEY_NOWHERE\\Software]\n", "line 3: unknown root key"},
        {kHeader + "[]\n", "line 3: unknown root key"},
        {kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n", "line 3: key line does not end with ']'"},
        {kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE] trailing\n", "line 3: key line does not end"},
        {kHeader + "[-HKEY_CURRENT_USER]\n", "line 3: a root key cannot be deleted"},
        {kHeader + "[HKEY_CURRENT_USER\\" + std::string(257, 'k') + "]\n", "line 3: key name longer"},
        {kHeader + key + "\"a\"=dword:123456789\n", "line 4: bad dword value"},
        {kHeader + key + "\"a\"=dword:\n", "line 4: bad dword value"},
        {kHeader + key + "\"a\"=dword:12 34\n", "line 4: bad dword value"},
        {kHeader + key + "\"a\"=dword:-1\n", "line 4: bad dword value"},
        {kHeader + key + "\"a\"=hex:0g\n", "line 4: bad hex value"},
        {kHeader + key + "\"a\"=hex:123\n", "line 4: bad hex value"},
        {kHeader + key + "\"a\"=hex:01,,02\n", "line 4: bad hex value"},
        {kHeader + key + "\"a\"=hex:01,\\ 02\n", "line 4: bad hex value"},
        {kHeader + key + "\"a\"=hex(zz):01\n", "line 4: bad hex(type) prefix"},
        {kHeader + key + "\"a\"=hex(2:01\n", "line 4: bad hex(type) prefix"},
        {kHeader + key + "\"a\"=hex(123456789):01\n", "line 4: bad hex(type) prefix"},
        {kHeader + key + "\"a\"=hex:01,\\\n", "line 4: hex value continues past the end"},
        {kHeader + key + "\"a\"=hex:01,\\\n  02,\\\n  zz\n", "line 6: bad hex value"},
        {kHeader + key + "\"a\"=\"open\n", "line 4: unterminated string"},
        {kHeader + key + "\"a\"=\"ends in backslash\\\n", "line 4: unterminated string"},
        {kHeader + key + "\"open=1\n", "line 4: unterminated value name"},
        {kHeader + key + "\"a\"\"b\"\n", "line 4: expected '='"},
        {kHeader + key + "@\n", "line 4: expected '='"},
        {kHeader + key + "\"a\"=\"x\" junk\n", "line 4: unexpected text after the string"},
        {kHeader + key + "\"a\"=\"x\\q\"\n", "line 4: unknown escape sequence"},
        {kHeader + key + "\"a\"=qword:1\n", "line 4: unknown value type"},
        {kHeader + key + "\"a\"=\n", "line 4: unknown value type"},
        {kHeader + key + "\"" + std::string(16384, 'v') + "\"=\"x\"\n", "line 4: value name longer"},
        {kHeader + key + "garbage\n", "line 4: unrecognised line"},
        {kHeader + key + "\"ok\"=\"\xC3\x28\"\n", "line 4: invalid UTF-8"},
        {kHeader + key + "\"ok\"=\"\xE0\x80\x80\"\n", "line 4: invalid UTF-8"},      // overlong
        {kHeader + key + "\"ok\"=\"\xED\xA0\x80\"\n", "line 4: invalid UTF-8"},      // surrogate
        {kHeader + key + "\"ok\"=\"\xF4\x90\x80\x80\"\n", "line 4: invalid UTF-8"},  // past U+10FFFF
        {kHeader + key + "\"ok\"=\"\xE2\x82", "line 4: invalid UTF-8"},              // cut short
        {"Windows Registry Editor Version 5.00\r\r\n\r[HKEY_X]\r\n", "line 4: unknown root key"},
        {"\xFE\xFF\x00W", "line 1: big-endian UTF-16"},
        {Utf16LeWithBom(u"Windows Registry Editor Version 5.00\r\n\r\n") + "x", "line 3: incomplete UTF-16"},
        {Utf16LeWithBom(u"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\a\0b]\n"s),
         "line 2: NUL character in key name"},
        {Utf16LeWithBom(u"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\a]\n\"a\0\"=-\n"s),
         "line 3: NUL character in value name"},
        {kHeader + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n\"a\"=dword:zz\n", "line 4: bad dword value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        std::vector<RegFileOperation> ops;
        ops.resize(3);  // replaced, even on failure
        std::string error;
        EXPECT_FALSE(ParseRegFile(c.input, &ops, &error));
        EXPECT_EQ(error.compare(0, c.expected.size(), c.expected), 0) << "got: " << error;
        EXPECT_TRUE(ops.empty());
    }
}

TEST(RegFileParse, PathsDeeperThanTheRegistryAllowsAreRefused) {
    std::string deep = "[HKEY_CURRENT_USER";
    for (std::size_t i = 0; i < kMaxRegPathComponents; ++i) deep += "\\k";
    std::vector<RegFileOperation> ops;
    std::string error;
    EXPECT_TRUE(ParseRegFile(kHeader + deep + "]\n", &ops, &error)) << error;
    EXPECT_FALSE(ParseRegFile(kHeader + deep + "\\k]\n", &ops, &error));
    EXPECT_EQ(error, "line 3: key path nested too deeply");
}

TEST(RegFileParse, EveryTruncationOfAValidFileFailsCleanlyOrParses) {
    const std::string full = Utf16LeWithBom(
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\M]\r\n"
        u"\"S\"=\"t\\\"x\"\r\n\"B\"=hex:01,02,\\\r\n  03\r\n\"D\"=dword:00000001\r\n");
    for (std::size_t n = 0; n <= full.size(); ++n) {
        std::vector<RegFileOperation> ops;
        std::string error;
        if (!ParseRegFile(full.substr(0, n), &ops, &error)) {
            EXPECT_EQ(error.rfind("line ", 0), 0u) << n << ": " << error;
        }
    }
}

}  // namespace
}  // namespace quarro::platform::sim
