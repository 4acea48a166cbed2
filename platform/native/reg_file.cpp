#include "platform/native/reg_file.h"

#include <optional>
#include <utility>

#include "platform/sim/code_page_1252.h"

namespace quarro::platform::sim {

namespace {

// ---------------------------------------------------------------------------------------------
// Decoding: the whole input becomes UTF-16 text first.

std::string LineMessage(std::size_t line, const char* what) {
    return "line " + std::to_string(line) + ": " + what;
}

bool IsLineBreak(char16_t c) { return c == u'\n' || c == u'\r'; }

// Counts line breaks the way LineReader splits lines (CR LF is one break).
class LineCounter {
public:
    void Feed(char16_t c) {
        if (c == u'\n') {
            if (!lastWasCr_) ++line_;
            lastWasCr_ = false;
        } else if (c == u'\r') {
            ++line_;
            lastWasCr_ = true;
        } else {
            lastWasCr_ = false;
        }
    }
    std::size_t line() const { return line_; }

private:
    std::size_t line_ = 1;
    bool lastWasCr_ = false;
};

bool DecodeUtf16Le(std::string_view bytes, std::u16string* text, std::string* error) {
    text->reserve(bytes.size() / 2);
    LineCounter lines;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                                 (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
        text->push_back(c);
        lines.Feed(c);
    }
    if (bytes.size() % 2 != 0) {
        *error = LineMessage(lines.line(), "incomplete UTF-16 character at end of file");
        return false;
    }
    return true;
}

bool DecodeUtf8(std::string_view bytes, std::u16string* text, std::string* error) {
    text->reserve(bytes.size());
    LineCounter lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint32_t b0 = static_cast<std::uint8_t>(bytes[i]);
        std::uint32_t cp = 0;
        std::size_t length = 0;
        std::uint32_t minimum = 0;
        if (b0 < 0x80) {
            cp = b0;
            length = 1;
        } else if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1F;
            length = 2;
            minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0F;
            length = 3;
            minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07;
            length = 4;
            minimum = 0x10000;
        } else {
            *error = LineMessage(lines.line(), "invalid UTF-8 text");
            return false;
        }
        if (length > bytes.size() - i) {
            *error = LineMessage(lines.line(), "invalid UTF-8 text");
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const std::uint32_t b = static_cast<std::uint8_t>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) {
                *error = LineMessage(lines.line(), "invalid UTF-8 text");
                return false;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            *error = LineMessage(lines.line(), "invalid UTF-8 text");
            return false;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            text->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            const char16_t c = static_cast<char16_t>(cp);
            text->push_back(c);
            lines.Feed(c);
        }
        i += length;
    }
    return true;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
}

bool Decode(std::string_view bytes, std::u16string* text, std::string* error) {
    if (bytes.size() > kMaxRegFileBytes) {
        *error = "line 1: file larger than " + std::to_string(kMaxRegFileBytes) + " bytes";
        return false;
    }
    if (bytes.size() >= 2 && static_cast<std::uint8_t>(bytes[0]) == 0xFF &&
        static_cast<std::uint8_t>(bytes[1]) == 0xFE) {
        return DecodeUtf16Le(bytes.substr(2), text, error);
    }
    if (bytes.size() >= 2 && static_cast<std::uint8_t>(bytes[0]) == 0xFE &&
        static_cast<std::uint8_t>(bytes[1]) == 0xFF) {
        *error = "line 1: big-endian UTF-16 is not supported";
        return false;
    }
    if (bytes.size() >= 3 && static_cast<std::uint8_t>(bytes[0]) == 0xEF &&
        static_cast<std::uint8_t>(bytes[1]) == 0xBB && static_cast<std::uint8_t>(bytes[2]) == 0xBF) {
        bytes.remove_prefix(3);
    }
    if (DecodeUtf8(bytes, text, error)) return true;
    // REGEDIT4 files are 8-bit text in the ANSI code page, which is rarely valid UTF-8.
    if (!StartsWith(bytes, "REGEDIT4")) return false;
    text->clear();
    for (char b : bytes) text->push_back(CodePage1252::ByteToUnit(static_cast<unsigned char>(b)));
    error->clear();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Lines and small text helpers.

class LineReader {
public:
    explicit LineReader(std::u16string_view text) : text_(text) {}

    // Next physical line without its terminator; false at the end of the text.
    bool Next(std::u16string_view* line) {
        if (pos_ >= text_.size()) return false;
        std::size_t end = pos_;
        while (end < text_.size() && !IsLineBreak(text_[end])) ++end;
        *line = text_.substr(pos_, end - pos_);
        if (end < text_.size()) {
            if (text_[end] == u'\r' && end + 1 < text_.size() && text_[end + 1] == u'\n') ++end;
            ++end;
        }
        pos_ = end;
        ++number_;
        return true;
    }
    std::size_t number() const { return number_; }

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimLeft(std::u16string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return s.substr(i);
}

std::u16string_view TrimRight(std::u16string_view s) {
    std::size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1])) --n;
    return s.substr(0, n);
}

