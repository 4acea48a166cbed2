#include "tabframe/list_report.h"

#include "common/ansi.h"

namespace tabframe {

namespace {

// The fields of a line, each in its column's layout.
template <typename TextOf>
std::string Fields(const ListReportSource& source, const ReportWriter& writer, TextOf textOf) {
    const int columns = source.table->ColumnCount();
    std::string line;
    for (int c = 0; c < columns; ++c) {
        line += writer.Field(source.columns[c].fixedFormat, quarro::text::ToAnsi(textOf(c)), c + 1 == columns);
    }
    return line;
}

std::string Heading(const ListReportSource& source, const ReportWriter& writer) {
    const ListTable& table = *source.table;
    const std::string lead = writer.Fixed() ? Piece("%s", "    : ") : Piece("%s%c", "    :", writer.Separator());
    return ReportWriter::HeadBlock(source.sectionHead,
                                   lead + Fields(source, writer, [&](int c) { return table.Title(c); }));
}

std::string Row(const ListReportSource& source, const ReportWriter& writer, int k) {
    const ListTable& table = *source.table;
    const std::string number =
        writer.Fixed() ? Piece("%3d : ", k + 1) : Piece("%3d :%c", k + 1, writer.Separator());
    return number + Fields(source, writer, [&](int c) { return table.Field(k, c); });
}

}  // namespace

ReportStatus WriteListReport(const ListReportSource& source, ReportWriter& writer, ReportResume& resume) {
    if (writer.Chunk() == 0) writer.Append(Heading(source, writer));
    const ListTable& table = *source.table;
    for (int k = resume.index < 0 ? 0 : resume.index; k < table.RowCount() && k + 1 <= kListReportRows; ++k) {
        if (!writer.AppendLine(Row(source, writer, k))) {
            resume.index = k;
            return ReportStatus::kMore;
        }
    }
    writer.Append("\r\n\r\n");
    return ReportStatus::kComplete;
}

int ListGetStringData(const ListReportSource& source, ReportResume& resume, int chunk, char* buffer, int size,
                      int separator) {
    return RunReportCall(chunk, buffer, size, separator, source.table != nullptr, resume,
                         [&source](ReportWriter& writer, ReportResume& at) { return WriteListReport(source, writer, at); });
}

}  // namespace tabframe
