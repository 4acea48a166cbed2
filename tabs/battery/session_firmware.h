// The battery tab's firmware over the viewer's driver session: each query is one typed Misc
// wrapper, given the battery slot index where the function takes one, and counts as answered
// only with library code 0 and status 0.
#pragma once

#include "common/misc_common.h"
#include "tabs/battery/battery_core.h"

namespace battery_tab {

class SessionFirmware : public IBatteryFirmware {
public:
    explicit SessionFirmware(MiscCommon::CMiscCommon& session) : session_(session) {}

    bool BatteryMode(std::uint8_t* mode) override;
    bool HealthSupport(std::uint16_t* bits) override;
    bool StateWord(std::uint16_t slot, std::uint32_t* word) override;
    bool ChargeIndex(std::uint16_t slot, std::uint16_t* value) override;
    bool Temperature(std::uint16_t slot, std::uint16_t* value) override;
    bool SerialNumber(std::uint16_t slot, std::uint16_t* value) override;
    bool ManufactureDate(std::uint16_t slot, std::uint16_t* packed) override;
    bool ReferenceDate(std::uint16_t slot, std::uint16_t asked, std::uint16_t* packed) override;
    bool DataWord(bool ec, std::uint8_t item, std::uint16_t slot, std::uint16_t* word) override;
    bool EcRegister(std::uint8_t address, std::uint8_t* value) override;

private:
    MiscCommon::CMiscCommon& session_;
};

// Set-up from the firmware: the battery mode (255 when 0x21A is not answered) and the health
// support of each slot (from the two-bit fields of 0x293; none when it is not answered).
BatterySettings ReadSettings(IBatteryFirmware& firmware, bool showRemainingTime);

}  // namespace battery_tab
