// ListTable: a list module's one heap block of column titles and fixed-size rows, built once in
// InitTabDLL and freed in TermTabDLL. Rows are fixed-size wide-character fields whose sizes the
// module declares per column; the block holds up to 16 columns and, as a rule, 500 rows (a module
// may ask for another capacity, such as the 200 rows of the Setup tab).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tabframe {

// One column of a list module.
struct ListColumnSpec {
    std::uint32_t titleStringId;  // string-table id of the title
    int defaultWidth;             // list column width in pixels
    const char* fixedFormat;      // report format of the fixed layout, e.g. "%-24s "
    std::size_t fieldUnits;       // wide characters of the row field, terminator included
};

class ListTable {
public:
    static constexpr int kCapacity = 500;
    static constexpr int kMaxCapacity = 4096;
    static constexpr std::size_t kTitleUnits = 50;
    static constexpr int kMaxColumns = 16;
    static constexpr std::size_t kMaxFieldUnits = 4096;

    // Null when the block cannot be allocated or the columns or the capacity are not sane
    // (1 to 16 columns of 1 to 4096 units, 1 to 4096 rows).
    static std::unique_ptr<ListTable> Create(const ListColumnSpec* columns, int columnCount,
                                             int capacity = kCapacity);
    ~ListTable();
    ListTable(const ListTable&) = delete;
    ListTable& operator=(const ListTable&) = delete;

    int ColumnCount() const { return columnCount_; }
    int Capacity() const { return capacity_; }
    int RowCount() const { return rowCount_; }
    bool Full() const { return rowCount_ >= capacity_; }

    const char16_t* Title(int column) const;
    // Bounded copy: a title keeps at most 49 characters.
    void SetTitle(int column, const char16_t* title);

    // Appends an empty row; its index, or -1 when the table is full.
    int AppendRow();
    // Bounded copy into a field: it keeps at most fieldUnits - 1 characters.
    void SetField(int row, int column, const char16_t* text);
    const char16_t* Field(int row, int column) const;
    std::size_t FieldUnits(int column) const;

private:
    ListTable() = default;

    int columnCount_ = 0;
    int capacity_ = 0;
    int rowCount_ = 0;
    std::size_t rowUnits_ = 0;
    std::size_t fieldOffset_[kMaxColumns] = {};
    std::size_t fieldUnits_[kMaxColumns] = {};
    char16_t (*titles_)[kTitleUnits] = nullptr;
    char16_t* rows_ = nullptr;  // capacity_ * rowUnits_ units, zero-filled
};

}  // namespace tabframe
