// The Setup tab's firmware over the viewer's driver session: each query is one typed Misc
// wrapper (or the session's record and table reads) and counts as answered only with library
// code 0 and status 0.
#pragma once

#include "common/misc_common.h"
#include "tabs/setup/setup_rows.h"

namespace setup_tab {

// 0x1001 (compact, in 10, out 13): UEFI boot kind n (0 hard disk, 1 optical drive, 2 LAN, 3 USB)
// as a 16-bit argument at 8; the answer is a 16-bit value at 10 and a flag byte at 12 (0 = the
// value is valid).
inline constexpr std::uint16_t kUefiBootFunction = 0x1001;

class SessionFirmware : public ISetupFirmware {
public:
    explicit SessionFirmware(MiscCommon::CMiscCommon& session) : session_(session) {}

    bool Setting(std::uint32_t number, std::uint32_t* value, std::uint8_t* bits) override;
    bool ModelRecord(std::uint32_t type, std::uint8_t* buffer, std::uint32_t size) override;
    bool BiosConfiguration(bool extended, std::uint16_t values[3]) override;
    bool ExtensionTable(std::uint16_t table, std::uint8_t* buffer, std::uint32_t size) override;
    bool FeatureLevel(std::uint8_t* level) override;
    bool EcVersion(std::uint8_t version[5]) override;
    bool EcRegister(std::uint32_t address, std::uint8_t* value) override;
    bool MeFirmware(std::uint16_t version[4]) override;
    bool OperatingTime(std::uint32_t* hours) override;
    bool DeviceEntry(std::uint16_t device, std::uint16_t instance, std::uint16_t values[4],
                     std::vector<std::uint8_t>* names) override;
    bool EnvironmentControl(std::uint8_t* result) override;
    bool EnvironmentStatus(std::uint8_t bytes[2]) override;
    bool AntennaKind(std::uint8_t* kind) override;
    bool UefiBoot(std::uint32_t kind, std::uint32_t* value) override;
    bool BootOrderKind(std::uint16_t* value) override;
    bool BootTableLayout(std::uint16_t layout[4]) override;
    bool BootPriorities(std::vector<std::uint8_t>* priority, std::vector<std::uint8_t>* table) override;
    bool PasswordData(std::vector<std::uint8_t>* data, std::uint32_t* reportedLength) override;
    bool DockingState(std::uint8_t* state, std::uint8_t* usbType, std::uint8_t* antenna) override;
    int PortReplicatorFirmware(std::uint8_t bytes[4]) override;
    bool MemorySlotCount(std::uint8_t* count) override;
    bool MemorySlotInfo(std::uint32_t slot, std::uint32_t* info) override;
    bool Spd(std::uint8_t slot, std::uint32_t offset, std::uint8_t data[16]) override;

private:
    MiscCommon::CMiscCommon& session_;
};

}  // namespace setup_tab