std::u16string_view Trim(std::u16string_view s) { return TrimRight(TrimLeft(s)); }

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool EqualsAsciiNoCase(std::u16string_view s, std::string_view ascii) {
    if (s.size() != ascii.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (AsciiLower(s[i]) != AsciiLower(static_cast<char16_t>(ascii[i]))) return false;
    }
    return true;
}

bool StartsWithAsciiNoCase(std::u16string_view s, std::string_view ascii) {
    return s.size() >= ascii.size() && EqualsAsciiNoCase(s.substr(0, ascii.size()), ascii);
}

bool Equals(std::u16string_view s, std::string_view ascii) {
    if (s.size() != ascii.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != static_cast<char16_t>(static_cast<unsigned char>(ascii[i]))) return false;
    }
    return true;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Parses 1 to 8 hex digits from the start of `s`; returns how many it used (0 on failure).
std::size_t ParseHex32(std::u16string_view s, std::uint32_t* value) {
    std::uint32_t v = 0;
    std::size_t n = 0;
    while (n < s.size() && HexDigit(s[n]) >= 0) {
        if (n == 8) return 0;
        v = (v << 4) | static_cast<std::uint32_t>(HexDigit(s[n]));
        ++n;
    }
    *value = v;
    return n;
}

void AppendUtf16Le(std::u16string_view s, std::vector<std::uint8_t>* out) {
    out->reserve(out->size() + s.size() * 2 + 2);
    for (char16_t c : s) {
        out->push_back(static_cast<std::uint8_t>(c & 0xFF));
        out->push_back(static_cast<std::uint8_t>(c >> 8));
    }
}

std::vector<std::uint8_t> AnsiToUtf16Le(const std::vector<std::uint8_t>& ansi) {
    std::u16string wide;
    wide.reserve(ansi.size());
    for (std::uint8_t b : ansi) wide.push_back(CodePage1252::ByteToUnit(b));
    std::vector<std::uint8_t> out;
    AppendUtf16Le(wide, &out);
    return out;
}

// ---------------------------------------------------------------------------------------------
// The parser proper.

struct RootName {
    std::string_view name;
    RegFileRoot root;
};

