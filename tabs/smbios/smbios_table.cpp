#include "tabs/smbios/smbios_table.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/little_endian.h"
#include "common/ansi.h"
#include "common/module_strings.h"

namespace smbios {

namespace {

// Longest ANSI input converted for one value: 259 characters of a double-byte code page.
constexpr std::size_t kMaxAnsiBytes = 2 * (kTextUnits - 1);
constexpr std::uint32_t kMaxStructures = 0xFFFF;
constexpr std::uint8_t kHeaderLength = 4;  // type, length, handle

}  // namespace

std::u16string ModuleString(std::uint32_t id) { return quarro::resources::LoadModuleString(id); }

std::uint64_t StructureView::Field(std::uint32_t fieldOffset, std::uint32_t width) const {
    const std::uint64_t fieldEnd = static_cast<std::uint64_t>(fieldOffset) + width;
    if (fieldEnd > Length() || offset + fieldEnd > tableLength) return 0;
    const std::uint8_t* p = table + offset + fieldOffset;
    switch (width) {
        case 1: return p[0];
        case 2: return quarro::bytes::Load16(p);
        case 4: return quarro::bytes::Load32(p);
        case 8: return quarro::bytes::Load64(p);
        default: return 0;
    }
}

SmbiosTables::SmbiosTables(StringLoader strings) : strings_(strings ? strings : &ModuleString) {}

bool SmbiosTables::SetUp(IRawSmbiosSource& source) {
    if (!raw_ && !ReadRawSmbiosTable(source)) {
        length_ = 0;
        return false;
    }
    if (!IndexStructures() || !DecodeStructures()) {
        length_ = 0;
        return false;
    }
    // All six general entries are considered; the empty ones are skipped when shown.
    counters_[static_cast<int>(SmbiosGroup::kGeneral)] = kGeneralEntryCount;
    return true;
}

bool SmbiosTables::AllocateItemTable() {
    if (!items_) {
        items_.reset(new (std::nothrow) ItemTable());
        if (!items_) return false;
    } else {
        std::memset(items_.get(), 0, sizeof(ItemTable));
    }
    items_->columnCount = kColumnCount;
    items_->maxRows = kMaxRows;
    quarro::text::CopyBounded(items_->headings[0], kHeadingUnits, strings_(kItemHeadingId));
    quarro::text::CopyBounded(items_->headings[1], kHeadingUnits, strings_(kValueHeadingId));
    return true;
}

bool SmbiosTables::ReadRawSmbiosTable(IRawSmbiosSource& source) {
    RawSmbiosRecord record;
    if (!source.ReadRawTable(&record)) return false;
    if (!IsReadableVersion(record.majorVersion, record.minorVersion)) return false;
    if (record.size == 0 || !record.hasData) return false;
    // A "Size" larger than the array would have the copy read past the array's end.
    const std::uint32_t length =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(record.size, record.data.size()));
    // The block size must fit the address space (a 32-bit process).
    const std::uint64_t blockSize = std::uint64_t{length} + kSpareBytes;
    if (length == 0 || blockSize != static_cast<std::size_t>(blockSize)) return false;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(blockSize)]());
    if (!block) return false;
    std::memcpy(block.get(), record.data.data(), length);
    raw_ = std::move(block);
    length_ = length;
    offsets_.reset();
    structureCount_ = 0;
    return true;
}

// Steps over the structure that starts at *position (below length - 1): past its formatted
// area, then past the double zero that ends its strings. False when the table ends first.
bool SmbiosTables::Step(std::uint32_t* position) const {
    const std::uint64_t last = std::uint64_t{length_} - 1;
    std::uint64_t p = *position;
    p += raw_[p + 1];
    while (p < last) {
        if (raw_[p] == 0 && raw_[p + 1] == 0) {
            *position = static_cast<std::uint32_t>(p + 2);
            return true;
        }
        ++p;
    }
    *position = static_cast<std::uint32_t>(std::min<std::uint64_t>(p, length_));
    return false;
}

bool SmbiosTables::IndexStructures() {
    offsets_.reset();
    structureCount_ = 0;
    if (!raw_ || length_ < 2) return false;
    std::uint32_t count = 0;
    for (std::uint32_t p = 0; p < length_ - 1 && count < kMaxStructures && Step(&p);) ++count;
    if (count == 0) return false;
    std::unique_ptr<std::uint32_t[]> offsets(new (std::nothrow) std::uint32_t[count + 1]());
    if (!offsets) return false;
    std::uint32_t p = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        offsets[i] = p;
        Step(&p);
    }
    offsets_ = std::move(offsets);
    structureCount_ = static_cast<std::uint16_t>(count);
    return true;
}

