#include "tabs/setup/session_firmware.h"

#include "common/misc_functions.h"

namespace setup_tab {

namespace {

constexpr std::uint32_t kDeviceNameRoom = 128;    // first try; the firmware may ask for more
constexpr std::uint32_t kDeviceNameMax = 1024;    // the most the tab ever allots
constexpr std::uint32_t kPasswordRoom = 256;
constexpr std::uint32_t kBootListBytes = 0x10000;

// Call first, then this: the status is read after the call has written it.
bool Answered(int code, std::uint8_t status) { return code == 0 && status == 0; }

}  // namespace

bool SessionFirmware::Setting(std::uint32_t number, std::uint32_t* value, std::uint8_t* bits) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetSetupValue_10C(session_, number & 0xFF, value, bits, &status);
    return Answered(code, status);
}

bool SessionFirmware::ModelRecord(std::uint32_t type, std::uint8_t* buffer, std::uint32_t size) {
    std::uint32_t room = size;
    return session_.GetModelNumber(type, buffer, &room) == 0;
}

bool SessionFirmware::BiosConfiguration(bool extended, std::uint16_t values[3]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetBiosConfiguration_115(session_, extended, values, &status);
    return Answered(code, status);
}

bool SessionFirmware::ExtensionTable(std::uint16_t table, std::uint8_t* buffer, std::uint32_t size) {
    std::uint32_t room = size;
    return session_.GetBiosExtensionTable2(table, buffer, &room) == 0;
}

bool SessionFirmware::FeatureLevel(std::uint8_t* level) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetFeatureLevel_21A(session_, level, &status);
    return Answered(code, status);
}

bool SessionFirmware::EcVersion(std::uint8_t version[5]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetEcVersion_20F(session_, version, &status);
    return Answered(code, status);
}

bool SessionFirmware::EcRegister(std::uint32_t address, std::uint8_t* value) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::ReadEcRegister_210(session_, address, value, &status);
    return Answered(code, status);
}

bool SessionFirmware::MeFirmware(std::uint16_t version[4]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetMeFirmwareVersion_2B0(session_, version, &status);
    return Answered(code, status);
}

bool SessionFirmware::OperatingTime(std::uint32_t* hours) {
    std::uint8_t status = 0xFF, flags = 0;
    std::uint32_t second = 0;
    const int code = MiscCommon::GetOperatingTime_110(session_, &flags, hours, &second, &status);
    return Answered(code, status);
}

bool SessionFirmware::DeviceEntry(std::uint16_t device, std::uint16_t instance, std::uint16_t values[4],
                                  std::vector<std::uint8_t>* names) {
    std::uint32_t room = kDeviceNameRoom;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<std::uint8_t> data(room);
        std::uint32_t size = room;
        std::uint8_t status = 0xFF;
        const int code = MiscCommon::GetDeviceEntry_111(session_, device, instance, data.data(), &size, values, &status);
        if (code != 0) return false;
        if (status == 5 && attempt == 0) {
            // Too small: the firmware reports what it needs (1 stands for the usual 128 bytes).
            room = size == 1 ? kDeviceNameRoom : size;
            if (room > kDeviceNameMax) room = kDeviceNameMax;
            continue;
        }
        if (status != 0) return false;
        data.resize(size < room ? size : room);
        *names = std::move(data);
        return true;
    }
    return false;
}

bool SessionFirmware::EnvironmentControl(std::uint8_t* result) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetEnvironmentControl_10F(session_, 0, result, &status);
    return Answered(code, status);
}

bool SessionFirmware::EnvironmentStatus(std::uint8_t bytes[2]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetEnvironmentStatus_240(session_, bytes, &status);
    return Answered(code, status);
}

bool SessionFirmware::AntennaKind(std::uint8_t* kind) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetAntennaKind_C07(session_, kind, &status);
    return Answered(code, status);
}

bool SessionFirmware::UefiBoot(std::uint32_t kind, std::uint32_t* value) {
    std::uint8_t packet[13] = {};
    packet[0] = kUefiBootFunction & 0xFF;
    packet[1] = kUefiBootFunction >> 8;
    packet[2] = 10;  // input length
    packet[4] = 13;  // output length
    packet[8] = static_cast<std::uint8_t>(kind);
    packet[9] = static_cast<std::uint8_t>(kind >> 8);
    const int code = session_.CallMiscFunction(packet, sizeof packet, MiscCommon::kWrapperRetries,
                                               MiscCommon::kWrapperPauseMs);
    if (code != 0 || packet[0] != 0 || packet[12] != 0) return false;
    *value = static_cast<std::uint32_t>(packet[10] | (packet[11] << 8));
    return true;
}

bool SessionFirmware::BootOrderKind(std::uint16_t* value) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetBootOrderKind_1060(session_, value, &status);
    return Answered(code, status);
}

bool SessionFirmware::BootTableLayout(std::uint16_t layout[4]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetBootTableLayout_1061(session_, layout, &status);
    return Answered(code, status);
}

bool SessionFirmware::BootPriorities(std::vector<std::uint8_t>* priority, std::vector<std::uint8_t>* table) {
    priority->assign(kBootListBytes, 0);
    table->assign(kBootListBytes, 0);
    std::uint8_t status = 0xFF;
    return session_.BootPriorityGetPriorityAndTable(&status, priority->data(), kBootListBytes, table->data(),
                                                    kBootListBytes) == 0 &&
           status == 0;
}

bool SessionFirmware::PasswordData(std::vector<std::uint8_t>* data, std::uint32_t* reportedLength) {
    data->assign(kPasswordRoom, 0);
    std::uint32_t size = kPasswordRoom;
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetPasswordData_304(session_, data->data(), &size, &status);
    if (!Answered(code, status)) return false;
    *reportedLength = size;
    data->resize(size < kPasswordRoom ? size : kPasswordRoom);
    return true;
}

bool SessionFirmware::DockingState(std::uint8_t* state, std::uint8_t* usbType, std::uint8_t* antenna) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetDockingState_260(session_, state, usbType, antenna, &status);
    return Answered(code, status);
}

int SessionFirmware::PortReplicatorFirmware(std::uint8_t bytes[4]) {
    std::uint8_t status = 0xFF;
    std::uint16_t value = 0;
    if (MiscCommon::GetPortReplicatorFirmware_261(session_, bytes, &value, &status) != 0) return -1;
    return status;
}

bool SessionFirmware::MemorySlotCount(std::uint8_t* count) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetMemorySlotCount_220(session_, count, &status);
    return Answered(code, status);
}

bool SessionFirmware::MemorySlotInfo(std::uint32_t slot, std::uint32_t* info) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetMemorySlotInfo_221(session_, slot, info, &status);
    return Answered(code, status);
}

bool SessionFirmware::Spd(std::uint8_t slot, std::uint32_t offset, std::uint8_t data[16]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::ReadMemorySpd_222(session_, slot, offset, data, &status);
    return Answered(code, status);
}

}  // namespace setup_tab
