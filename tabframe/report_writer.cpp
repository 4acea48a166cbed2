#include "tabframe/report_writer.h"

#include <cstdarg>
#include <cstring>

#include "common/format.h"
#include "common/text.h"
#include "tabframe/tab_contract.h"

namespace tabframe {

std::string Piece(const char* format, ...) {
    char piece[kPieceSize];
    std::va_list args;
    va_start(args, format);
    const int length = quarro::text::FormatBoundedV(piece, sizeof(piece), format, args);
    va_end(args);
    return std::string(piece, static_cast<std::size_t>(length));
}

ReportWriter::ReportWriter(char* buffer, std::size_t size, int chunk, int separator)
    : buffer_(buffer),
      size_(size),
      start_(quarro::text::LengthBounded(buffer, size)),
      used_(start_),
      chunk_(chunk),
      separator_(static_cast<char>(separator & 0xFF)) {}

void ReportWriter::Append(std::string_view text) {
    if (used_ + 1 >= size_) return;
    const std::size_t room = size_ - 1 - used_;
    const std::size_t n = text.size() < room ? text.size() : room;
    std::memcpy(buffer_ + used_, text.data(), n);
    used_ += n;
    buffer_[used_] = 0;
}

bool ReportWriter::AppendLine(std::string_view line) {
    if (!Fits(line.size()) && used_ != 0) return false;
    Append(line);
    return true;
}

void ReportWriter::Close() {
    if (used_ < size_) buffer_[used_] = 0;
    if (used_ + 1 < size_) buffer_[used_ + 1] = 0;
}

void ReportWriter::Discard() {
    used_ = start_;
    if (used_ < size_) buffer_[used_] = 0;
}

std::string ReportWriter::Field(const char* fixedFormat, const std::string& text, bool last) const {
    if (Fixed()) return Piece(fixedFormat, text.c_str());
    return last ? Piece("%s\r\n", text.c_str()) : Piece("%s%c", text.c_str(), separator_);
}

std::string ReportWriter::RuleLine() { return std::string(kRuleLength, '-') + "\r\n"; }

std::string ReportWriter::HeadBlock(const std::string& head, const std::string& columnLine) {
    return Piece("%-s\r\n", head.c_str()) + RuleLine() + columnLine + RuleLine();
}

int RunReportCall(int chunk, char* buffer, int size, int separator, bool hasData, ReportResume& resume,
                  const ReportBody& body) {
    if (!buffer) return kTextNoBuffer;
    if (size == 0) return kTextNoSize;
    if (!hasData) return kTextNoTable;
    if (size < 0) return kTextNoSize;
    const auto capacity = static_cast<std::size_t>(size);
    if (quarro::text::LengthBounded(buffer, capacity) >= capacity) return kTextNoSize;

    if (chunk == 0) resume = ReportResume{};
    ReportWriter writer(buffer, capacity, chunk, separator);
    ReportStatus status = ReportStatus::kComplete;
    try {
        status = body(writer, resume);
    } catch (...) {
        writer.Discard();
        resume = ReportResume{};
        throw;
    }
    writer.Close();
    if (status == ReportStatus::kMore) return chunk + 1;
    resume = ReportResume{};
    return 0;
}

}  // namespace tabframe