bool SmbiosTables::DecodeStructures() {
    if (length_ == 0 || !raw_ || !offsets_ || !items_) return false;
    items_->rowCount = 0;
    std::fill(std::begin(counters_), std::end(counters_), std::uint16_t{0});
    std::fill(std::begin(general_), std::end(general_), RowRange());
    for (auto& group : instances_) std::fill(std::begin(group), std::end(group), RowRange());

    for (std::uint16_t i = 0; i < structureCount_; ++i) {
        const StructureView s{raw_.get(), length_, offsets_[i]};
        // A formatted area shorter than the header has no fields; its strings would start
        // inside the header.
        if (s.Length() < kHeaderLength) continue;
        const TypeDecoder* decoder = FindDecoder(s.Type());
        if (!decoder) continue;
        const int group = static_cast<int>(decoder->group);
        const bool general = decoder->group == SmbiosGroup::kGeneral;
        if (!general && counters_[group] >= kMaxInstances) continue;  // no slot left to show it
        const std::uint32_t first = items_->rowCount;
        if (!decoder->decode(*this, s)) return false;
        const RowRange range{first, items_->rowCount};
        if (general) {
            general_[static_cast<int>(decoder->entry)] = range;
            if (counters_[group] < kMaxStructures) ++counters_[group];
        } else {
            instances_[group - 1][counters_[group]] = range;
            ++counters_[group];
        }
    }
    return true;
}

std::string_view SmbiosTables::LookUpString(std::uint32_t structureOffset, std::uint8_t number) const {
    if (number == 0 || !raw_ || length_ < 2 || structureOffset >= length_ - 1) return {};
    std::uint64_t p = std::uint64_t{structureOffset} + raw_[structureOffset + 1];
    for (std::uint8_t k = 1;; ++k) {
        if (p >= length_) return {};
        const char* s = reinterpret_cast<const char*>(raw_.get() + p);
        const std::size_t remaining = static_cast<std::size_t>(length_ - p);
        const std::size_t n = quarro::text::LengthBounded(s, remaining);
        // An empty string ends the set; an unterminated one runs into the table's end.
        if (n == 0 || n == remaining) return {};
        if (k == number) return std::string_view(s, n);
        p += n + 1;
    }
}

void SmbiosTables::Release() {
    ReleaseRows();
    raw_.reset();
    length_ = 0;
}

void SmbiosTables::ReleaseRows() {
    offsets_.reset();
    structureCount_ = 0;
    items_.reset();
    std::fill(std::begin(counters_), std::end(counters_), std::uint16_t{0});
}

std::uint32_t SmbiosTables::StructureOffset(std::uint16_t index) const {
    return offsets_ && index < structureCount_ ? offsets_[index] : 0;
}

RowRange SmbiosTables::GeneralRange(GeneralEntry entry) const {
    const int i = static_cast<int>(entry);
    return i >= 0 && i < kGeneralEntryCount ? general_[i] : RowRange();
}

RowRange SmbiosTables::InstanceRange(SmbiosGroup group, std::uint32_t index) const {
    const int g = static_cast<int>(group);
    if (g <= 0 || g >= kGroupCount || index >= kMaxInstances) return RowRange();
    return instances_[g - 1][index];
}

std::u16string SmbiosTables::StringValue(const StructureView& s, std::uint8_t number) const {
    const std::string_view bytes = LookUpString(s.offset, number);
    std::u16string text = quarro::text::FromAnsi(bytes.substr(0, kMaxAnsiBytes));
    if (text.size() > kTextUnits - 1) text.resize(kTextUnits - 1);
    return text;
}

bool SmbiosTables::RowsFit(std::uint32_t rows) const {
    return items_ && std::uint64_t{items_->rowCount} + rows < kMaxRows;
}

void SmbiosTables::AppendRow(std::u16string_view item, std::u16string_view value) {
    if (!items_ || items_->rowCount >= kMaxRows) return;
    ItemRow& row = items_->rows[items_->rowCount++];
    quarro::text::CopyBounded(row.item, kTextUnits, item);
    quarro::text::CopyBounded(row.value, kTextUnits, value);
}

}  // namespace smbios
