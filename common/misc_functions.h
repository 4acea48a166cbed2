// Typed Misc function wrappers: one per function number, each building its packet, calling
// CMiscCommon::CallMiscFunction with 1 retry and a 100 ms pause, and returning the library code.
//
// Common rules:
// - `status` (optional) receives the packet's status byte whenever the call itself succeeded
//   (code 0): 0 = done, 4 = still busy after the retry, 5 = data area too small, other values are
//   the function's own errors. On a non-zero code it is left untouched.
// - Result out-parameters (all optional) are written only when the code is 0 and the status 0.
// - A request counts as answered when the code is 0 and the status is 0.
//
// Packet forms. Compact: bytes 0-1 function, 2-3 input length, 4-5 output length, parameters
// from byte 8. The output length always covers the last reply field, so it may exceed the input
// length ("in 8" functions that answer bytes 8 to 13 get an output length of 14). 32-byte form:
// input and output length 32, 0x90 at byte 8, a 32-bit argument at 12, (function << 16) | 0x90
// at 16, the 32-bit result at 20.
//
// Data-carrying packets sit on the heap, sized header + data room (at most 65535 bytes in all).
// Their data-length field holds the room in the request and, in the reply, the length the
// firmware reports (the needed size with status 5); `*dataSize` receives that length as
// reported, which may exceed the room: only the room is ever copied.
//   0x111          22-byte header: 16-bit device at 8, instance at 10, four 16-bit values at 12-18,
//                  16-bit data length at 20; a read (input length 22, output 22 + room).
//   0x114          14-byte header (assumed): 16-bit item at 8, sub-item at 10, 16-bit data length
//                  at 12; the caller's data goes out and the reply's data comes back (input and
//                  output length 14 + room).
//   0x304-0x30E    10-byte header (assumed): 16-bit data length at 8; data both ways as 0x114.
#pragma once

#include <cstdint>

#include "common/misc_common.h"

