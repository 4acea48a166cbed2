// The building blocks of the driver channel, byte by byte: capsule sizes and layout, the inner
// message, reply block counts, the version parser, model-number cutting, registry records and
// the 32-byte Misc packet form.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/misc_common.h"
#include "common/misc_functions.h"

namespace mc = MiscCommon;

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::u16string Utf16At(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::u16string s;
    for (; at + 1 < b.size() && (b[at] | b[at + 1]); at += 2) s += static_cast<char16_t>(b[at] | b[at + 1] << 8);
    return s;
}

TEST(MiscChannel, CapsuleLengthPadsPayloadToWholeBlocks) {
    const struct {
        std::uint32_t payload, capsule;
    } rows[] = {{0, 16}, {1, 24}, {7, 24}, {8, 24}, {9, 32}, {16, 32}, {17, 40}, {24, 40}, {25, 48}, {160, 176}};
    for (const auto& row : rows) EXPECT_EQ(mc::CapsuleLength(row.payload), row.capsule) << row.payload;
}

TEST(MiscChannel, CapsuleCarriesHeaderPayloadAndZeroPadding) {
    const std::uint8_t payload[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<std::uint8_t> capsule(mc::CapsuleLength(sizeof(payload)), 0xCC);
    mc::WriteCapsule(capsule.data(), 0xA1B2C3D4, payload, sizeof(payload));
    ASSERT_EQ(capsule.size(), 32u);
    EXPECT_EQ(Le32(capsule, 0), 9u);
    EXPECT_EQ(Le32(capsule, 4), 32u);
    EXPECT_EQ(Le32(capsule, 8), 0xA1B2C3D4u);
    EXPECT_EQ(0, std::memcmp(capsule.data() + 12, payload, sizeof(payload)));
    for (std::size_t i = 12 + sizeof(payload); i < capsule.size(); ++i) EXPECT_EQ(capsule[i], 0) << i;

    std::vector<std::uint8_t> empty(mc::CapsuleLength(0), 0xCC);
    mc::WriteCapsule(empty.data(), 7, nullptr, 0);
    EXPECT_EQ(empty, (std::vector<std::uint8_t>{0, 0, 0, 0, 16, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(MiscChannel, InnerMessageNamesSequenceLengthsAndCode) {
    const std::uint8_t input[3] = {0xAA, 0xBB, 0xCC};
    std::vector<std::uint8_t> inner(mc::InnerMessageLength(sizeof(input)), 0xEE);
    mc::WriteInnerMessage(inner.data(), 41, mc::kInnerCallMisc, input, sizeof(input), 300);
    ASSERT_EQ(inner.size(), 27u);
    EXPECT_EQ(Le32(inner, 0), 41u);
    EXPECT_EQ(Le32(inner, 4), 27u);
    EXPECT_EQ(Le32(inner, 8), 0x222944u);
    EXPECT_EQ(Le32(inner, 12), 3u);
    EXPECT_EQ(Le32(inner, 16), 300u);
    EXPECT_EQ(inner[20], 0xAA);
    EXPECT_EQ(inner[22], 0xCC);
    EXPECT_EQ(Le32(inner, 23), 0u);
}

TEST(MiscChannel, ReplyBlockCountNeverExceedsTheBuffer) {
    const struct {
        std::uint32_t declared, buffer, blocks;
    } rows[] = {
        {16, 16, 0},          // empty reply
        {32, 32, 2},          // as declared
        {0, 32, 0},           // capsule length below the header: nothing
        {15, 32, 0},
        {4096, 32, 2},        // claims more than arrived room: cut to the buffer
        {0xFFFFFFFF, 24, 1},  // absurd
        {40, 11, 0},          // buffer smaller than a header
    };
    for (const auto& row : rows) {
        std::vector<std::uint8_t> reply(row.buffer < 12 ? 12 : row.buffer, 0);
        reply[4] = static_cast<std::uint8_t>(row.declared);
        reply[5] = static_cast<std::uint8_t>(row.declared >> 8);
        reply[6] = static_cast<std::uint8_t>(row.declared >> 16);
        reply[7] = static_cast<std::uint8_t>(row.declared >> 24);
        EXPECT_EQ(mc::ReplyBlockCount(reply.data(), row.buffer), row.blocks) << row.declared << " " << row.buffer;
    }
}

TEST(MiscChannel, DriverVersionParsesLikeScanf) {
    const struct {
        const char16_t* text;
        int count;
        int fields[4];
    } rows[] = {
        {u"1.0.900.0", 4, {1, 0, 900, 0}},
        {u"6.1.7601.17514", 4, {6, 1, 7601, 17514}},
        {u" 1. 2.\t3.4", 4, {1, 2, 3, 4}},  // %d skips white space before each number
        {u"1 .0.8.0", 1, {1, -1, -1, -1}},  // but '.' must follow at once
        {u"1.0.8", 3, {1, 0, 8, -1}},
        {u"+1.-2.3.4x", 4, {1, -2, 3, 4}},
        {u"v1.0.8.0", 0, {-1, -1, -1, -1}},
        {u"", 0, {-1, -1, -1, -1}},
        {u"99999999999.1.2.3", 4, {2147483647, 1, 2, 3}},
        {u"-99999999999.1", 2, {-2147483647 - 1, 1, -1, -1}},
    };
    for (const auto& row : rows) {
        int fields[4] = {-1, -1, -1, -1};
        EXPECT_EQ(mc::ParseDriverVersion(row.text, fields), row.count);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(fields[i], row.fields[i]) << i;
    }
    int untouched[4] = {5, 5, 5, 5};
    EXPECT_EQ(mc::ParseDriverVersion(nullptr, untouched), 0);
}

std::vector<std::uint8_t> NumberedRecord() {
    std::vector<std::uint8_t> record(mc::kModelRecordSize);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<std::uint8_t>(i);
    record[95] = 0;
    return record;
}

TEST(MiscChannel, ModelNumberSizeQueries) {
    const auto record = NumberedRecord();
    const std::uint32_t lengths[mc::kModelTypeCount] = {16, 12, 8, 5, 2, 1, 1};
    for (std::uint32_t type = 0; type < mc::kModelTypeCount; ++type) {
        std::uint32_t size = 0;
        EXPECT_EQ(mc::CutModelNumberField(record.data(), type, nullptr, &size), mc::kMiscNoMemory);
        EXPECT_EQ(size, lengths[type]);
        size = 4;
        EXPECT_EQ(mc::CutModelNumberField(record.data(), type, nullptr, &size), mc::kMiscInvalidArgument);
    }
    std::uint8_t buffer[32];
    std::uint32_t size = sizeof(buffer);
    EXPECT_EQ(mc::CutModelNumberField(record.data(), 7, buffer, &size), mc::kMiscInvalidArgument);
    EXPECT_EQ(mc::CutModelNumberField(record.data(), 0, buffer, nullptr), mc::kMiscInvalidArgument);
}

TEST(MiscChannel, ModelNumberTypeOneExtension) {
    const struct {
        std::uint8_t extended;
        std::uint32_t room;
        int code;
        std::uint32_t length;  // bytes from 40, then from 96
    } rows[] = {
        {0, 20, mc::kMiscSuccess, 12},   // no extension: 12 bytes at 40
        {15, 19, mc::kMiscSuccess, 12},  // buffer below 20: the plain 12 bytes
        {15, 20, mc::kMiscSuccess, 15},  // 11 from 40 and 4 from 96
        {12, 64, mc::kMiscSuccess, 12},
        {19, 20, mc::kMiscSuccess, 19},
        {11, 20, mc::kMiscSystemError, 0},
        {20, 64, mc::kMiscSystemError, 0},
        {0xFF, 258, mc::kMiscSystemError, 0},
    };
    for (const auto& row : rows) {
        auto record = NumberedRecord();
        record[95] = row.extended;
        std::vector<std::uint8_t> buffer(row.room, 0xEE);
        std::uint32_t size = row.room;
        ASSERT_EQ(mc::CutModelNumberField(record.data(), 1, buffer.data(), &size), row.code) << int(row.extended);
        if (row.code != mc::kMiscSuccess) continue;
        ASSERT_EQ(size, row.length);
        if (row.length == 12 && (row.extended == 0 || row.room < 20)) {
            EXPECT_EQ(0, std::memcmp(buffer.data(), record.data() + 40, 12));
        } else {
            EXPECT_EQ(0, std::memcmp(buffer.data(), record.data() + 40, 11));
            EXPECT_EQ(0, std::memcmp(buffer.data() + 11, record.data() + 96, row.length - 11));
        }
        if (size < buffer.size()) {
            EXPECT_EQ(buffer[size], 0xEE);
        }
    }
}

TEST(MiscChannel, RegWRecordsAreThreeBytesLongerThanTheirContents) {
    const std::u16string path = u"SOFTWARE\\Mirelta";  // 16 characters
    const std::u16string name = u"Mode";                // 4
    const std::uint8_t data[4] = {1, 2, 3, 4};
    const struct {
        int kind;
        std::uint32_t total, type, nameOffset, dataOffset, dataLength;
    } rows[] = {
        {mc::kRegWData, 2 * 16 + 2 * 4 + 4 + 31, 4, 34, 44, 4},
        {mc::kRegWValue, 2 * 16 + 2 * 4 + 31, 0, 34, 0, 0},
        {mc::kRegWKey, 2 * 16 + 29, 0, 0, 0, 0},
    };
    for (const auto& row : rows) {
        const std::uint32_t total = mc::RegWRecordLength(row.kind, path.size(), name.size(), sizeof(data));
        ASSERT_EQ(total, row.total) << row.kind;
        std::vector<std::uint8_t> record(total, 0xCC);
        mc::WriteRegWRecord(record.data(), row.kind, path.c_str(), path.size(), name.c_str(), name.size(), 4, data,
                            sizeof(data));
        EXPECT_EQ(std::string(record.begin(), record.begin() + 4), "RegW");
        EXPECT_EQ(Le32(record, 4), row.type);
        EXPECT_EQ(Le32(record, 8), row.total);
        EXPECT_EQ(Le32(record, 12), row.nameOffset);
        EXPECT_EQ(Le32(record, 16), row.dataOffset);
        EXPECT_EQ(Le32(record, 20), row.dataLength);
        EXPECT_EQ(Utf16At(record, 24), path);
        if (row.nameOffset) {
            EXPECT_EQ(Utf16At(record, 24 + row.nameOffset), name);
        }
        if (row.dataOffset) {
            EXPECT_EQ(0, std::memcmp(record.data() + 24 + row.dataOffset, data, 4));
        }
        for (std::size_t i = total - 3; i < total; ++i) EXPECT_EQ(record[i], 0) << i;
    }
    EXPECT_EQ(mc::RegWRecordLength(mc::kRegWData, 10, 10, 0xFFFFFFFFu), 0u);
}

TEST(MiscChannel, RgQIRecordNamesBothLengths) {
    const std::u16string path = u"SOFTWARE\\Mirelta\\Quarro";  // 23
    const std::u16string name = u"ModeSBC";                     // 7
    const std::uint32_t total = mc::RgQIRecordLength(path.size(), name.size());
    ASSERT_EQ(total, 2u * 23 + 2 * 7 + 23);
    std::vector<std::uint8_t> record(total, 0xCC);
    mc::WriteRgQIRecord(record.data(), path.c_str(), path.size(), name.c_str(), name.size(), 4 + 15);
    EXPECT_EQ(std::string(record.begin(), record.begin() + 4), "RgQI");
    EXPECT_EQ(Le32(record, 4), total);
    EXPECT_EQ(Le32(record, 8), 19u);
    EXPECT_EQ(Le32(record, 12), 48u);
    EXPECT_EQ(Utf16At(record, 16), path);
    EXPECT_EQ(Utf16At(record, 16 + 48), name);
    for (std::size_t i = total - 3; i < total; ++i) EXPECT_EQ(record[i], 0) << i;
}

TEST(MiscChannel, LongPacketForm) {
    std::uint8_t packet[32];
    std::memset(packet, 0xEE, sizeof(packet));
    mc::BuildLongPacket(packet, 0x10C, 0x12345678);
    const std::vector<std::uint8_t> bytes(packet, packet + 32);
    EXPECT_EQ(bytes[0], 0x0C);
    EXPECT_EQ(bytes[1], 0x01);
    EXPECT_EQ(bytes[2], 32);
    EXPECT_EQ(bytes[4], 32);
    EXPECT_EQ(Le32(bytes, 8), 0x90u);
    EXPECT_EQ(Le32(bytes, 12), 0x12345678u);
    EXPECT_EQ(Le32(bytes, 16), 0x010C0090u);
    EXPECT_EQ(Le32(bytes, 20), 0u);
    EXPECT_EQ(Le32(bytes, 28), 0u);
}

}  // namespace
