// What the simulated firmware knows, keyed the way Misc requests address it: settings by number,
// built-in devices by number and instance, embedded-controller registers by address, batteries by
// slot index, thermal sensors by index, memory slots with their SPD bytes, and the few single
// values (versions, docking state, boot-order layout). Read from the "miscDriver" section of
// machine.json (machines/README.md); the packet layouts live in firmware_functions.h, never here.
//
// A value left out of the snapshot is a function the firmware does not have (it answers 0x80); a
// keyed table that lacks the key asked for answers 0x82 (unknown argument).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace quarro::platform::sim {

// One setting of Misc function 0x10C: its number of meaningful bits and its raw value (the
// firmware hands the value over as it stands; the caller masks it to the meaningful bits).
struct FirmwareSetting {
    std::uint32_t bits = 0;
    std::uint32_t value = 0;
};

// One instance of a built-in device (0x111): its state word, two further words the firmware
// keeps, and its name data (tagged strings, encoded as in EncodeDeviceNames).
struct DeviceInstance {
    std::uint16_t state = 0;
    std::array<std::uint16_t, 2> extra = {};
    std::vector<std::uint8_t> names;
    // The size the firmware reports when the caller's room is too small; 0: the real size.
    std::uint16_t reportedSize = 0;
};

// One battery slot (0x230, 0x232, 0x242-0x246, 0x293). Dates are packed: (year - 1980) * 512 +
// month * 32 + day.
struct BatteryData {
    std::uint16_t temperature = 0;  // tenths of a kelvin
    std::uint16_t chargeIndex = 0;
    std::uint16_t serialNumber = 0;
    std::uint16_t manufactureDate = 0;
    std::uint16_t referenceDate = 0;
    std::map<std::uint16_t, std::uint32_t> states;  // 0x232 words by its second argument (0: status)
    std::uint8_t healthSupport = 0;  // the slot's 2-bit field of 0x293
};

// One thermal sensor (0x270 sub-function 2): reading and trip points, tenths of a kelvin.
struct ThermalSensor {
    std::uint16_t reading = 0;
    std::uint16_t passive = 0;
    std::uint16_t critical = 0;
};

struct ThermalData {
    std::map<std::uint16_t, ThermalSensor> sensors;  // by sensor index
    std::uint16_t controlMask = 0;                    // sub-function 3
    std::uint16_t mode = 0;                           // sub-function 4
};

// One memory slot (0x221, 0x222): flag byte, 16-bit value, SPD bytes from offset 0.
struct MemorySlot {
    std::uint8_t flags = 0;
    std::uint16_t value = 0;
    std::vector<std::uint8_t> spd;
};

struct BiosConfiguration {
    std::uint16_t value = 0;  // 0x115 short form: first value
    std::uint16_t flags = 0;  //                   flag word
    std::optional<std::array<std::uint16_t, 3>> extended;  // 0x115 extended form
};

struct OperatingTime {
    std::uint8_t flags = 0;
    std::uint32_t hours = 0;
    std::uint32_t second = 0;
};

struct DockingState {
    std::uint8_t state = 0;  // 1 = docked
    std::uint8_t usbType = 0;
    std::uint8_t antenna = 0;
};

struct PortReplicatorFirmware {
    std::array<std::uint8_t, 4> bytes = {};
    std::uint16_t value = 0;
};

struct HoldButton {
    std::uint8_t autoCancel = 0;
    std::uint8_t flags = 0;
    std::uint8_t extra = 0;
};

struct UefiBootEntry {
    std::uint16_t value = 0;
    std::uint8_t flag = 0;  // 0: the value is valid
};