constexpr RootName kRootNames[] = {
    {"HKEY_CLASSES_ROOT", RegFileRoot::kClassesRoot},
    {"HKEY_CURRENT_USER", RegFileRoot::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", RegFileRoot::kLocalMachine},
    {"HKEY_USERS", RegFileRoot::kUsers},
    {"HKEY_CURRENT_CONFIG", RegFileRoot::kCurrentConfig},
};

class Parser {
public:
    Parser(std::u16string_view text, std::vector<RegFileOperation>* ops) : reader_(text), ops_(ops) {}

    bool Run(std::string* error) {
        if (!ParseHeader()) return Fail(error);
        std::u16string_view line;
        while (reader_.Next(&line)) {
            const std::u16string_view content = TrimLeft(line);
            if (content.empty() || content[0] == u';') continue;
            bool ok = false;
            if (content[0] == u'[') {
                ok = ParseKeyLine(content);
            } else if (content[0] == u'"' || content[0] == u'@') {
                ok = ParseValueLine(content);
            } else {
                ok = SetError("unrecognised line");
            }
            if (!ok) return Fail(error);
        }
        return true;
    }

private:
    enum class Section { kNone, kKey, kDeleted };

    bool Fail(std::string* error) {
        if (error != nullptr) *error = message_;
        return false;
    }

    bool SetError(const char* what) {
        message_ = LineMessage(reader_.number() == 0 ? 1 : reader_.number(), what);
        return false;
    }

    bool ParseHeader() {
        std::u16string_view line;
        if (!reader_.Next(&line)) return SetError("empty file: missing the registry editor header");
        line = Trim(line);
        if (Equals(line, "Windows Registry Editor Version 5.00")) {
            unicode_ = true;
        } else if (Equals(line, "REGEDIT4")) {
            unicode_ = false;
        } else {
            return SetError("missing the \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\" header");
        }
        return true;
    }

    bool Push(RegFileOperation op) {
        if (ops_->size() >= kMaxRegFileOperations) return SetError("too many keys and values in one file");
        ops_->push_back(std::move(op));
        return true;
    }

    bool ParseKeyLine(std::u16string_view content) {
        const std::u16string_view trimmed = TrimRight(content);
        if (trimmed.size() < 2 || trimmed.back() != u']') return SetError("key line does not end with ']'");
        std::u16string_view name = trimmed.substr(1, trimmed.size() - 2);
        bool remove = false;
        if (!name.empty() && name[0] == u'-') {
            remove = true;
            name.remove_prefix(1);
        }
        const std::size_t slash = name.find(u'\\');
        const std::u16string_view rootName = name.substr(0, slash);
        std::optional<RegFileRoot> root;
        for (const RootName& r : kRootNames) {
            if (EqualsAsciiNoCase(rootName, r.name)) root = r.root;
        }
        if (!root) return SetError("unknown root key");

        RegFileOperation op;
        op.line = reader_.number();
        op.kind = remove ? RegFileOpKind::kDeleteKey : RegFileOpKind::kCreateKey;
        op.root = *root;
        std::size_t components = 0;
        std::u16string_view rest = slash == std::u16string_view::npos ? std::u16string_view() : name.substr(slash + 1);
        while (!rest.empty()) {
            const std::size_t next = rest.find(u'\\');
            const std::u16string_view component = rest.substr(0, next);
            rest = next == std::u16string_view::npos ? std::u16string_view() : rest.substr(next + 1);
            if (component.empty()) continue;
            if (component.size() > kMaxRegKeyNameChars) return SetError("key name longer than 256 characters");
            if (component.find(u'\0') != std::u16string_view::npos) return SetError("NUL character in key name");
            if (++components > kMaxRegPathComponents) return SetError("key path nested too deeply");
            if (!op.keyPath.empty()) op.keyPath.push_back(u'\\');
            op.keyPath.append(component);
        }
        if (remove && op.keyPath.empty()) return SetError("a root key cannot be deleted");
        if (!Push(std::move(op))) return false;
        section_ = remove ? Section::kDeleted : Section::kKey;
        keyOp_ = ops_->size() - 1;
        return true;
    }

    // Reads a quoted string starting after the opening quote; `pos` ends after the closing quote.
    bool ParseQuoted(std::u16string_view s, std::size_t* pos, std::u16string* out, const char* unterminated) {
        std::size_t i = *pos;
        while (i < s.size()) {
            const char16_t c = s[i++];
            if (c == u'"') {
                *pos = i;
                return true;
            }
            if (c != u'\\') {
                out->push_back(c);
                continue;
            }
            if (i >= s.size()) break;
            const char16_t e = s[i++];
            switch (e) {
                case u'\\': out->push_back(u'\\'); break;
                case u'"': out->push_back(u'"'); break;
                case u'n': out->push_back(u'\n'); break;
                case u'r': out->push_back(u'\r'); break;
                case u'0': out->push_back(u'\0'); break;
                default: return SetError("unknown escape sequence in string");
            }
        }
        return SetError(unterminated);
    }

    bool ParseValueLine(std::u16string_view content) {
        if (section_ == Section::kNone) return SetError("value line before any key line");
        RegFileOperation op;
        op.line = reader_.number();  // a hex list may go on over the next lines
        op.keyOp = keyOp_;
        std::size_t pos = 1;
        if (content[0] == u'"') {
            if (!ParseQuoted(content, &pos, &op.valueName, "unterminated value name")) return false;
            if (op.valueName.size() > kMaxRegValueNameChars) return SetError("value name longer than 16383 characters");
            if (op.valueName.find(u'\0') != std::u16string::npos) return SetError("NUL character in value name");
        }
        std::u16string_view rest = TrimLeft(content.substr(pos));
        if (rest.empty() || rest[0] != u'=') return SetError("expected '=' after the value name");
        rest = TrimLeft(rest.substr(1));

        if (Equals(TrimRight(rest), "-")) {
            op.kind = RegFileOpKind::kDeleteValue;
        } else {
            op.kind = RegFileOpKind::kSetValue;
            if (!ParseData(rest, &op)) return false;
        }
        if (section_ == Section::kDeleted) return true;  // regedit ignores values of a deleted key
        return Push(std::move(op));
    }

    bool ParseData(std::u16string_view rest, RegFileOperation* op) {
        if (!rest.empty() && rest[0] == u'"') {
            std::size_t pos = 1;
            std::u16string text;
            if (!ParseQuoted(rest, &pos, &text, "unterminated string")) return false;
            if (!Trim(rest.substr(pos)).empty()) return SetError("unexpected text after the string");
            op->type = kRegSz;
            AppendUtf16Le(text, &op->data);
            op->data.push_back(0);
            op->data.push_back(0);
            return true;
        }
        if (StartsWithAsciiNoCase(rest, "dword:")) {
            const std::u16string_view digits = TrimRight(rest.substr(6));
            std::uint32_t value = 0;
            const std::size_t used = ParseHex32(digits, &value);
            if (used == 0 || used != digits.size()) return SetError("bad dword value");
            op->type = kRegDword;
            for (int shift = 0; shift < 32; shift += 8) op->data.push_back(static_cast<std::uint8_t>(value >> shift));
            return true;
        }
        if (StartsWithAsciiNoCase(rest, "hex:")) {
            op->type = kRegBinary;
            return ParseHexList(rest.substr(4), op);
        }
        if (StartsWithAsciiNoCase(rest, "hex(")) {
            std::uint32_t type = 0;
            const std::u16string_view afterParen = rest.substr(4);
            const std::size_t used = ParseHex32(afterParen, &type);
            if (used == 0 || afterParen.size() < used + 2 || afterParen[used] != u')' || afterParen[used + 1] != u':') {
                return SetError("bad hex(type) prefix");
            }
            op->type = type;
            if (!ParseHexList(afterParen.substr(used + 2), op)) return false;
            if (!unicode_ && (type == kRegExpandSz || type == kRegMultiSz)) op->data = AnsiToUtf16Le(op->data);
            return true;
        }
        return SetError("unknown value type");
    }

    // Comma-separated bytes; a trailing backslash continues the list on the next line.
    bool ParseHexList(std::u16string_view s, RegFileOperation* op) {
        std::size_t i = 0;
        for (;;) {
            while (i < s.size() && IsBlank(s[i])) ++i;
            if (i >= s.size()) return true;
            if (s[i] == u'\\') {
                if (!Trim(s.substr(i + 1)).empty()) return SetError("bad hex value");
                std::u16string_view next;
                if (!reader_.Next(&next)) return SetError("hex value continues past the end of the file");
                s = next;
                i = 0;
                continue;
            }
            const int hi = HexDigit(s[i]);
            if (hi < 0) return SetError("bad hex value");
            int value = hi;
            ++i;
            if (i < s.size() && HexDigit(s[i]) >= 0) value = value * 16 + HexDigit(s[i++]);
            op->data.push_back(static_cast<std::uint8_t>(value));
            while (i < s.size() && IsBlank(s[i])) ++i;
            if (i < s.size() && s[i] == u',') {
                ++i;
            } else if (i < s.size() && s[i] != u'\\') {
                return SetError("bad hex value");
            }
        }
    }

    LineReader reader_;
    std::vector<RegFileOperation>* ops_;
    std::string message_;
    bool unicode_ = true;
    Section section_ = Section::kNone;
    std::size_t keyOp_ = 0;
};

}  // namespace

RegKey RootKeyOf(RegFileRoot root) {
    switch (root) {
        case RegFileRoot::kClassesRoot: return kHkeyClassesRoot;
        case RegFileRoot::kCurrentUser: return kHkeyCurrentUser;
        case RegFileRoot::kLocalMachine: return kHkeyLocalMachine;
        case RegFileRoot::kUsers: return kHkeyUsers;
        case RegFileRoot::kCurrentConfig: return kHkeyCurrentConfig;
    }
    return kHkeyLocalMachine;
}

bool ParseRegFile(std::string_view bytes, std::vector<RegFileOperation>* operations, std::string* error) {
    operations->clear();
    std::u16string text;
    std::string message;
    if (!Decode(bytes, &text, &message)) {
        if (error != nullptr) *error = message;
        return false;
    }
    Parser parser(text, operations);
    if (!parser.Run(error)) {
        operations->clear();
        return false;
    }
    return true;
}

}  // namespace quarro::platform::sim
