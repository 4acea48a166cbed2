#include "tabs/programs/programs_table.h"

#include <string>

#include "common/reg.h"
#include "common/text.h"
#include "platform/owner.h"
#include "platform/platform.h"

namespace pf = quarro::platform;
using quarro::text::Text260;

namespace programs_tab {

const tabframe::ListColumnSpec kPrograms1Columns[kColumnCount] = {
    {kNameStringId, 244, "%-92s ", 260},
    {kVersionStringId, 86, "%-16s\r\n", 50},
};
const tabframe::ListColumnSpec kPrograms2Columns[kColumnCount] = {
    {kNameStringId, 234, "%-92s ", 260},
    {kVersionStringId, 96, "%-16s\r\n", 50},
};

namespace {

constexpr char16_t kUninstallKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char16_t kMakerKey[] = u"Software\\Mirelta";
constexpr char16_t kPartnerKey[] = u"Software\\Sorvane";
constexpr std::uint32_t kValueBufferBytes = 520;

// A string value (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) through CReg into a 260-unit buffer.
bool ReadText(const char16_t* subkey, const char16_t* name, std::uint32_t view, Text260* out) {
    Text260 buffer;
    static_assert(sizeof(buffer.units) == kValueBufferBytes, "value buffers are 520 bytes");
    std::uint32_t bytes = kValueBufferBytes;
    const bool ok = CReg().ReadString(pf::kHkeyLocalMachine, subkey, name, buffer.units, &bytes, view) != 0;
    buffer.units[Text260::capacity() - 1] = 0;  // a stored string need not be terminated
    if (!ok) buffer.clear();
    *out = buffer;
    return ok;
}

bool Contains(const Text260& text, std::u16string_view part) { return text.view().find(part) != std::u16string_view::npos; }

// Calls `each` with the names of the subkeys of an open key, in enumeration order, until it
// returns false or the names run out. A name too long for 259 characters is passed over; any
// other failure ends the walk (so a key deleted meanwhile cannot keep it going forever).
template <typename Each>
void ForEachSubkey(pf::RegKey key, Each each) {
    for (std::uint32_t index = 0;; ++index) {
        char16_t name[260] = {};
        std::uint32_t chars = 260;
        const long result = pf::Registry().EnumKey(key, index, name, &chars);
        if (result == pf::kErrorMoreData) continue;
        if (result != pf::kErrorSuccess) return;
        name[259] = 0;
        if (!each(name)) return;
    }
}

// The name of the first subkey of the subkey named exactly `displayName` (case-sensitive) under
// HKLM `root` in `view`.
bool VersionSubkey(const char16_t* root, const Text260& displayName, std::uint32_t view, Text260* version) {
    pf::IRegistry& registry = pf::Registry();
    pf::OwnedRegKey key(registry);
    if (registry.OpenKey(pf::kHkeyLocalMachine, root, pf::kKeyQueryValue | pf::kKeyEnumerateSubKeys | view, key.Put()) !=
        pf::kErrorSuccess) {
        return false;
    }
    bool found = false;
    ForEachSubkey(key.Get(), [&](const char16_t* name) {
        if (displayName.view() != std::u16string_view(name)) return true;
        pf::OwnedRegKey program(registry);
        if (registry.OpenKey(key.Get(), name, pf::kKeyQueryValue | pf::kKeyEnumerateSubKeys | view, program.Put()) ==
            pf::kErrorSuccess) {
            char16_t first[260] = {};
            std::uint32_t chars = 260;
            if (registry.EnumKey(program.Get(), 0, first, &chars) == pf::kErrorSuccess) {
                first[259] = 0;
                version->assign(first);
                found = true;
            }
        }
        return false;  // only the first subkey of that name counts
    });
    return found && !version->empty();
}

// The maker's version of a program, empty when the maker's keys do not give one.
Text260 MakerVersion(const Text260& displayName, const char16_t* uninstallPath, std::uint32_t view, bool amd64) {
    Text260 version;
    // A value named like the program under the maker's key, 64-bit view first on AMD64; this
    // does not depend on the pass.
    bool read = amd64 && ReadText(kMakerKey, displayName.c_str(), pf::kKeyWow64_64Key, &version);
    if (!read) read = ReadText(kMakerKey, displayName.c_str(), 0, &version);
    if (read && !version.empty()) return version;
    version.clear();
    // A subkey named like the program whose first subkey is the version, only for programs that
    // can be uninstalled, in this pass's view.
    if (!CReg().ValueExists(pf::kHkeyLocalMachine, uninstallPath, u"UninstallString", view)) return version;
    if (VersionSubkey(kMakerKey, displayName, view, &version)) return version;
    if (VersionSubkey(kPartnerKey, displayName, view, &version)) return version;
    version.clear();
    return version;
}

void AddProgram(tabframe::ListTable& table, Programs which, const char16_t* subkey, std::uint32_t view, bool amd64) {
    if (ScansAsBracedGuid(subkey, u"InstallShield_")) return;
    const std::u16string path = std::u16string(kUninstallKey) + u"\\" + subkey;
    Text260 displayName;
    bool microsoft = false;
    Text260 publisher;
    if (ReadText(path.c_str(), u"Publisher", view, &publisher)) {
        microsoft = Contains(publisher, u"Microsoft");
    } else {
        if (!ReadText(path.c_str(), u"DisplayName", view, &displayName)) return;
        microsoft = Contains(displayName, u"Microsoft") || Contains(displayName, u"MSDN") ||
                    Contains(displayName, u"Windows");
    }
    if (microsoft != (which == Programs::kMicrosoft)) return;
    if (!ReadText(path.c_str(), u"DisplayName", view, &displayName)) return;

    Text260 version;
    if (which == Programs::kOthers) version = MakerVersion(displayName, path.c_str(), view, amd64);
    if (version.empty()) ReadText(path.c_str(), u"DisplayVersion", view, &version);

    const int row = table.AppendRow();
    table.SetField(row, kNameColumn, displayName.c_str());
    table.SetField(row, kVersionColumn, version.c_str());
}

void Pass(tabframe::ListTable& table, Programs which, std::uint32_t view, bool amd64) {
    pf::IRegistry& registry = pf::Registry();
    pf::OwnedRegKey key(registry);
    if (registry.OpenKey(pf::kHkeyLocalMachine, kUninstallKey, pf::kKeyQueryValue | pf::kKeyEnumerateSubKeys | view,
                         key.Put()) != pf::kErrorSuccess) {
        return;
    }
    if (table.Full()) return;
    ForEachSubkey(key.Get(), [&](const char16_t* subkey) {
        AddProgram(table, which, subkey, view, amd64);
        return !table.Full();
    });
}

bool IsHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// One "%04x" conversion at `pos`: true when it converts.
bool ScanHexGroup(std::u16string_view text, std::size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::size_t width = 4;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        ++pos;
        --width;
    }
    std::size_t digits = 0;
    if (width >= 2 && pos + 1 < text.size() && text[pos] == u'0' && (text[pos + 1] == u'x' || text[pos + 1] == u'X')) {
        pos += 2;
        width -= 2;
        digits = 1;  // the "0" of the prefix already makes a number
    }
    while (width > 0 && pos < text.size() && IsHexDigit(text[pos])) {
        ++pos;
        --width;
        ++digits;
    }
    return digits > 0;
}

}  // namespace

