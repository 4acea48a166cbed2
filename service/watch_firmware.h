// The log engine's firmware requests over the maker's driver session.
#pragma once

#include "common/misc_common.h"
#include "service/watch_types.h"

namespace watch {

class SessionFirmware : public IWatchFirmware {
public:
    explicit SessionFirmware(MiscCommon::CMiscCommon& session) : session_(session) {}
    bool Open() override;
    bool ModelNumber(std::uint32_t type, std::uint8_t* buffer, std::uint32_t size) override;
    bool BatteryBays(std::uint16_t* bits) override;
    bool DockingState(std::uint8_t* state) override;
    bool ThermalMask(std::uint16_t* mask) override;
    bool ThermalReading(std::uint16_t index, std::uint16_t* tenthsKelvin) override;

private:
    MiscCommon::CMiscCommon& session_;
};

}  // namespace watch
