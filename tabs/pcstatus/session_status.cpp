#include "tabs/pcstatus/session_status.h"

#include <cstring>

#include "common/misc_functions.h"

namespace pcstatus {

namespace {

// Call first, then this: the status is read after the call has written it.
bool Answered(int code, std::uint8_t status) { return code == 0 && status == 0; }

}  // namespace

bool SessionStatusFirmware::Setting(std::uint32_t item, std::uint32_t* value) {
    std::uint8_t status = 0xFF, bits = 0;
    const int code = MiscCommon::GetSetupValue_10C(session_, item, value, &bits, &status);
    return Answered(code, status);
}

bool SessionStatusFirmware::Thermal(std::uint16_t sub, std::uint16_t index, std::uint16_t* result) {
    std::uint8_t status = 0xFF;
    std::uint16_t results[4] = {};
    const int code = MiscCommon::GetThermalValue_270(session_, sub, index, results, &status);
    if (!Answered(code, status)) return false;
    if (result) *result = results[0];
    return true;
}

bool SessionStatusFirmware::FanMarks(std::uint8_t marks[2]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetFanMarks_2A0(session_, marks, &status);
    return Answered(code, status);
}

bool SessionStatusFirmware::FanControl(std::uint16_t* value) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetFanControl_2A1(session_, value, &status);
    return Answered(code, status);
}

bool SessionStatusFirmware::FeatureLevel(std::uint8_t* level) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetFeatureLevel_21A(session_, level, &status);
    return Answered(code, status);
}

bool SessionStatusFirmware::FeatureFlags(std::uint8_t argument, std::uint8_t* flags) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetFeatureFlags_21B(session_, argument, flags, &status);
    return Answered(code, status);
}

bool SessionStatusFirmware::FirmwareCommand(const std::uint8_t arguments[4], std::uint8_t results[4]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::RunFirmwareCommand_21E(session_, arguments, results, &status);
    return Answered(code, status);
}

bool SessionStatusFirmware::Hold(std::uint8_t bytes[3]) {
    std::uint8_t status = 0xFF;
    const int code = MiscCommon::GetHoldButton_2E0(session_, 0, bytes, &status);
    return Answered(code, status);
}

bool SessionStatusFirmware::RegistryDword(const char16_t* path, const char16_t* name, std::uint32_t* value) {
    std::uint8_t data[8] = {};
    std::uint32_t size = sizeof(data), type = 0;
    if (session_.QueryRegistry(quarro::platform::kHkeyLocalMachine, path, name, &type, data, &size) != 0) return false;
    // Only a reply of exactly four bytes is a 32-bit value.
    if (size != 4) return false;
    std::uint32_t v = 0;
    std::memcpy(&v, data, 4);
    if (value) *value = v;
    return true;
}

}  // namespace pcstatus
