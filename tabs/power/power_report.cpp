#include "tabs/power/power_report.h"

#include "common/ansi.h"
#include "tabs/power/power_rows.h"

namespace power_tab {

using tabframe::ReportWriter;

tabframe::ReportStatus WritePowerReport(const tabframe::ListTable& table, const std::string& sectionHead,
                                        ReportWriter& writer, tabframe::ReportResume& resume) {
    if (writer.Chunk() == 0) {
        const std::string item = quarro::text::ToAnsi(table.Title(kItemColumn));
        const std::string settings = quarro::text::ToAnsi(table.Title(kSettingsColumn));
        writer.Append(ReportWriter::HeadBlock(sectionHead, writer.Field("%-34s ", item, false) +
                                                                writer.Field("%-84s\r\n", settings, true)));
    }
    for (int k = resume.index < 0 ? 0 : resume.index; k < table.RowCount(); ++k) {
        const std::string line =
            writer.Field("%-34s ", quarro::text::ToAnsi(table.Field(k, kItemColumn)), false) +
            writer.Field("%s\r\n", quarro::text::ToAnsi(table.Field(k, kSettingsColumn)), true);
        if (!writer.AppendLine(line)) {
            resume.index = k;
            return tabframe::ReportStatus::kMore;
        }
    }
    writer.Append("\r\n\r\n");
    return tabframe::ReportStatus::kComplete;
}

}  // namespace power_tab
