// The raw-SMBIOS concern: the one object of the WMI class "MSSMBios_RawSMBiosTables" in
// ROOT\WMI, reduced to the four properties the SMBIOS tab reads. On Windows it is the real WMI
// query; a machine snapshot replays the table of its smbios.bin (a `dmidecode --dump-bin` file)
// in its place.
//
// Whoever fills the record reports a property of the wrong type as absent: its field stays 0 and
// hasData stays false. The record is untrusted: `size` need not match `data`, and the version is
// passed on as the object gives it (callers apply their own version rules).
#pragma once

#include <cstdint>
#include <vector>

namespace quarro::platform {

struct RawSmbiosRecord {
    std::uint8_t majorVersion = 0;  // "SmbiosMajorVersion", when it is an unsigned byte
    std::uint8_t minorVersion = 0;  // "SmbiosMinorVersion", when it is an unsigned byte
    std::uint32_t size = 0;         // "Size", when it is a 32-bit integer
    bool hasData = false;           // "SMBiosData" is an array of unsigned bytes
    std::vector<std::uint8_t> data; // its bytes, at most `size` of them
};

class IRawSmbiosTables {
public:
    virtual ~IRawSmbiosTables() = default;

    // Fills `record` from the first object of the class. False when the class could not be
    // reached or has no object; `record` is then unspecified. Every call asks again.
    virtual bool ReadRawTable(RawSmbiosRecord* record) = 0;
};

}  // namespace quarro::platform
