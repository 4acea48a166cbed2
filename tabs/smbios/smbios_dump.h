// Tables for the core from outside WMI: the dump reader of machine snapshots
// (platform/sim/smbios_dump.h) and a source that answers with one fixed record.
#pragma once

#include <utility>

#include "platform/sim/smbios_dump.h"
#include "tabs/smbios/smbios_raw.h"

namespace smbios {

using quarro::platform::sim::ParseSmbiosDump;

// A source that answers with one fixed record, such as a parsed dump.
class FixedRawSmbiosSource : public IRawSmbiosSource {
public:
    explicit FixedRawSmbiosSource(RawSmbiosRecord record) : record_(std::move(record)) {}
    bool ReadRawTable(RawSmbiosRecord* record) override {
        *record = record_;
        return true;
    }

private:
    RawSmbiosRecord record_;
};

}  // namespace smbios
