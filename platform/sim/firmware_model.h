// The simulated notebook's firmware as the Mirelta Misc Driver reaches it: Misc function packets,
// the 128-byte model record, the boot-priority tables and the BIOS extension tables, all taken
// from the "miscDriver" section of machine.json (machines/README.md).
//
// A Misc packet: bytes 0-1 function number, 2-3 input length, 4-5 output length, parameters from
// byte 6. The answer is the packet of output-length bytes with the status in byte 0. Statuses:
//   0x00 done                     0x04 busy, try again          0x05 the data area is too small
//   0x80 unknown function         0x81 malformed packet (lengths or 32-byte form markers)
//   0x82 unknown argument (setting number, register, battery slot, sensor, device, ...)
//
// Every function is served from the function table (firmware_functions.h): its arguments are read
// from their places in the request and answered from the snapshot's data (firmware_data.h).
// Odd answers need no code: a snapshot's "functions" entry answers fixed bytes, optionally only
// for requests whose bytes match, ahead of the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/firmware_data.h"
#include "platform/sim/firmware_functions.h"

namespace quarro::platform::sim {

inline constexpr std::size_t kModelRecordSize = 128;
inline constexpr std::size_t kBootPriorityAreaSize = 65536;
// Status word, the priority area, the device table area.
inline constexpr std::size_t kBootPriorityReplySize = 4 + 2 * kBootPriorityAreaSize;

// An answer of fixed bytes: `status` (0 unless told) with `bytes` written at their offsets, for
// requests whose bytes equal `match` at its offsets (an empty `match` takes every request). A
// matching packet whose input is shorter than `minIn`, or whose output cannot hold every byte, is
// answered with status 0x81 or 0x05.
struct FixedAnswer {
    std::map<std::size_t, std::vector<std::uint8_t>> match;
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
    // The next call of `function` answers status 5 with `neededSize` as a 16-bit value in the
    // function's data-length field, byte 20 for functions without one (when the reply reaches).
    void InjectTooSmall(std::uint16_t function, std::uint16_t neededSize);
    // The next `count` boot-priority requests (get or set) answer status 4.
    void InjectBootPriorityBusy(int count) { bootPriorityBusy_ = count; }

    // The snapshot's data behind the function table; tests may change it between requests.
    FirmwareData& Data() { return data_; }
    std::map<std::uint32_t, FirmwareSetting>& Settings() { return data_.settings; }
    std::map<std::uint32_t, std::uint8_t>& EcRegisters() { return data_.ec; }
    // Fixed answers by function, tried in order before the table.
    std::map<std::uint16_t, std::vector<FixedAnswer>>& FixedAnswers() { return fixed_; }
    std::vector<std::uint8_t>& MutableModelRecord() { return modelRecord_; }
    std::map<std::uint16_t, std::vector<std::uint8_t>>& BiosExtensionTables() { return extensionTables_; }
    // The stored priority list (65536 bytes) and device table (65536 bytes).
    const std::vector<std::uint8_t>& BootPriorityList() const { return bootPriority_; }
    const std::vector<std::uint8_t>& BootDeviceTable() const { return bootTable_; }
    // Function numbers in the order their packets were answered.
    const std::vector<std::uint16_t>& AnsweredFunctions() const { return answered_; }
    // What the snapshot section held that could not be used.
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    FirmwareData data_;
    std::map<std::uint16_t, std::vector<FixedAnswer>> fixed_;
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

}  // namespace quarro::platform::sim
