#include "tabframe/column_widths.h"

#include "common/format.h"
#include "common/reg.h"
#include "common/text.h"
#include "platform/registry.h"

namespace tabframe {

namespace {

// Only the first ten column numbers are ever read back.
constexpr int kStoredColumns = 10;

std::u16string ModuleKey(const char16_t* moduleName) {
    return std::u16string(u"Software\\Mirelta\\quarro\\") + (moduleName ? moduleName : u"");
}

}  // namespace

std::u16string ColumnWidthValueName(int index) {
    return quarro::text::FromUtf8(quarro::text::Format("ColumnW%02d", index));
}

std::vector<int> ReadColumnWidths(const char16_t* moduleName, const std::vector<int>& defaults, int firstIndex) {
    std::vector<int> widths;
    const std::u16string key = ModuleKey(moduleName);
    for (std::size_t c = 0; c < defaults.size(); ++c) {
        const int index = firstIndex + static_cast<int>(c);
        int width = defaults[c];
        std::uint32_t stored = 0;
        if (index >= 0 && index < kStoredColumns &&
            CReg().ReadDword(quarro::platform::kHkeyCurrentUser, key.c_str(), ColumnWidthValueName(index).c_str(),
                             &stored, 0)) {
            width = static_cast<int>(stored);
        }
        widths.push_back(width);
    }
    return widths;
}

void StoreColumnWidths(const char16_t* moduleName, const std::vector<ColumnWidth>& widths) {
    if (widths.empty()) return;
    for (const ColumnWidth& column : widths) {
        if (column.width < 0 || column.index < 0) return;
    }
    const auto hkcu = quarro::platform::kHkeyCurrentUser;
    const std::u16string key = ModuleKey(moduleName);
    CReg reg;
    if (!reg.KeyExists(hkcu, u"Software\\Mirelta\\Quarro", 0)) {
        reg.CreateKey(hkcu, u"Software\\Mirelta", 0);
        reg.CreateKey(hkcu, u"Software\\Mirelta\\Quarro", 0);
        if (!reg.CreateKey(hkcu, key.c_str(), 0)) return;
    }
    for (const ColumnWidth& column : widths) {
        reg.WriteDword(hkcu, key.c_str(), ColumnWidthValueName(column.index).c_str(),
                       static_cast<std::uint32_t>(column.width), 0);
    }
}

}  // namespace tabframe
