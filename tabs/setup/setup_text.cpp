// The formatted texts of the Setup rows that do not depend on the string table: model and serial
// number, BIOS and controller versions, the operating-system description, the language names,
// version.doc and the device's own names.
#include <cstdio>
#include <cstring>

#include "tabs/setup/setup_rows.h"

namespace setup_tab {

namespace {

std::u16string Widen(const char* text) {
    std::u16string out;
    for (const char* p = text; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
    return out;
}

}  // namespace

std::u16string ModelNumberText(const std::uint8_t* record, std::size_t size) {
    std::string model;
    for (std::size_t i = 0; i < size && record[i] != 0; ++i) model.push_back(static_cast<char>(record[i]));
    if (model.empty()) return u"";
    if (model.size() >= 2 && (model.size() < 3 || model[2] != '-')) model.insert(2, "-");
    return Widen(model.c_str());
}

std::u16string SerialNumberText(const std::uint8_t record[8]) {
    const std::uint32_t n = record[5] + 256u * (record[6] | (static_cast<std::uint32_t>(record[7]) << 8));
    if (n > 99999) return u"";
    char text[32];
    std::snprintf(text, sizeof text, "%c%c%c%c%c%05u", record[0], record[1], record[2], record[3], record[4],
                  static_cast<unsigned>(n));
    return Widen(text);
}

std::u16string BiosVersionText(const std::uint8_t b[5]) {
    char text[48];
    if (b[4] < 10) {
        std::snprintf(text, sizeof text, "V%d.%02XL%02X%c", b[0], b[1], b[2], b[3] == 0 ? ' ' : b[3]);
    } else if (b[3] != 0) {
        std::snprintf(text, sizeof text, "V%d.%02XL%02X%c M%02X", b[0], b[1], b[2], b[3], b[4]);
    } else {
        std::snprintf(text, sizeof text, "V%d.%02XL%02X M%02X", b[0], b[1], b[2], b[4]);
    }
    return Widen(text);
}

std::u16string EcVersionText(const std::uint8_t v[5]) {
    char text[48];
    if (v[4] < 16) {
        std::snprintf(text, sizeof text, "V%X.%02XL%02X%c", v[0], v[1], v[2], v[3]);
    } else if (v[3] == ' ') {
        std::snprintf(text, sizeof text, "V%X.%02XL%02X M%02X", v[0], v[1], v[2], v[4]);
    } else {
        std::snprintf(text, sizeof text, "V%X.%02XL%02X%c M%02X", v[0], v[1], v[2], v[3], v[4]);
    }
    return Widen(text);
}

namespace {

enum Family : unsigned { kVistaF = 1, k7F = 2, k8F = 4, k81F = 8, kAllF = 15 };

struct EditionText {
    unsigned families;
    std::uint32_t product;  // GetProductInfo type
    const char* edition;
};

// Editions by product type; a product type missing for a family takes the family text alone.
const EditionText kEditions[] = {
    {kVistaF | k7F, 0x01, "Ultimate"},
    {kVistaF | k7F, 0x02, "Home Basic"},
    {kVistaF | k7F, 0x03, "Home Premium"},
    {kAllF, 0x04, "Enterprise"},
    {kVistaF | k7F, 0x05, "Home Basic N"},
    {kVistaF, 0x06, "Business"},
    {kVistaF | k7F, 0x0B, "Starter"},
    {kVistaF, 0x10, "Business N"},
    {kVistaF | k7F, 0x1A, "Home Premium N"},
    {kAllF, 0x1B, "Enterprise N"},
    {kVistaF | k7F, 0x1C, "Ultimate N"},
    {kVistaF | k7F, 0x2F, "Starter N"},
    {k7F, 0x30, "Professional"},
    {k8F | k81F, 0x30, "Pro"},
    {k7F, 0x31, "Professional N"},
    {k8F | k81F, 0x31, "Pro N"},
    {k7F, 0x42, "Starter E"},
    {k7F, 0x43, "Home Basic E"},
    {k7F, 0x44, "Home Premium E"},
    {k7F, 0x45, "Professional E"},
    {k7F, 0x46, "Enterprise E"},
    {k7F, 0x47, "Ultimate E"},
    {k8F | k81F, 0x48, "Enterprise Evaluation"},
    {k8F | k81F, 0x62, "N"},
    {k8F | k81F, 0x63, "China"},
    {k8F | k81F, 0x64, "Single Language"},
    {k8F | k81F, 0x67, "Pro with Media Center"},
    {kAllF, 0xABCDABCD, "(UNLICENSED)"},
};

void Append(std::string* text, const std::string& part) {
    if (part.empty()) return;
    if (!text->empty()) text->push_back(' ');
    *text += part;
}

}  // namespace

std::u16string OsDescription(const SetupFacts& facts) {
    if (!facts.osKnown) return u"";
    std::string sp;
    for (char16_t c : facts.servicePack) sp.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    const std::string bits = facts.amd64 ? "64-bit edition" : "";
    std::string text;
    unsigned family = 0;
    const char* familyName = nullptr;
    switch (facts.osType) {
    case 5: text = "Windows 2000"; Append(&text, sp); return Widen(text.c_str());
    case 9: text = "Windows Server 2008 (Full installation)"; Append(&text, sp); return Widen(text.c_str());
    case 10: return u"Windows Server 2003";
    case 12: return u"Windows Server 2008 R2";
    case 14: return u"Windows Server 2012";
    case 16: return u"Windows Server 2012 R2";
    case 6: {
        if (facts.editionFlags & 1u) text = "Windows XP Tablet PC Edition";
        else if (facts.editionFlags & 2u) text = "Windows XP Media Center Edition";
        else if (facts.editionFlags & 4u) text = "Windows XP Starter Edition";
        else if (facts.suiteMask & 0x0040u) text = "Windows XP Embedded";       // VER_SUITE_EMBEDDEDNT
        else if (facts.suiteMask & 0x0200u) text = "Windows XP Home Edition";   // VER_SUITE_PERSONAL
        else {
            text = "Windows XP Professional";
            if (facts.amd64) Append(&text, "x64 Edition");
        }
        Append(&text, sp);
        return Widen(text.c_str());
    }
    case 8: family = kVistaF; familyName = "Windows Vista"; break;
    case 11: family = k7F; familyName = "Windows 7"; break;
    case 13: family = k8F; familyName = "Windows 8"; break;
    case 15: family = k81F; familyName = "Windows 8.1"; break;
    default: return u"";
    }
    text = familyName;
    for (const EditionText& e : kEditions) {
        if ((e.families & family) && e.product == facts.productType) {
            Append(&text, e.edition);
            break;
        }
    }
    Append(&text, bits);
    Append(&text, sp);
    return Widen(text.c_str());
}

namespace {

struct LanguageEntry {
    std::uint16_t id;
    const char* name;
};

// Full identifiers (with sublanguage) for the languages whose variants differ in name.
const LanguageEntry kFullLanguages[] = {
    {0x0404, "Chinese (Traditional)"}, {0x0804, "Chinese (Simplified)"}, {0x0C04, "Chinese (Hong Kong S.A.R.)"},
    {0x1004, "Chinese (Singapore)"}, {0x1404, "Chinese (Macao S.A.R.)"},
    {0x0416, "Portuguese (Brazilian)"}, {0x0816, "Portuguese (Portugal)"},
    {0x041A, "Croatian"}, {0x101A, "Croatian (Bosnia and Herzegovina)"},
    {0x081A, "Serbian (Latin, Serbia and Montenegro)"}, {0x0C1A, "Serbian (Cyrillic, Serbia and Montenegro)"},
    {0x141A, "Bosnian (Latin)"}, {0x201A, "Bosnian (Cyrillic)"},
    {0x181A, "Serbian (Latin, Bosnia and Herzegovina)"}, {0x1C1A, "Serbian (Cyrillic, Bosnia and Herzegovina)"},
    {0x241A, "Serbian (Latin, Serbia)"}, {0x281A, "Serbian (Cyrillic, Serbia)"},
    {0x2C1A, "Serbian (Latin, Montenegro)"}, {0x301A, "Serbian (Cyrillic, Montenegro)"},
};

// Every other language by its primary language identifier.
const LanguageEntry kPrimaryLanguages[] = {
    {0x00, "Language Neutral"}, {0x01, "Arabic"}, {0x02, "Bulgarian"}, {0x03, "Catalan"}, {0x05, "Czech"},
    {0x06, "Danish"}, {0x07, "German"}, {0x08, "Greek"}, {0x09, "English"}, {0x0A, "Spanish"},
    {0x0B, "Finnish"}, {0x0C, "French"}, {0x0D, "Hebrew"}, {0x0E, "Hungarian"}, {0x0F, "Icelandic"},
    {0x10, "Italian"}, {0x11, "Japanese"}, {0x12, "Korean"}, {0x13, "Dutch"}, {0x14, "Norwegian"},
    {0x15, "Polish"}, {0x17, "Romansh"}, {0x18, "Romanian"}, {0x19, "Russian"}, {0x1B, "Slovak"},
    {0x1C, "Albanian"}, {0x1D, "Swedish"}, {0x1E, "Thai"}, {0x1F, "Turkish"}, {0x20, "Urdu"},
    {0x21, "Indonesian"}, {0x22, "Ukrainian"}, {0x23, "Belarusian"}, {0x24, "Slovenian"}, {0x25, "Estonian"},
    {0x26, "Latvian"}, {0x27, "Lithuanian"}, {0x28, "Tajik"}, {0x29, "Persian"}, {0x2A, "Vietnamese"},
    {0x2B, "Armenian"}, {0x2C, "Azeri"}, {0x2D, "Basque"}, {0x2E, "Sorbian"}, {0x2F, "Macedonian"},
    {0x32, "Setswana"}, {0x34, "isiXhosa"}, {0x35, "isiZulu"}, {0x36, "Afrikaans"}, {0x37, "Georgian"},
    {0x38, "Faroese"}, {0x39, "Hindi"}, {0x3A, "Maltese"}, {0x3B, "Sami"}, {0x3C, "Irish"},
    {0x3E, "Malay"}, {0x3F, "Kazakh"}, {0x40, "Kyrgyz"}, {0x41, "Kiswahili"}, {0x42, "Turkmen"},
    {0x43, "Uzbek"}, {0x44, "Tatar"}, {0x45, "Bengali"}, {0x46, "Punjabi"}, {0x47, "Gujarati"},
    {0x48, "Odia"}, {0x49, "Tamil"}, {0x4A, "Telugu"}, {0x4B, "Kannada"}, {0x4C, "Malayalam"},
    {0x4D, "Assamese"}, {0x4E, "Marathi"}, {0x4F, "Sanskrit"}, {0x50, "Mongolian"}, {0x51, "Tibetan"},
    {0x52, "Welsh"}, {0x53, "Khmer"}, {0x54, "Lao"}, {0x56, "Galician"}, {0x57, "Konkani"},
    {0x5A, "Syriac"}, {0x5B, "Sinhala"}, {0x5D, "Inuktitut"}, {0x5E, "Amharic"}, {0x5F, "Tamazight"},
    {0x61, "Nepali"}, {0x62, "Frisian"}, {0x63, "Pashto"}, {0x64, "Filipino"}, {0x65, "Divehi"},
    {0x68, "Hausa"}, {0x6A, "Yoruba"}, {0x6B, "Quechua"}, {0x6C, "Sesotho sa Leboa"}, {0x6D, "Bashkir"},
    {0x6E, "Luxembourgish"}, {0x6F, "Greenlandic"}, {0x70, "Igbo"}, {0x78, "Yi"}, {0x7A, "Mapudungun"},
    {0x7C, "Mohawk"}, {0x7E, "Breton"}, {0x80, "Uyghur"}, {0x81, "Maori"}, {0x82, "Occitan"},
    {0x83, "Corsican"}, {0x84, "Alsatian"}, {0x85, "Sakha"}, {0x86, "K'iche'"}, {0x87, "Kinyarwanda"},
    {0x88, "Wolof"}, {0x8C, "Dari"}, {0x92, "Central Kurdish"},
};

}  // namespace

const char* LanguageName(std::uint16_t languageId) {
    const std::uint16_t primary = languageId & 0x3FF;
    if (primary == 0x04 || primary == 0x16 || primary == 0x1A) {
        for (const LanguageEntry& e : kFullLanguages) {
            if (e.id == languageId) return e.name;
        }
        return nullptr;
    }
    for (const LanguageEntry& e : kPrimaryLanguages) {
        if (e.id == primary) return e.name;
    }
    return nullptr;
}

std::string VersionDocText(const std::string& bytes) {
    constexpr int kMaxLines = 10;
    constexpr std::size_t kMaxLineChars = 259;
    std::string out;
    std::size_t pos = 0;
    for (int line = 0; line < kMaxLines && pos < bytes.size(); ++line) {
        // A line is read as fgets would: up to the newline (kept) or 259 characters.
        std::size_t end = pos;
        while (end < bytes.size() && end - pos < kMaxLineChars && bytes[end] != '\n' && bytes[end] != '\0') ++end;
        std::string piece = bytes.substr(pos, end - pos);
        if (end < bytes.size() && bytes[end] == '\n' && end - pos < kMaxLineChars) {
            ++end;
            if (!piece.empty() && piece.back() == '\r') piece.pop_back();
            piece.push_back(' ');
        } else if (end < bytes.size() && bytes[end] == '\0') {
            out += piece;
            break;
        }
        out += piece;
        pos = end;
    }
    return out;
}

std::u16string DeviceOwnName(const std::vector<std::uint8_t>& names, const std::u16string& selector,
                             const AnsiDecoder& ansi) {
    // Preferred tag first: the language's own entries before the English ones.
    std::uint8_t tags[2] = {1, 4};
    if (selector == u"3") {
        tags[0] = 3;
        tags[1] = 1;
    } else if (selector == u"2") {
        tags[0] = 5;
        tags[1] = 2;
    }
    for (std::uint8_t wanted : tags) {
        std::size_t pos = 0;
        while (pos + 2 <= names.size()) {
            const std::uint8_t tag = names[pos];
            const std::size_t length = names[pos + 1];
            if (pos + 2 + length > names.size()) break;  // a cut entry ends the list
            const std::uint8_t* text = names.data() + pos + 2;
            if (tag == wanted && length > 0) {
                if (tag >= 4) {
                    std::u16string wide;
                    for (std::size_t i = 0; i + 1 < length; i += 2) {
                        const char16_t unit = static_cast<char16_t>(text[i] | (text[i + 1] << 8));
                        if (unit == 0) break;
                        wide.push_back(unit);
                    }
                    if (!wide.empty()) return wide;
                } else {
                    std::string narrow(reinterpret_cast<const char*>(text), length);
                    narrow = narrow.substr(0, std::strlen(narrow.c_str()));
                    if (!narrow.empty()) return ansi(narrow);
                }
            }
            pos += 2 + length;
        }
    }
    return u"";
}

}  // namespace setup_tab
