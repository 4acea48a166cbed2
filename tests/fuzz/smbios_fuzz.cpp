// libFuzzer entry point: arbitrary bytes through the dump reader (input that starts like an entry
// point) or straight in as a raw SMBIOS table, then the walk and every decoder, checking that the
// offsets, rows, counters, ranges and strings stay inside their bounds and that a second walk and
// decode give the same rows. Seeds: tests/data/smbios/*.bin and machines/default/smbios.bin.
//
//   clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I. -DQUARRO_DEFAULT_MACHINE='""' \
//       tests/fuzz/smbios_fuzz.cpp tabs/smbios/*.cpp common/text.cpp common/ansi.cpp common/format.cpp \
//       common/module_strings.cpp crypto/*.cpp platform/*.cpp platform/sim/*.cpp -ldl -o smbios_fuzz
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/module_strings.h"
#include "common/text.h"
#include "tabs/smbios/smbios_dump.h"
#include "tabs/smbios/smbios_table.h"

// The module's strings are not linked in: every text is loaded as empty, which the decoders
// handle like any other text.
namespace quarro::resources {
const StringEntry* ModuleStringEntries(std::size_t* count) {
    *count = 0;
    return nullptr;
}
}  // namespace quarro::resources

namespace {

using namespace smbios;

void Check(bool condition) {
    if (!condition) std::abort();
}

// Any id becomes a short text, so that rows have item text to bound.
std::u16string IdText(std::uint32_t id) { return u"#" + std::u16string(1, static_cast<char16_t>(u'0' + id % 10)); }

void CheckRange(const SmbiosTables& tables, RowRange range) {
    Check(range.empty() || range.end <= tables.Items()->rowCount);
}

void CheckState(const SmbiosTables& tables) {
    const ItemTable* items = tables.Items();
    Check(items->rowCount < kMaxRows && items->maxRows == kMaxRows && items->columnCount == kColumnCount);
    for (std::uint32_t r = 0; r < items->rowCount; ++r) {
        Check(quarro::text::LengthBounded(items->rows[r].item, kTextUnits) < kTextUnits);
        Check(quarro::text::LengthBounded(items->rows[r].value, kTextUnits) < kTextUnits);
    }
    for (int e = 0; e < kGeneralEntryCount; ++e) CheckRange(tables, tables.GeneralRange(GeneralEntry(e)));
    for (int g = 1; g < kGroupCount; ++g) {
        Check(tables.GroupCounter(SmbiosGroup(g)) <= kMaxInstances);
        for (std::uint32_t i = 0; i < kMaxInstances; ++i) {
            const RowRange range = tables.InstanceRange(SmbiosGroup(g), i);
            CheckRange(tables, range);
            if (i >= tables.GroupCounter(SmbiosGroup(g))) Check(range.empty());
        }
    }
    std::uint32_t previous = 0;
    for (std::uint16_t i = 0; i < tables.StructureCount(); ++i) {
        const std::uint32_t offset = tables.StructureOffset(i);
        Check(offset < tables.TableLength() && (i == 0 || offset > previous));
        previous = offset;
        for (int n = 0; n < 256; n += 17) {
            const std::string_view s = tables.LookUpString(offset, static_cast<std::uint8_t>(n));
            if (s.data() == nullptr) continue;
            const auto* begin = reinterpret_cast<const std::uint8_t*>(s.data());
            Check(begin >= tables.Table() && begin + s.size() < tables.Table() + tables.TableLength());
            Check(std::memchr(s.data(), 0, s.size()) == nullptr && begin[s.size()] == 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    RawSmbiosRecord record;
    std::string error;
    if (size >= 4 && std::memcmp(bytes, "_SM", 3) == 0) {
        if (!ParseSmbiosDump(bytes, size, &record, &error)) {
            Check(!error.empty());
            return 0;
        }
        Check(record.hasData && record.size == record.data.size() && record.size > 0);
    } else {
        record.majorVersion = 3;
        record.size = static_cast<std::uint32_t>(size);
        record.hasData = true;
        record.data.assign(bytes, bytes + size);
    }
    // One object for every input: the row block is allocated once (it is half a megabyte), and
    // each input goes through the set-up steps on its own freshly read table.
    static SmbiosTables* tables = [] {
        auto* t = new SmbiosTables(&IdText);
        Check(t->AllocateItemTable());
        return t;
    }();
    FixedRawSmbiosSource source(record);
    if (!tables->ReadRawSmbiosTable(source)) {
        Check(record.size == 0 || !IsReadableVersion(record.majorVersion, record.minorVersion));
        return 0;
    }
    Check(tables->TableLength() == record.size);
    if (!tables->IndexStructures() || !tables->DecodeStructures()) return 0;
    CheckState(*tables);
    const std::uint32_t rows = tables->Items()->rowCount;

    // Walking and decoding the kept table again gives the same rows.
    Check(tables->IndexStructures() && tables->DecodeStructures() && tables->Items()->rowCount == rows);
    return 0;
}
