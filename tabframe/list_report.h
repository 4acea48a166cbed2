// The report text of a list module (GetStringData of Facet01, Facet02, Facet03): a heading in the
// first chunk, then numbered rows, in the fixed-width or the separated layout, delivered in chunks
// that fit the caller's buffer.
#pragma once

#include <string>

#include "tabframe/list_table.h"

namespace tabframe {

struct ListReportSource {
    const ListTable* table;        // null: no table (result kTextNoTable)
    const ListColumnSpec* columns;  // the module's columns, ColumnCount() of them
    std::string sectionHead;       // string 5 of the module, 8-bit
};

// Appends chunk `chunk` of the text to the zero-terminated text in `buffer` (`size` bytes).
// `resumeIndex` carries the next row between the calls of one sequence. Returns 0 when the text
// is complete, chunk + 1 when the buffer is full and more follows, -2/-3/-4 for a null buffer,
// a zero size, no table.
int ListGetStringData(const ListReportSource& source, int& resumeIndex, int chunk, char* buffer, int size,
                      int separator);

}  // namespace tabframe
