// The raw SMBIOS table as the tab reads it: the record and the source of the platform's raw-SMBIOS
// concern (platform/raw_smbios.h), so the module hands the platform's source straight to the core
// and tests hand in their own.
#pragma once

#include <cstdint>

#include "platform/raw_smbios.h"

namespace smbios {

using RawSmbiosRecord = quarro::platform::RawSmbiosRecord;
using IRawSmbiosSource = quarro::platform::IRawSmbiosTables;

// Tables older than 2.4 are not read.
inline bool IsReadableVersion(std::uint8_t major, std::uint8_t minor) {
    return major >= 3 || (major == 2 && minor >= 4);
}

}  // namespace smbios
