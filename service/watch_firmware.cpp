#include "service/watch_firmware.h"

#include "common/misc_functions.h"

namespace watch {

namespace mc = MiscCommon;

bool SessionFirmware::Open() { return session_.IsOpen() || session_.Open() == 0; }

bool SessionFirmware::ModelNumber(std::uint32_t type, std::uint8_t* buffer, std::uint32_t size) {
    return session_.GetModelNumber(type, buffer, &size) == 0;
}

bool SessionFirmware::BatteryBays(std::uint16_t* bits) {
    std::uint8_t status = 0xFF;
    return mc::GetBatteryBayConfiguration_293(session_, bits, &status) == 0 && status == 0;
}

bool SessionFirmware::DockingState(std::uint8_t* state) {
    std::uint8_t status = 0xFF;
    return mc::GetDockingState_260(session_, state, nullptr, nullptr, &status) == 0 && status == 0;
}

bool SessionFirmware::ThermalMask(std::uint16_t* mask) {
    std::uint16_t results[4] = {};
    std::uint8_t status = 0xFF;
    if (mc::GetThermalValue_270(session_, 1, 0, results, &status) != 0 || status != 0) return false;
    *mask = results[0];
    return true;
}

bool SessionFirmware::ThermalReading(std::uint16_t index, std::uint16_t* tenthsKelvin) {
    std::uint16_t results[4] = {};
    std::uint8_t status = 0xFF;
    if (mc::GetThermalValue_270(session_, 2, index, results, &status) != 0 || status != 0) return false;
    *tenthsKelvin = results[0];
    return true;
}

}  // namespace watch
