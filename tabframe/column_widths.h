// Column widths of a list page, kept per user under HKCU "Software\Mirelta\quarro\<module>" as
// REG_DWORD values "ColumnW00", "ColumnW01", ...
#pragma once

#include <vector>

#include "tabframe/list_table.h"

namespace tabframe {

// The widths to use: for the first ten columns the stored value when it reads as REG_DWORD (used
// as read, even 0), otherwise the column's default width.
std::vector<int> ReadColumnWidths(const char16_t* moduleName, const ListColumnSpec* columns, int columnCount);

// Stores the widths; nothing when a width is negative or when the module's key cannot be made.
void StoreColumnWidths(const char16_t* moduleName, const std::vector<int>& widths);

}  // namespace tabframe