struct FirmwareData {
    std::map<std::uint32_t, FirmwareSetting> settings;                    // 0x10C
    std::map<std::uint8_t, std::uint8_t> environmentControl;              // 0x10F by argument
    std::optional<OperatingTime> operatingTime;                           // 0x110
    std::map<std::uint16_t, std::vector<DeviceInstance>> deviceTable;     // 0x111 by device, instance
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::vector<std::uint8_t>> deviceData;  // 0x114
    std::optional<BiosConfiguration> biosConfiguration;                   // 0x115
    std::optional<std::array<std::uint8_t, 5>> ecVersion;                 // 0x20F
    std::map<std::uint32_t, std::uint8_t> ec;                             // 0x210 by register
    std::map<std::uint32_t, std::uint32_t> ecCommands;                    // 0x215: argument bytes -> result bytes
    std::optional<std::uint8_t> featureLevel;                             // 0x21A
    std::map<std::uint8_t, std::uint8_t> featureFlags;                    // 0x21B by argument
    std::map<std::uint32_t, std::uint32_t> firmwareCommands;              // 0x21E: argument bytes -> result bytes
    std::optional<std::vector<MemorySlot>> memorySlots;                   // 0x220-0x222
    std::map<std::uint16_t, BatteryData> batteries;                       // by slot index
    std::optional<std::array<std::uint8_t, 2>> environmentStatus;         // 0x240
    std::optional<DockingState> docking;                                  // 0x260
    std::optional<PortReplicatorFirmware> portReplicatorFirmware;         // 0x261
    std::optional<ThermalData> thermal;                                   // 0x270
    std::optional<std::array<std::uint8_t, 2>> fanMarks;                  // 0x2A0
    std::optional<std::uint16_t> fanControl;                              // 0x2A1
    std::optional<std::array<std::uint16_t, 4>> meFirmware;               // 0x2B0
    std::map<std::uint32_t, HoldButton> holdButton;                       // 0x2E0 by argument
    std::optional<std::uint8_t> antennaKind;                              // 0xC07
    std::map<std::uint16_t, UefiBootEntry> uefiBoot;                      // 0x1001 by boot kind
    std::optional<std::uint16_t> bootOrderKind;                           // 0x1060
    std::optional<std::array<std::uint16_t, 4>> bootLayout;               // 0x1061
    std::map<std::uint16_t, std::vector<std::uint8_t>> dataBlocks;        // 0x304-0x30E by function

    // The data blocks the caller sent with the exchanging functions (0x114, 0x304-0x30E), by
    // function number: the last one of each.
    std::map<std::uint16_t, std::vector<std::uint8_t>> received;
};

// Reads the data keys of a "miscDriver" section into `data` (keys it does not know are left to
// the caller). Unusable entries are skipped and described in `problems`.
void ReadFirmwareData(const nlohmann::json* section, FirmwareData* data, std::vector<std::string>* problems);

// The name data of a device instance: entries of tag (1 byte), byte length n (1 byte) and n bytes
// of text, with no terminator. Tags 1-3 carry ANSI text, tags 4 and 5 UTF-16LE text.
struct DeviceName {
    std::uint8_t tag = 0;
    std::vector<std::uint8_t> text;  // already in the tag's encoding, at most 255 bytes
};
std::vector<std::uint8_t> EncodeDeviceNames(const std::vector<DeviceName>& names);

// Packs a date for the battery functions; 0 when it cannot be packed (year 1980-2107).
std::uint16_t PackDate(int year, int month, int day);

// Parses "0x1F" (hexadecimal) or "31" (decimal); false for anything else.
bool ParseNumber(const std::string& text, std::uint32_t* value);
// Parses hexadecimal text ("0A 0b-0C" — blanks, '-' and ':' between bytes are ignored).
bool ParseHex(const std::string& text, std::vector<std::uint8_t>* bytes);

// JSON helpers shared by the firmware's snapshot readers.
namespace json_read {
// A JSON number or number text ("0x1F", "31") no larger than `max`.
bool Number(const nlohmann::json& value, std::uint32_t max, std::uint32_t* out);
// Hexadecimal text.
bool Hex(const nlohmann::json& value, std::vector<std::uint8_t>* out);
// The member `name` of an object, null when absent, JSON null, or `object` is not an object.
const nlohmann::json* Member(const nlohmann::json* object, const char* name);
}  // namespace json_read

}  // namespace quarro::platform::sim
