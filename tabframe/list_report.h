// The report text of a list module: a heading in the first chunk (the section head, the rule, the
// column titles, the rule), then the rows numbered from 1, at most 500 of them, in the
// fixed-width or the separated layout, in chunks that fit the caller's buffer; then an empty line
// and CR LF.
#pragma once

#include <string>

#include "tabframe/list_table.h"
#include "tabframe/report_writer.h"

namespace tabframe {

// Rows numbered beyond this are never written, whatever the table holds.
inline constexpr int kListReportRows = 500;

struct ListReportSource {
    const ListTable* table;         // null: no table (result kTextNoTable)
    const ListColumnSpec* columns;  // the module's columns, ColumnCount() of them
    std::string sectionHead;        // string 5 of the module, 8-bit
};

// This call's part of the text (source.table must exist); the row to go on with is
// `resume.index`.
ReportStatus WriteListReport(const ListReportSource& source, ReportWriter& writer, ReportResume& resume);

// A whole GetStringData call of the list report (RunReportCall over WriteListReport).
int ListGetStringData(const ListReportSource& source, ReportResume& resume, int chunk, char* buffer, int size,
                      int separator);

}  // namespace tabframe
