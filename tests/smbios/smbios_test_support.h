// Building SMBIOS tables byte by byte and reading the decoded rows back as "item: value" text
// (UTF-8, English strings of the module), for readable failure output.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/format.h"
#include "common/text.h"
#include "tabs/smbios/smbios_dump.h"
#include "tabs/smbios/smbios_table.h"

namespace smbios_tests {

using Bytes = std::vector<std::uint8_t>;
using smbios::GeneralEntry;
using smbios::SmbiosGroup;

// One structure: header (type, length = 4 + body size, handle), `body`, then the strings and
// the double zero that ends them.
inline Bytes Structure(std::uint8_t type, const Bytes& body, const std::vector<std::string>& strings = {},
                       std::uint16_t handle = 0) {
    Bytes s = {type, static_cast<std::uint8_t>(4 + body.size()), static_cast<std::uint8_t>(handle),
               static_cast<std::uint8_t>(handle >> 8)};
    s.insert(s.end(), body.begin(), body.end());
    for (const std::string& text : strings) {
        s.insert(s.end(), text.begin(), text.end());
        s.push_back(0);
    }
    if (strings.empty()) s.push_back(0);
    s.push_back(0);
    return s;
}

inline Bytes EndOfTable() { return Structure(127, {}); }

inline Bytes Join(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// `count` copies of `part`.
inline std::vector<Bytes> Repeat(const Bytes& part, std::size_t count) { return std::vector<Bytes>(count, part); }

inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, static_cast<std::uint16_t>(v));
    Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void Put64(Bytes& b, std::size_t at, std::uint64_t v) {
    Put32(b, at, static_cast<std::uint32_t>(v));
    Put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}

inline smbios::RawSmbiosRecord Record(const Bytes& table, std::uint8_t major = 2, std::uint8_t minor = 7) {
    smbios::RawSmbiosRecord record;
    record.majorVersion = major;
    record.minorVersion = minor;
    record.size = static_cast<std::uint32_t>(table.size());
    record.hasData = true;
    record.data = table;
    return record;
}

// Counts its reads, so that tests see when the table is read again.
class CountingSource : public smbios::IRawSmbiosSource {
public:
    explicit CountingSource(smbios::RawSmbiosRecord record, bool answers = true)
        : record_(std::move(record)), answers_(answers) {}
    bool ReadRawTable(smbios::RawSmbiosRecord* record) override {
        ++reads;
        if (answers_) *record = record_;
        return answers_;
    }
    int reads = 0;

private:
    smbios::RawSmbiosRecord record_;
    bool answers_;
};

// The module's set-up: row block, read, walk, decode. Returns SetUp's answer.
inline bool Decode(smbios::SmbiosTables& tables, const smbios::RawSmbiosRecord& record) {
    CountingSource source(record);
    EXPECT_TRUE(tables.AllocateItemTable());
    return tables.SetUp(source);
}

inline std::string Utf8(const char16_t* text) { return quarro::text::ToUtf8(text); }

// The rows of a range as "item: value".
inline std::vector<std::string> Leaves(const smbios::SmbiosTables& tables, smbios::RowRange range) {
    std::vector<std::string> leaves;
    const smbios::ItemTable* items = tables.Items();
    for (std::uint32_t r = range.first; r < range.end && r < smbios::kMaxRows; ++r) {
        leaves.push_back(Utf8(items->rows[r].item) + ": " + Utf8(items->rows[r].value));
    }
    return leaves;
}

// The rows of the one structure in `table` (decoded on its own, version 2.7).
inline std::vector<std::string> RowsOf(const Bytes& structure) {
    smbios::SmbiosTables tables;
    EXPECT_TRUE(Decode(tables, Record(Join({structure, EndOfTable()}))));
    const smbios::ItemTable* items = tables.Items();
    return Leaves(tables, {0, items->rowCount});
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string SourcePath(const std::string& relative) { return std::string(QUARRO_SOURCE_DIR) + "/" + relative; }

}  // namespace smbios_tests
