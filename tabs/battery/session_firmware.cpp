#include "tabs/battery/session_firmware.h"

#include "common/misc_functions.h"

namespace battery_tab {

namespace mc = MiscCommon;

namespace {

template <typename Call>
bool Answered(Call call) {
    std::uint8_t status = 0xFF;
    return call(&status) == mc::kMiscSuccess && status == 0;
}

}  // namespace

bool SessionFirmware::BatteryMode(std::uint8_t* mode) {
    return Answered([&](std::uint8_t* s) { return mc::GetFeatureLevel_21A(session_, mode, s); });
}

bool SessionFirmware::HealthSupport(std::uint16_t* bits) {
    return Answered([&](std::uint8_t* s) { return mc::GetBatteryBayConfiguration_293(session_, bits, s); });
}

bool SessionFirmware::StateWord(std::uint16_t slot, std::uint32_t* word) {
    return Answered([&](std::uint8_t* s) { return mc::GetBatteryState_232(session_, slot, 0, word, s); });
}

bool SessionFirmware::ChargeIndex(std::uint16_t slot, std::uint16_t* value) {
    return Answered([&](std::uint8_t* s) { return mc::GetBatteryChargeIndex_244(session_, slot, value, s); });
}

bool SessionFirmware::Temperature(std::uint16_t slot, std::uint16_t* value) {
    return Answered([&](std::uint8_t* s) { return mc::GetBatteryTemperature_243(session_, slot, value, s); });
}

bool SessionFirmware::SerialNumber(std::uint16_t slot, std::uint16_t* value) {
    return Answered([&](std::uint8_t* s) { return mc::GetBatterySerialNumber_246(session_, slot, value, s); });
}

bool SessionFirmware::ManufactureDate(std::uint16_t slot, std::uint16_t* packed) {
    return Answered([&](std::uint8_t* s) { return mc::GetBatteryManufactureDate_242(session_, slot, packed, s); });
}

bool SessionFirmware::ReferenceDate(std::uint16_t slot, std::uint16_t asked, std::uint16_t* packed) {
    return Answered([&](std::uint8_t* s) { return mc::GetBatteryReferenceDate_230(session_, slot, asked, packed, s); });
}

bool SessionFirmware::DataWord(bool ec, std::uint8_t item, std::uint16_t slot, std::uint16_t* word) {
    const std::uint8_t arguments[4] = {item, 0, static_cast<std::uint8_t>(slot), 0};
    std::uint8_t results[4] = {};
    const bool answered = Answered([&](std::uint8_t* s) {
        return ec ? mc::RunEcCommand_215(session_, arguments, results, s)
                  : mc::RunFirmwareCommand_21E(session_, arguments, results, s);
    });
    if (answered && word) *word = static_cast<std::uint16_t>(results[0] | results[1] << 8);
    return answered;
}

bool SessionFirmware::EcRegister(std::uint8_t address, std::uint8_t* value) {
    return Answered([&](std::uint8_t* s) { return mc::ReadEcRegister_210(session_, address, value, s); });
}

BatterySettings ReadSettings(IBatteryFirmware& firmware, bool showRemainingTime) {
    BatterySettings settings;
    std::uint8_t mode = 0;
    settings.firmwareMode = firmware.BatteryMode(&mode) ? mode : 255;
    std::uint16_t bits = 0;
    if (firmware.HealthSupport(&bits)) {
        // Two bits per slot; 1 and 3 mean supported.
        settings.healthSupported[0] = (bits & 1) != 0;
        settings.healthSupported[1] = ((bits >> 2) & 1) != 0;
    }
    settings.showRemainingTime = showRemainingTime;
    return settings;
}

}  // namespace battery_tab