namespace MiscCommon {

inline constexpr std::uint32_t kWrapperRetries = 1;
inline constexpr std::uint32_t kWrapperPauseMs = 100;

// 0x10C (32-byte): a BIOS setup value; *value masked to the *bits meaningful bits the reply reports.
int GetSetupValue_10C(CMiscCommon& session, std::uint32_t setting, std::uint32_t* value, std::uint8_t* bits,
                      std::uint8_t* status);
// 0x10F (in 10): which battery-environment control the firmware has (byte 8 in and out).
int GetEnvironmentControl_10F(CMiscCommon& session, std::uint8_t argument, std::uint8_t* result,
                              std::uint8_t* status);
// 0x110 (in 18, byte 8 = 0: read): accumulated operating time; byte 9, 32-bit values at 10 and 14.
int GetOperatingTime_110(CMiscCommon& session, std::uint8_t* flags, std::uint32_t* hours, std::uint32_t* second,
                         std::uint8_t* status);
// 0x111 (22-byte header + data): one instance of a built-in device's entry (state values and
// name data). *dataSize: room in, reported length out (needed size with status 5).
int GetDeviceEntry_111(CMiscCommon& session, std::uint16_t device, std::uint16_t instance, void* data,
                       std::uint32_t* dataSize, std::uint16_t values[4], std::uint8_t* status);
// 0x114 (14-byte header + data, layout assumed): exchanges a device data block for item/sub-item.
int ExchangeDeviceData_114(CMiscCommon& session, std::uint16_t item, std::uint16_t subItem, void* data,
                           std::uint32_t* dataSize, std::uint8_t* status);
// 0x115 (in 14 with 0 at byte 8, or in 16 with 1 at byte 8): BIOS configuration; two 16-bit
// values at 10 and 12 (first value, flag word), and with `extended` a third at 14.
int GetBiosConfiguration_115(CMiscCommon& session, bool extended, std::uint16_t values[3], std::uint8_t* status);
// 0x20F (in 8, out 14): embedded-controller version, bytes 9-13 (major, minor, level, letter, M-number).
int GetEcVersion_20F(CMiscCommon& session, std::uint8_t version[5], std::uint8_t* status);
// 0x210 (32-byte): reads one embedded-controller register (answer byte 20).
int ReadEcRegister_210(CMiscCommon& session, std::uint32_t address, std::uint8_t* value, std::uint8_t* status);
// 0x215 (32-byte): embedded-controller command with four argument bytes; four result bytes.
int RunEcCommand_215(CMiscCommon& session, const std::uint8_t arguments[4], std::uint8_t results[4],
                     std::uint8_t* status);
// 0x21A (in 8, out 9): the firmware's feature level / controller access kind (byte 8).
int GetFeatureLevel_21A(CMiscCommon& session, std::uint8_t* level, std::uint8_t* status);
// 0x21B (in 9): one feature flags byte for `argument` (190: AC adaptor flags).
int GetFeatureFlags_21B(CMiscCommon& session, std::uint8_t argument, std::uint8_t* flags, std::uint8_t* status);
// 0x21E (in 12): firmware command with four argument bytes at 8-11; four result bytes back there.
int RunFirmwareCommand_21E(CMiscCommon& session, const std::uint8_t arguments[4], std::uint8_t results[4],
                           std::uint8_t* status);
// 0x220 (32-byte): number of memory slots (byte 12).
int GetMemorySlotCount_220(CMiscCommon& session, std::uint8_t* count, std::uint8_t* status);
// 0x221 (32-byte): the 32-bit information word of one memory slot (flag byte and size value).
int GetMemorySlotInfo_221(CMiscCommon& session, std::uint32_t slot, std::uint32_t* info, std::uint8_t* status);
// 0x222 (32-byte): 16 SPD bytes of a slot from `offset` (bytes 8-11, then 20-31 of the reply).
int ReadMemorySpd_222(CMiscCommon& session, std::uint8_t slot, std::uint32_t offset, std::uint8_t data[16],
                      std::uint8_t* status);
// 0x230 (32-byte): battery reference date; packed date in the high half of slot 12 and of slot 28.
int GetBatteryReferenceDate_230(CMiscCommon& session, std::uint16_t argument, std::uint16_t packedDate,
                                std::uint16_t* resultDate, std::uint8_t* status);
// 0x232 (in 12): battery state word; the 32-bit result is the 16-bit values at 8 (low) and 10 (high).
int GetBatteryState_232(CMiscCommon& session, std::uint16_t first, std::uint16_t second, std::uint32_t* result,
                        std::uint8_t* status);
// 0x240 (in 10): economy/environment status bytes 8 and 9.
int GetEnvironmentStatus_240(CMiscCommon& session, std::uint8_t bytes[2], std::uint8_t* status);
// 0x242 (in 10, out 12): a battery's packed manufacture date (16 bits at 10).
int GetBatteryManufactureDate_242(CMiscCommon& session, std::uint16_t batterySlot, std::uint16_t* packedDate,
                                  std::uint8_t* status);
// 0x243 (in 12): a battery's temperature word (tenths of a kelvin).
int GetBatteryTemperature_243(CMiscCommon& session, std::uint16_t batterySlot, std::uint16_t* value,
                              std::uint8_t* status);
// 0x244 (in 12): a battery's total charge index.
int GetBatteryChargeIndex_244(CMiscCommon& session, std::uint16_t batterySlot, std::uint16_t* value,
                              std::uint8_t* status);
// 0x246 (in 12): a battery's serial number.
int GetBatterySerialNumber_246(CMiscCommon& session, std::uint16_t batterySlot, std::uint16_t* value,
                               std::uint8_t* status);
// 0x260 (in 8, out 11): port-replicator state (1 = docked), USB type and antenna (bytes 8-10).
int GetDockingState_260(CMiscCommon& session, std::uint8_t* state, std::uint8_t* usbType, std::uint8_t* antenna,
                        std::uint8_t* status);
// 0x261 (in 8, out 14): port-replicator firmware bytes 8-11 and the 16-bit value at 12.
int GetPortReplicatorFirmware_261(CMiscCommon& session, std::uint8_t bytes[4], std::uint16_t* value,
                                  std::uint8_t* status);
// 0x270 (in 20): thermal sub-function (1 mask, 2 sensor reading, 3 control mask, 4 mode) with an
// index; four 16-bit results at 12-18.
int GetThermalValue_270(CMiscCommon& session, std::uint16_t subFunction, std::uint16_t index,
                        std::uint16_t results[4], std::uint8_t* status);
// 0x293 (in 10): battery-bay configuration / health support bits (16 bits at 8).
int GetBatteryBayConfiguration_293(CMiscCommon& session, std::uint16_t* bits, std::uint8_t* status);
// 0x2A0 (in 10): fan-control marks (bytes 8 and 9).
int GetFanMarks_2A0(CMiscCommon& session, std::uint8_t marks[2], std::uint8_t* status);
// 0x2A1 (in 8, out 10): fan-control value (16 bits at 8).
int GetFanControl_2A1(CMiscCommon& session, std::uint16_t* value, std::uint8_t* status);
// 0x2B0 (in 8, out 16): Intel ME firmware version, four 16-bit numbers at 8-14.
int GetMeFirmwareVersion_2B0(CMiscCommon& session, std::uint16_t version[4], std::uint8_t* status);
// 0x2E0 (in 12, 32-bit argument at 8): HOLD button bytes 9-11 (auto-cancel, HOLD flags, one more).
int GetHoldButton_2E0(CMiscCommon& session, std::uint32_t argument, std::uint8_t bytes[3], std::uint8_t* status);
// 0xC07 (in 8, out 9): antenna kind (byte 8; 0 = single).
int GetAntennaKind_C07(CMiscCommon& session, std::uint8_t* kind, std::uint8_t* status);
// 0x1060 (in 8, out 10): boot-order kind (16 bits at 8; 770 = legacy order available).
int GetBootOrderKind_1060(CMiscCommon& session, std::uint16_t* value, std::uint8_t* status);
// 0x1061 (in 10, out 18): boot table layout: priority count, device count, priority entry size,
// device entry size (16 bits at 10, 12, 14, 16).
int GetBootTableLayout_1061(CMiscCommon& session, std::uint16_t layout[4], std::uint8_t* status);
// 0x304 (10-byte header + data, layout assumed): the password data block.
int GetPasswordData_304(CMiscCommon& session, void* data, std::uint32_t* dataSize, std::uint8_t* status);
// 0x304-0x30E (10-byte header + data, layout assumed): exchanges the data block of `function`;
// any other function number gives 3.
int ExchangeFirmwareData_30x(CMiscCommon& session, std::uint16_t function, void* data, std::uint32_t* dataSize,
                             std::uint8_t* status);

// Builds the 32-byte form for `function` and `argument` into `packet` (32 bytes); exposed for tests.
void BuildLongPacket(std::uint8_t packet[32], std::uint16_t function, std::uint32_t argument);

}  // namespace MiscCommon
