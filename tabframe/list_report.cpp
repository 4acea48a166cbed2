#include "tabframe/list_report.h"

#include <cstring>

#include "common/ansi.h"
#include "common/format.h"
#include "common/text.h"
#include "tabframe/tab_contract.h"

namespace tabframe {

namespace {

using quarro::text::FormatBounded;

// Every piece of the text is formatted into its own buffer of this size first, so a piece is cut
// at 279 bytes.
constexpr std::size_t kPieceSize = 280;

const char* const kRule =
    "-----------------------------------------------------------------------------------------------------------------------";
static_assert(sizeof("-----------------------------------------------------------------------------------------------------------------------") == 120,
              "the rule is 119 dashes");

std::string Piece(const char* format, const char* text) {
    char piece[kPieceSize];
    const int length = FormatBounded(piece, sizeof(piece), format, text);
    return std::string(piece, static_cast<std::size_t>(length));
}

std::string Piece(const char* format, const char* text, char sep) {
    char piece[kPieceSize];
    const int length = FormatBounded(piece, sizeof(piece), format, text, sep);
    return std::string(piece, static_cast<std::size_t>(length));
}

std::string RowNumber(int number, char sep) {
    char piece[kPieceSize];
    const int length = sep ? FormatBounded(piece, sizeof(piece), "%3d :%c", number, sep)
                           : FormatBounded(piece, sizeof(piece), "%3d : ", number);
    return std::string(piece, static_cast<std::size_t>(length));
}

// Bounded concatenation: never writes beyond `size` bytes and keeps the text terminated.
// Returns the new length.
std::size_t Append(char* buffer, std::size_t size, std::size_t used, const std::string& text) {
    if (used + 1 >= size) return used;
    std::size_t room = size - 1 - used;
    const std::size_t n = text.size() < room ? text.size() : room;
    std::memcpy(buffer + used, text.data(), n);
    buffer[used + n] = 0;
    return used + n;
}

std::string Heading(const ListReportSource& source, char sep) {
    const ListTable& table = *source.table;
    const int columns = table.ColumnCount();
    std::string heading = Piece("%-s\r\n", source.sectionHead.c_str());
    heading += Piece("%s\r\n", kRule);
    heading += sep ? Piece("%s%c", "    :", sep) : Piece("%s", "    : ");
    for (int c = 0; c < columns; ++c) {
        const std::string title = quarro::text::ToAnsi(table.Title(c));
        if (sep) {
            heading += c + 1 < columns ? Piece("%s%c", title.c_str(), sep) : Piece("%s\r\n", title.c_str());
        } else {
            heading += Piece(source.columns[c].fixedFormat, title.c_str());
        }
    }
    heading += Piece("%s\r\n", kRule);
    return heading;
}

std::string Row(const ListReportSource& source, int k, char sep) {
    const ListTable& table = *source.table;
    const int columns = table.ColumnCount();
    std::string row = RowNumber(k + 1, sep);
    for (int c = 0; c < columns; ++c) {
        const std::string field = quarro::text::ToAnsi(table.Field(k, c));
        if (sep) {
            row += c + 1 < columns ? Piece("%s%c", field.c_str(), sep) : Piece("%s\r\n", field.c_str());
        } else {
            row += Piece(source.columns[c].fixedFormat, field.c_str());
        }
    }
    return row;
}

}  // namespace

int ListGetStringData(const ListReportSource& source, int& resumeIndex, int chunk, char* buffer, int size,
                      int separator) {
    if (!buffer) return kTextNoBuffer;
    if (size == 0) return kTextNoSize;
    if (!source.table) return kTextNoTable;
    if (size < 0) return kTextNoSize;
    const auto capacity = static_cast<std::size_t>(size);
    const char sep = static_cast<char>(separator & 0xFF);

    // The caller hands a zeroed buffer; append to whatever text it already holds.
    std::size_t used = quarro::text::LengthBounded(buffer, capacity);
    if (used >= capacity) return kTextNoSize;

    if (chunk == 0) {
        resumeIndex = 0;
        used = Append(buffer, capacity, used, Heading(source, sep));
    }

    const ListTable& table = *source.table;
    int k = resumeIndex < 0 ? 0 : resumeIndex;
    bool wroteRow = false;
    while (k < table.RowCount() && k + 1 <= ListTable::kCapacity) {
        const std::string row = Row(source, k, sep);
        if (used + row.size() + 20 >= capacity) {
            // A row that cannot fit even into an empty chunk is cut rather than asked for again
            // and again: the sequence must end.
            const bool freshChunk = chunk > 0 && !wroteRow && used == 0;
            if (!freshChunk) {
                resumeIndex = k;
                return chunk + 1;
            }
        }
        used = Append(buffer, capacity, used, row);
        wroteRow = true;
        ++k;
    }
    Append(buffer, capacity, used, "\r\n\r\n");
    resumeIndex = 0;
    return 0;
}

}  // namespace tabframe
