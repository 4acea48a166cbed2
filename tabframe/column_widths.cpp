#include "tabframe/column_widths.h"

#include <string>

#include "common/format.h"
#include "common/reg.h"
#include "common/text.h"
#include "platform/registry.h"

namespace tabframe {

namespace {

std::u16string ModuleKey(const char16_t* moduleName) {
    return std::u16string(u"Software\\Mirelta\\quarro\\") + (moduleName ? moduleName : u"");
}

std::u16string ValueName(int column) {
    return quarro::text::FromUtf8(quarro::text::Format("ColumnW%02d", column));
}

}  // namespace

std::vector<int> ReadColumnWidths(const char16_t* moduleName, const ListColumnSpec* columns, int columnCount) {
    std::vector<int> widths;
    const std::u16string key = ModuleKey(moduleName);
    for (int c = 0; c < columnCount; ++c) {
        int width = columns[c].defaultWidth;
        std::uint32_t stored = 0;
        if (c < 10 && CReg().ReadDword(quarro::platform::kHkeyCurrentUser, key.c_str(), ValueName(c).c_str(), &stored, 0)) {
            width = static_cast<int>(stored);
        }
        widths.push_back(width);
    }
    return widths;
}

void StoreColumnWidths(const char16_t* moduleName, const std::vector<int>& widths) {
    for (int width : widths) {
        if (width < 0) return;
    }
    const auto hkcu = quarro::platform::kHkeyCurrentUser;
    const std::u16string key = ModuleKey(moduleName);
    CReg reg;
    if (!reg.KeyExists(hkcu, u"Software\\Mirelta\\Quarro", 0)) {
        reg.CreateKey(hkcu, u"Software\\Mirelta", 0);
        reg.CreateKey(hkcu, u"Software\\Mirelta\\Quarro", 0);
        if (!reg.CreateKey(hkcu, key.c_str(), 0)) return;
    }
    for (std::size_t c = 0; c < widths.size(); ++c) {
        reg.WriteDword(hkcu, key.c_str(), ValueName(static_cast<int>(c)).c_str(), static_cast<std::uint32_t>(widths[c]), 0);
    }
}

}  // namespace tabframe
