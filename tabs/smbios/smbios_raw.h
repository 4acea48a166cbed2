// The raw SMBIOS table as Windows hands it out: the one object of the WMI class
// "MSSMBios_RawSMBiosTables" in ROOT\WMI, reduced to the four properties the SMBIOS tab reads.
// Whoever fills the record (the WMI query on Windows, a dmidecode dump in a machine snapshot)
// reports a property of the wrong type as absent: its field stays 0 / hasData stays false. The
// record is untrusted: `size` need not match `data`.
#pragma once

#include <cstdint>
#include <vector>

namespace smbios {

struct RawSmbiosRecord {
    std::uint8_t majorVersion = 0;  // "SmbiosMajorVersion", when it is an unsigned byte
    std::uint8_t minorVersion = 0;  // "SmbiosMinorVersion", when it is an unsigned byte
    std::uint32_t size = 0;         // "Size", when it is a 32-bit integer
    bool hasData = false;           // "SMBiosData" is an array of unsigned bytes
    std::vector<std::uint8_t> data;
};

class IRawSmbiosSource {
public:
    virtual ~IRawSmbiosSource() = default;

    // Fills `record` from the first object of the class. False when the class could not be
    // reached or has no object; `record` is then unspecified.
    virtual bool ReadRawTable(RawSmbiosRecord* record) = 0;
};

// Tables older than 2.4 are not read.
inline bool IsReadableVersion(std::uint8_t major, std::uint8_t minor) {
    return major >= 3 || (major == 2 && minor >= 4);
}

}  // namespace smbios