bool ScansAsBracedGuid(std::u16string_view text, std::u16string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    std::size_t pos = prefix.size();
    // The literal that comes before each of the eight groups (0: none).
    constexpr char16_t kBefore[8] = {u'{', 0, u'-', u'-', u'-', u'-', 0, 0};
    for (char16_t literal : kBefore) {
        if (literal != 0) {
            if (pos >= text.size() || text[pos] != literal) return false;
            ++pos;
        }
        if (!ScanHexGroup(text, pos)) return false;
    }
    return true;
}

void FillProgramRows(tabframe::ListTable& table, Programs which, bool amd64) {
    if (amd64) Pass(table, which, pf::kKeyWow64_64Key, amd64);
    Pass(table, which, 0, amd64);
}

void FillUpdateRows(tabframe::ListTable& table, pf::IHotfixes& hotfixes, std::int16_t osType) {
    if (table.Full()) return;
    if (osType != 8 && osType != 11 && osType != 13 && osType != -1) return;
    hotfixes.Query([&table](const pf::HotfixObject& update) {
        if (table.Full()) return false;
        Text260 id;
        if (update.hotFixIdIsString && !ScansAsBracedGuid(update.hotFixId, u"")) id.assign(update.hotFixId);
        Text260 description;
        if (update.descriptionIsString) description.assign(update.description);
        if (!id.empty()) {
            const std::u16string name = std::u16string(id.view()) + u" " + std::u16string(description.view());
            const int row = table.AppendRow();
            table.SetField(row, kNameColumn, name.c_str());
            table.SetField(row, kVersionColumn, u"");
        }
        return true;
    });
}

}  // namespace programs_tab
