#include "platform/sim/smbios_dump.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/little_endian.h"

namespace quarro::platform::sim {

namespace {

using quarro::bytes::Load16;
using quarro::bytes::Load32;
using quarro::bytes::Load64;

bool Fail(std::string* error, const char* reason) {
    if (error) *error = reason;
    return false;
}

bool ChecksumIsZero(const std::uint8_t* p, std::size_t n) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum = static_cast<std::uint8_t>(sum + p[i]);
    return sum == 0;
}

bool HasAnchor(const std::uint8_t* bytes, std::size_t size, const char* anchor) {
    const std::size_t n = std::strlen(anchor);
    return size >= n && std::memcmp(bytes, anchor, n) == 0;
}

}  // namespace

bool ParseSmbiosDump(const std::uint8_t* bytes, std::size_t size, RawSmbiosRecord* record, std::string* error) {
    if (!bytes || !record) return Fail(error, "no dump");
    std::uint64_t address = 0;
    std::uint64_t length = 0;
    RawSmbiosRecord parsed;
    if (HasAnchor(bytes, size, "_SM3_")) {
        // 64-bit entry point: length at 06h, version at 07h/08h, maximum table size at 0Ch,
        // table address at 10h.
        if (size < 0x18) return Fail(error, "_SM3_ entry point cut short");
        const std::uint8_t epLength = bytes[0x06];
        if (epLength < 0x18 || epLength > 0x20 || epLength > size) return Fail(error, "bad _SM3_ entry point length");
        if (!ChecksumIsZero(bytes, epLength)) return Fail(error, "bad _SM3_ entry point checksum");
        parsed.majorVersion = bytes[0x07];
        parsed.minorVersion = bytes[0x08];
        length = Load32(bytes + 0x0C);
        address = Load64(bytes + 0x10);
    } else if (HasAnchor(bytes, size, "_SM_")) {
        // 32-bit entry point: length at 05h, version at 06h/07h, then the "_DMI_" part at 10h
        // with the table length at 16h and the table address at 18h.
        if (size < 0x1F) return Fail(error, "_SM_ entry point cut short");
        const std::uint8_t epLength = bytes[0x05];
        if (epLength < 0x1E || epLength > 0x20 || epLength > size) return Fail(error, "bad _SM_ entry point length");
        if (!ChecksumIsZero(bytes, epLength)) return Fail(error, "bad _SM_ entry point checksum");
        if (std::memcmp(bytes + 0x10, "_DMI_", 5) != 0) return Fail(error, "no _DMI_ anchor");
        if (!ChecksumIsZero(bytes + 0x10, 0x0F)) return Fail(error, "bad _DMI_ checksum");
        parsed.majorVersion = bytes[0x06];
        parsed.minorVersion = bytes[0x07];
        length = Load16(bytes + 0x16);
        address = Load32(bytes + 0x18);
    } else {
        return Fail(error, "no _SM_ or _SM3_ entry point at offset 0");
    }
    if (address >= size) return Fail(error, "table address beyond the dump");
    const std::uint64_t available = std::min<std::uint64_t>(length, size - address);
    if (available == 0) return Fail(error, "empty table");
    parsed.size = static_cast<std::uint32_t>(available);
    parsed.hasData = true;
    parsed.data.assign(bytes + address, bytes + address + available);
    *record = std::move(parsed);
    if (error) error->clear();
    return true;
}

}  // namespace quarro::platform::sim
