#include "tabframe/list_table.h"

#include <new>

#include "common/text.h"

namespace tabframe {

std::unique_ptr<ListTable> ListTable::Create(const ListColumnSpec* columns, int columnCount, int capacity) {
    if (!columns || columnCount <= 0 || columnCount > kMaxColumns) return nullptr;
    if (capacity <= 0 || capacity > kMaxCapacity) return nullptr;
    std::unique_ptr<ListTable> table(new (std::nothrow) ListTable());
    if (!table) return nullptr;
    table->columnCount_ = columnCount;
    table->capacity_ = capacity;
    for (int c = 0; c < columnCount; ++c) {
        if (columns[c].fieldUnits == 0 || columns[c].fieldUnits > kMaxFieldUnits) return nullptr;
        table->fieldOffset_[c] = table->rowUnits_;
        table->fieldUnits_[c] = columns[c].fieldUnits;
        table->rowUnits_ += columns[c].fieldUnits;
    }
    table->titles_ = new (std::nothrow) char16_t[columnCount][kTitleUnits]();
    table->rows_ = new (std::nothrow) char16_t[static_cast<std::size_t>(capacity) * table->rowUnits_]();
    if (!table->titles_ || !table->rows_) return nullptr;
    return table;
}

ListTable::~ListTable() {
    delete[] titles_;
    delete[] rows_;
}

const char16_t* ListTable::Title(int column) const {
    if (column < 0 || column >= columnCount_) return u"";
    return titles_[column];
}

void ListTable::SetTitle(int column, const char16_t* title) {
    if (column < 0 || column >= columnCount_) return;
    quarro::text::CopyBounded(titles_[column], kTitleUnits, title);
}

int ListTable::AppendRow() {
    if (Full()) return -1;
    return rowCount_++;
}

void ListTable::SetField(int row, int column, const char16_t* text) {
    if (row < 0 || row >= rowCount_ || column < 0 || column >= columnCount_) return;
    quarro::text::CopyBounded(rows_ + row * rowUnits_ + fieldOffset_[column], fieldUnits_[column], text);
}

const char16_t* ListTable::Field(int row, int column) const {
    if (row < 0 || row >= rowCount_ || column < 0 || column >= columnCount_) return u"";
    return rows_ + row * rowUnits_ + fieldOffset_[column];
}

std::size_t ListTable::FieldUnits(int column) const {
    if (column < 0 || column >= columnCount_) return 0;
    return fieldUnits_[column];
}

}  // namespace tabframe
