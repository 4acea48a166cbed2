// Column widths of the lists on a module's page, kept per user under HKCU
// "Software\Mirelta\quarro\<module>" as REG_DWORD values "ColumnW00", "ColumnW01", ... A page
// with several lists numbers their columns on: the second list's first column takes the number
// after the first list's last.
#pragma once

#include <string>
#include <vector>

namespace tabframe {

// The value name of column number `index`: "ColumnW%02d".
std::u16string ColumnWidthValueName(int index);

// The widths of a list whose columns are numbered from `firstIndex`: a column numbered below 10
// takes its stored value when that reads as REG_DWORD (used as read, even 0), every other column
// its default width.
std::vector<int> ReadColumnWidths(const char16_t* moduleName, const std::vector<int>& defaults, int firstIndex = 0);

struct ColumnWidth {
    int index;  // column number, the "%02d" of the value name
    int width;  // pixels
};

// Stores the widths. Nothing when there are none, when a width is negative, or when the module's
// key cannot be made; the keys above it are made when HKCU "Software\Mirelta\Quarro" is missing.
void StoreColumnWidths(const char16_t* moduleName, const std::vector<ColumnWidth>& widths);

}  // namespace tabframe
