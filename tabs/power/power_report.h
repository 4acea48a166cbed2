// The report section of the "Power Options" tab: the head "[Power Options]", the rule, the two
// headings ("%-34s " and "%-84s\r\n" in the fixed layout), the rule, then one line per row
// without row numbers, the item padded to 34 and the setting as it is; an empty line and CR LF
// end it. Rows are written in chunks that fit the caller's buffer.
#pragma once

#include <string>

#include "tabframe/list_table.h"
#include "tabframe/report_writer.h"

namespace power_tab {

tabframe::ReportStatus WritePowerReport(const tabframe::ListTable& table, const std::string& sectionHead,
                                        tabframe::ReportWriter& writer, tabframe::ReportResume& resume);

}  // namespace power_tab
