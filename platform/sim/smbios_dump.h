// A machine snapshot's SMBIOS table (smbios.bin), in the layout `dmidecode --dump-bin` writes
// and `dmidecode --from-dump` reads: the entry point at offset 0, either the 32-bit "_SM_" form
// (with its "_DMI_" part at 10h) or the 64-bit "_SM3_" form, and the table at the address the
// entry point names (20h in such dumps). The version comes from the entry point. The result is
// the record the WMI class gives on Windows, so a snapshot replays a real machine's table.
//
// The file is untrusted: anchors, entry-point lengths and checksums are checked, and a table
// that the file cuts short is taken as far as the file goes (dmidecode does the same).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/raw_smbios.h"

namespace quarro::platform::sim {

// Fills `record` (versions, size, data) from the dump. False with a reason in `error` when the
// bytes hold no usable entry point or no table byte.
bool ParseSmbiosDump(const std::uint8_t* bytes, std::size_t size, RawSmbiosRecord* record, std::string* error);

}  // namespace quarro::platform::sim
