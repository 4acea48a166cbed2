// The simulated notebook's firmware as the Mirelta Misc Driver reaches it: Misc function packets
// answered by function number, the 128-byte model record, the boot-priority tables and the BIOS
// extension tables, all taken from the "miscDriver" section of machine.json (machines/README.md).
//
// A Misc packet: bytes 0-1 function number, 2-3 input length, 4-5 output length, parameters from
// byte 6. The answer is the packet of output-length bytes with the status in byte 0. Statuses:
//   0x00 done                     0x04 busy, try again          0x05 the data area is too small
//   0x80 unknown function         0x81 malformed packet (lengths or 32-byte form markers)
//   0x82 unknown argument (setting number, controller address)
//
// Functions are served from one table (kMiscFunctions in firmware_model.cpp): a function with its
// own logic is one row naming its form, minimum lengths and handler. Functions whose answer is a
// fixed set of bytes need no code at all: they are listed under "functions" in machine.json.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quarro::platform::sim {

inline constexpr std::uint8_t kMiscStatusDone = 0x00;
inline constexpr std::uint8_t kMiscStatusBusy = 0x04;
inline constexpr std::uint8_t kMiscStatusTooSmall = 0x05;
inline constexpr std::uint8_t kMiscStatusUnknownFunction = 0x80;
inline constexpr std::uint8_t kMiscStatusMalformed = 0x81;
inline constexpr std::uint8_t kMiscStatusBadArgument = 0x82;

inline constexpr std::size_t kMiscPacketHeaderSize = 6;
inline constexpr std::size_t kModelRecordSize = 128;
inline constexpr std::size_t kBootPriorityAreaSize = 65536;
// Status word, the priority area, the device table area.
inline constexpr std::size_t kBootPriorityReplySize = 4 + 2 * kBootPriorityAreaSize;

// One setting of Misc function 0x10C: its number of meaningful bits and its raw value (the
// firmware hands the value over as it stands; the caller masks it to the meaningful bits).
struct FirmwareSetting {
    std::uint32_t bits = 0;
    std::uint32_t value = 0;
};

// An answer of fixed bytes: `status` (0 unless told) with `bytes` written at their offsets. A
// packet whose input is shorter than `minIn`, or whose output cannot hold every byte, is answered
// with status 0x81 or 0x05.
struct FixedAnswer {
    std::uint16_t minIn = kMiscPacketHeaderSize;
    std::uint8_t status = kMiscStatusDone;
    std::map<std::size_t, std::vector<std::uint8_t>> bytes;
};

class FirmwareModel {
public:
    FirmwareModel();
    // Reads the "miscDriver" section (null or not an object: an empty firmware). Malformed entries
    // are skipped and noted in Problems().
    explicit FirmwareModel(const nlohmann::json* section);

    // Answers one packet. `request` holds the packet's input bytes; the result is the reply of
    // exactly the packet's output length (the request's bytes, zero-extended, with the function's
    // results written over them and the status in byte 0). A packet too short for its own header
    // is answered with a 6-byte reply of status 0x81 (or fewer bytes when its output length says so).
    std::vector<std::uint8_t> Answer(const std::uint8_t* request, std::size_t size);

    // The 128-byte model record.
    const std::vector<std::uint8_t>& ModelRecord() const { return modelRecord_; }
    // The 131076-byte reply of BootPriorityGetPriorityAndTable (status in byte 0).
    std::vector<std::uint8_t> BootPriorityReply();
    // Stores a new priority list (exactly 65536 bytes); the status byte of the reply.
    std::uint8_t SetBootPriority(const std::uint8_t* list, std::size_t size);
    // A BIOS extension table, false when the firmware has none of that number.
    bool BiosExtensionTable(std::uint16_t number, std::vector<std::uint8_t>* bytes) const;

    // --- test controls -------------------------------------------------------------------------
    // The next `count` calls of `function` answer status 4 (busy).
    void InjectBusy(std::uint16_t function, int count);
    // The next call of `function` answers status 5 with `neededSize` as a 16-bit value at byte 20
    // (when the reply reaches that far).
    void InjectTooSmall(std::uint16_t function, std::uint16_t neededSize);
    // The next `count` boot-priority requests (get or set) answer status 4.
    void InjectBootPriorityBusy(int count) { bootPriorityBusy_ = count; }

    std::map<std::uint32_t, FirmwareSetting>& Settings() { return settings_; }
    std::map<std::uint32_t, std::uint8_t>& EcRegisters() { return ec_; }
    std::map<std::uint16_t, FixedAnswer>& FixedAnswers() { return fixed_; }
    std::vector<std::uint8_t>& MutableModelRecord() { return modelRecord_; }
    std::map<std::uint16_t, std::vector<std::uint8_t>>& BiosExtensionTables() { return extensionTables_; }
    // The stored priority list (65536 bytes) and device table (65536 bytes).
    const std::vector<std::uint8_t>& BootPriorityList() const { return bootPriority_; }
    const std::vector<std::uint8_t>& BootDeviceTable() const { return bootTable_; }
    // Function numbers in the order their packets were answered.
    const std::vector<std::uint16_t>& AnsweredFunctions() const { return answered_; }
    // What the snapshot section held that could not be used.
    const std::vector<std::string>& Problems() const { return problems_; }

    // The handler behind one function that has its own logic. It gets the reply (output-length
    // bytes, pre-filled from the request) and the request's input length, and returns the status.
    using Handler = std::uint8_t (*)(FirmwareModel& firmware, std::vector<std::uint8_t>& packet, std::size_t inSize);

private:
    friend struct FirmwareHandlers;

    std::map<std::uint32_t, FirmwareSetting> settings_;
    std::map<std::uint32_t, std::uint8_t> ec_;
    std::map<std::uint16_t, FixedAnswer> fixed_;
    std::vector<std::uint8_t> modelRecord_;
    std::vector<std::uint8_t> bootPriority_;
    std::vector<std::uint8_t> bootTable_;
    std::uint8_t bootStatus_ = 0;
    int bootPriorityBusy_ = 0;
    std::map<std::uint16_t, std::vector<std::uint8_t>> extensionTables_;
    std::map<std::uint16_t, int> busy_;
    std::map<std::uint16_t, std::uint16_t> tooSmall_;
    std::vector<std::uint16_t> answered_;
    std::vector<std::string> problems_;
};

// Helpers shared with the driver and the snapshot readers.
// Parses "0x1F" (hexadecimal) or "31" (decimal); false for anything else.
bool ParseNumber(const std::string& text, std::uint32_t* value);
// Parses hexadecimal text ("0A 0b-0C" — blanks, '-' and ':' between bytes are ignored).
bool ParseHex(const std::string& text, std::vector<std::uint8_t>* bytes);

}  // namespace quarro::platform::sim
