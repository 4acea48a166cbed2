// Encoders and decoders of the driver channel's byte formats (see misc_wire.h).
#include "common/misc_wire.h"

#include <climits>
#include <cstring>

#include "base/little_endian.h"
#include "common/misc_codes.h"

namespace MiscCommon {

namespace {

using quarro::bytes::Load32;
using quarro::bytes::Store16;
using quarro::bytes::Store32;

// UTF-16 text and its terminator.
void StoreText(std::uint8_t* p, const char16_t* text, std::size_t chars) {
    for (std::size_t i = 0; i < chars; ++i) Store16(p + 2 * i, static_cast<std::uint16_t>(text[i]));
    Store16(p + 2 * chars, 0);
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r'; }

constexpr std::uint32_t kFieldOffset[kModelTypeCount] = {4, 40, 32, 27, 80, 91, 92};
constexpr std::uint32_t kFieldLength[kModelTypeCount] = {16, 12, 8, 5, 2, 1, 1};
constexpr std::uint32_t kExtendedLengthByte = 95;
constexpr std::uint32_t kExtensionOffset = 96;
constexpr std::uint32_t kExtendedBufferMinimum = 20;

}  // namespace

// ---- Capsules ----

std::uint32_t CapsuleLength(std::uint32_t payloadLength) {
    if (payloadLength == 0) return 16;
    return ((payloadLength - 1) & ~static_cast<std::uint32_t>(7)) + 24;
}

void WriteInnerMessage(std::uint8_t* out, std::uint32_t sequence, std::uint32_t code, const void* input,
                       std::uint32_t inputLength, std::uint32_t outputCapacity) {
    Store32(out, sequence);
    Store32(out + 4, InnerMessageLength(inputLength));
    Store32(out + 8, code);
    Store32(out + 12, inputLength);
    Store32(out + 16, outputCapacity);
    if (inputLength) std::memcpy(out + 20, input, inputLength);
    Store32(out + 20 + inputLength, 0);
}

void WriteCapsule(std::uint8_t* capsule, std::uint32_t sessionId, const std::uint8_t* payload,
                  std::uint32_t payloadLength) {
    const std::uint32_t length = CapsuleLength(payloadLength);
    std::memset(capsule, 0, length);
    Store32(capsule, payloadLength);
    Store32(capsule + 4, length);
    Store32(capsule + 8, sessionId);
    if (payloadLength) std::memcpy(capsule + 12, payload, payloadLength);
}

std::uint32_t ReplyBlockCount(const std::uint8_t* reply, std::uint32_t bufferSize) {
    if (bufferSize < 12) return 0;
    const std::uint32_t declared = Load32(reply + 4);
    const std::uint32_t declaredBlocks = declared < 16 ? 0 : (declared - 16) / 8;
    const std::uint32_t roomBlocks = (bufferSize - 12) / 8;
    return declaredBlocks < roomBlocks ? declaredBlocks : roomBlocks;
}

// ---- Driver version and model record ----

int ParseDriverVersion(const char16_t* text, int fields[4]) {
    if (!text) return 0;
    const char16_t* p = text;
    int parsed = 0;
    for (; parsed < 4; ++parsed) {
        if (parsed > 0) {
            if (*p != u'.') break;
            ++p;
        }
        while (IsSpace(*p)) ++p;
        bool negative = false;
        if (*p == u'+' || *p == u'-') {
            negative = *p == u'-';
            ++p;
        }
        if (*p < u'0' || *p > u'9') break;
        long long value = 0;
        for (; *p >= u'0' && *p <= u'9'; ++p) {
            if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - u'0');
        }
        if (negative) value = -value;
        if (value > INT_MAX) value = INT_MAX;
        if (value < INT_MIN) value = INT_MIN;
        fields[parsed] = static_cast<int>(value);
    }
    return parsed;
}

std::uint32_t ModelFieldLength(std::uint32_t type) { return type < kModelTypeCount ? kFieldLength[type] : 0; }

int CutModelNumberField(const std::uint8_t record[kModelRecordSize], std::uint32_t type, void* buffer,
                        std::uint32_t* size) {
    if (!size || type >= kModelTypeCount) return kMiscInvalidArgument;
    const std::uint32_t needed = kFieldLength[type];
    if (!buffer) {
        if (*size != 0) return kMiscInvalidArgument;
        *size = needed;
        return kMiscNoMemory;
    }
    if (*size < needed) {
        *size = needed;
        return kMiscNoMemory;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (type == 1 && record[kExtendedLengthByte] != 0 && *size >= kExtendedBufferMinimum) {
        const std::uint32_t extended = record[kExtendedLengthByte];
        if (extended < 12 || extended > 19) return kMiscSystemError;
        std::memcpy(out, record + kFieldOffset[1], 11);
        std::memcpy(out + 11, record + kExtensionOffset, extended - 11);
        *size = extended;
        return kMiscSuccess;
    }
    std::memcpy(out, record + kFieldOffset[type], needed);
    *size = needed;
    return kMiscSuccess;
}

// ---- Registry records ----

std::uint32_t RegWRecordLength(int kind, std::size_t pathChars, std::size_t nameChars, std::size_t dataLength) {
    unsigned long long total = 2ull * pathChars + 29;
    if (kind != kRegWKey) total += 2ull * nameChars + 2;
    if (kind == kRegWData) total += dataLength;
    return total > kMaxTransferBytes ? 0 : static_cast<std::uint32_t>(total);
}

void WriteRegWRecord(std::uint8_t* out, int kind, const char16_t* path, std::size_t pathChars, const char16_t* name,
                     std::size_t nameChars, std::uint32_t type, const void* data, std::uint32_t dataLength) {
    const std::uint32_t total = RegWRecordLength(kind, pathChars, nameChars, dataLength);
    std::memset(out, 0, total);
    const auto pathBytes = static_cast<std::uint32_t>(2 * (pathChars + 1));
    const auto nameBytes = static_cast<std::uint32_t>(2 * (nameChars + 1));
    Store32(out, kTagRegW);
    Store32(out + 4, kind == kRegWData ? type : 0);
    Store32(out + 8, total);
    Store32(out + 12, kind != kRegWKey ? pathBytes : 0);
    Store32(out + 16, kind == kRegWData ? pathBytes + nameBytes : 0);
    Store32(out + 20, kind == kRegWData ? dataLength : 0);
    StoreText(out + 24, path, pathChars);
    if (kind != kRegWKey) StoreText(out + 24 + pathBytes, name, nameChars);
    if (kind == kRegWData && dataLength) std::memcpy(out + 24 + pathBytes + nameBytes, data, dataLength);
}

std::uint32_t RgQIRecordLength(std::size_t pathChars, std::size_t nameChars) {
    const unsigned long long total = 2ull * pathChars + 2ull * nameChars + 23;
    return total > kMaxTransferBytes ? 0 : static_cast<std::uint32_t>(total);
}

void WriteRgQIRecord(std::uint8_t* out, const char16_t* path, std::size_t pathChars, const char16_t* name,
                     std::size_t nameChars, std::uint32_t replyLength) {
    const std::uint32_t total = RgQIRecordLength(pathChars, nameChars);
    std::memset(out, 0, total);
    const auto pathBytes = static_cast<std::uint32_t>(2 * (pathChars + 1));
    Store32(out, kTagRgQI);
    Store32(out + 4, total);
    Store32(out + 8, replyLength);
    Store32(out + 12, pathBytes);
    StoreText(out + 16, path, pathChars);
    StoreText(out + 16 + pathBytes, name, nameChars);
}

bool ReadRgQOHeader(const std::uint8_t* reply, std::uint32_t got, std::uint32_t* dataLength, std::uint32_t* type) {
    if (got < kRgQOHeaderSize || Load32(reply + 4) != kTagRgQO) return false;
    *dataLength = Load32(reply);
    *type = Load32(reply + 8);
    return true;
}

}  // namespace MiscCommon
