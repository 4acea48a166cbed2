// The raw-SMBIOS concern served from a machine snapshot's smbios.bin (platform/sim/smbios_dump.h).
// The file is read once, when the concern is made; every query answers with the table it holds.
// A file that is not a usable dump describes a machine whose WMI class has no object: the query
// fails, and LoadError() says why.
#pragma once

#include <memory>
#include <string>

#include "platform/raw_smbios.h"

namespace quarro::platform::sim {

class MachineSnapshot;

class SimRawSmbiosTables : public IRawSmbiosTables {
public:
    // The dump's bytes; an empty `dump` with `answers` false is a machine without the class.
    SimRawSmbiosTables(const std::string& dump, bool answers);

    bool ReadRawTable(RawSmbiosRecord* record) override;

    const std::string& LoadError() const { return error_; }

private:
    RawSmbiosRecord record_;
    bool answers_ = false;
    std::string error_;
};

// The snapshot's table, or null when the snapshot has no smbios.bin, so that the caller keeps the
// real WMI.
std::shared_ptr<IRawSmbiosTables> MakeSimRawSmbiosTables(const MachineSnapshot& machine);

// A machine without SMBIOS data: the query finds no object.
std::shared_ptr<IRawSmbiosTables> MakeAbsentRawSmbiosTables();

}  // namespace quarro::platform::sim
