// The PC Status tab's firmware over the viewer's driver session: each query is one typed Misc
// wrapper and counts as answered only with library code 0 and status 0; registry values are the
// driver's QueryRegistry under HKEY_LOCAL_MACHINE.
#pragma once

#include "common/misc_common.h"
#include "tabs/pcstatus/status_data.h"

namespace pcstatus {

class SessionStatusFirmware : public IStatusFirmware {
public:
    explicit SessionStatusFirmware(MiscCommon::CMiscCommon& session) : session_(session) {}

    bool Setting(std::uint32_t item, std::uint32_t* value) override;
    bool Thermal(std::uint16_t sub, std::uint16_t index, std::uint16_t* result) override;
    bool FanMarks(std::uint8_t marks[2]) override;
    bool FanControl(std::uint16_t* value) override;
    bool FeatureLevel(std::uint8_t* level) override;
    bool FeatureFlags(std::uint8_t argument, std::uint8_t* flags) override;
    bool FirmwareCommand(const std::uint8_t arguments[4], std::uint8_t results[4]) override;
    bool Hold(std::uint8_t bytes[3]) override;
    bool RegistryDword(const char16_t* path, const char16_t* name, std::uint32_t* value) override;

private:
    MiscCommon::CMiscCommon& session_;
};

}  // namespace pcstatus
