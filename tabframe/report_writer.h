// The chunked report writer every tab module's GetStringData builds on.
//
// The viewer hands a zero-filled buffer of `size` bytes and calls GetStringData with chunk 0, 1,
// 2, ... until the result is 0 (complete) or negative. A module appends its 8-bit ANSI text with
// bounded appends that never write past the buffer and keep the text terminated inside it. A line
// is appended only while the bytes already in the buffer plus the line plus 20 stay below the
// size; when one does not fit, the call remembers where to go on (ReportResume) and returns
// chunk + 1, and the next call continues there. A part that must begin in a call of its own ends
// the call when anything has been written by it already.
//
// The two layouts: separator 0 is the fixed-width layout (each field formatted with its own
// printf format, padded by bytes of the ANSI text); any other value (only its low 8 bits count)
// is the separated layout, each field followed by the separator and the last one by CR LF.
// Every piece is formatted into a 280-byte buffer first, so one piece is cut at 279 bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tabframe {

// The rule above and below a section's column line: 119 dashes.
inline constexpr std::size_t kRuleLength = 119;
// A piece of text is formatted into a buffer of this size (so it keeps at most 279 bytes).
inline constexpr std::size_t kPieceSize = 280;
// Room a line must leave free in the buffer to be appended.
inline constexpr std::size_t kFitMargin = 20;

// printf (common/format.h) into a 280-byte piece: cut at 279 bytes.
std::string Piece(const char* format, ...);

// Where the text of a sequence goes on in its next call: a part of the module's text and an entry
// in it. Both 0 when no text is pending; chunk 0 always starts afresh.
struct ReportResume {
    int stage = 0;
    int index = 0;
};

enum class ReportStatus {
    kComplete,  // the text is complete: GetStringData returns 0
    kMore,      // the buffer is full: GetStringData returns chunk + 1 and goes on next call
};

// One call's view of the viewer's buffer.
class ReportWriter {
public:
    // Appends to the zero-terminated text already in `buffer` (`size` bytes; the caller checks
    // that it is terminated inside the buffer).
    ReportWriter(char* buffer, std::size_t size, int chunk, int separator);

    int Chunk() const { return chunk_; }
    // 0 for the fixed-width layout, else the separator character.
    char Separator() const { return separator_; }
    bool Fixed() const { return separator_ == 0; }
    // Bytes of text in the buffer, including what was there before this call.
    std::size_t Used() const { return used_; }
    // Whether this call has written anything yet.
    bool WroteAnything() const { return used_ != start_; }

    // Bounded append: as much of `text` as fits before the buffer's last byte.
    void Append(std::string_view text);
    // Whether a line of `length` bytes may still be appended: used + length + 20 < size.
    bool Fits(std::size_t length) const { return used_ + length + kFitMargin < size_; }
    // Appends `line` when it fits and returns true. False when it does not: nothing is appended,
    // and the caller ends the call and resumes at this line. A line that does not fit even into
    // an empty buffer is appended cut instead, so that a sequence always ends.
    bool AppendLine(std::string_view line);
    // Ends a call at the start of a part that must begin in a call of its own: true (and nothing
    // written) when this call has written text already.
    bool PartNeedsFreshCall() const { return WroteAnything(); }
    // Ends the text with a zero 16-bit word right after the last character, inside the buffer.
    void Close();
    // Takes back everything this call appended.
    void Discard();

    // One field of a line: fixed layout `fixedFormat` of `text`; separated layout "%s%c" of the
    // text and the separator, or "%s\r\n" for the last field of the line.
    std::string Field(const char* fixedFormat, const std::string& text, bool last) const;
    // The rule line: 119 dashes and CR LF.
    static std::string RuleLine();
    // A section's head block: "%-s\r\n" of the head, the rule, the column line, the rule.
    static std::string HeadBlock(const std::string& head, const std::string& columnLine);

private:
    char* buffer_;
    std::size_t size_;
    std::size_t start_;
    std::size_t used_;
    int chunk_;
    char separator_;
};

using ReportBody = std::function<ReportStatus(ReportWriter& writer, ReportResume& resume)>;

// One GetStringData call: -2 for a null buffer, -3 for a size of 0, -4 when there is no data to
// write, -3 for a negative size or a buffer with no terminator inside; otherwise runs `body` on the buffer,
// starting afresh at chunk 0, and returns chunk + 1 when it asks for another call, else 0 (the
// resumption cleared). When `body` throws, what it appended is taken back, the resumption
// cleared, and the exception goes on to the caller.
int RunReportCall(int chunk, char* buffer, int size, int separator, bool hasData, ReportResume& resume,
                  const ReportBody& body);

}  // namespace tabframe
