#include "common/misc_functions.h"

#include <cstring>
#include <new>

#include "base/little_endian.h"
#include "crypto/sha1.h"

namespace MiscCommon {

namespace {

using quarro::bytes::Load16;
using quarro::bytes::Load32;
using quarro::bytes::Store16;
using quarro::bytes::Store32;

constexpr std::uint32_t kLongForm = 32;
constexpr std::uint32_t kLongFormMark = 0x90;

// A compact or 32-byte packet on the stack.
struct Packet {
    std::uint8_t bytes[kLongForm] = {};
    std::uint32_t size = 0;

    // Compact form: `in` bytes go out, `out` bytes may come back.
    Packet(std::uint16_t function, std::uint16_t in, std::uint16_t out) {
        size = in > out ? in : out;
        Store16(bytes, function);
        Store16(bytes + 2, in);
        Store16(bytes + 4, out);
    }
    // 32-byte form.
    Packet(std::uint16_t function, std::uint32_t argument) {
        size = kLongForm;
        BuildLongPacket(bytes, function, argument);
    }
};

// Sends the packet; on success hands out the status byte and tells whether results may be read.
int Call(CMiscCommon& session, std::uint8_t* packet, std::uint32_t size, std::uint8_t* status, bool* answered) {
    *answered = false;
    const int code = session.CallMiscFunction(packet, size, kWrapperRetries, kWrapperPauseMs);
    if (code != kMiscSuccess) return code;
    if (status) *status = packet[0];
    *answered = packet[0] == kStatusDone;
    return code;
}

int Call(CMiscCommon& session, Packet& packet, std::uint8_t* status, bool* answered) {
    return Call(session, packet.bytes, packet.size, status, answered);
}

// The 16-bit words of the battery functions 0x243, 0x244, 0x246.
int BatteryWord(CMiscCommon& session, std::uint16_t function, std::uint16_t batterySlot, std::uint16_t* value,
                std::uint8_t* status) {
    Packet p(function, 12, 12);
    Store16(p.bytes + 8, batterySlot);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && value) *value = Load16(p.bytes + 8);
    return code;
}

// A data-carrying packet on the heap, wiped before it is freed.
class DataPacket {
public:
    DataPacket(std::uint32_t header, std::uint32_t room)
        : size_(header + room), bytes_(size_ <= 0xFFFF ? new (std::nothrow) std::uint8_t[size_]() : nullptr) {}
    ~DataPacket() {
        if (bytes_) quarro::crypto::SecureZero(bytes_, size_);
        delete[] bytes_;
    }
    DataPacket(const DataPacket&) = delete;
    DataPacket& operator=(const DataPacket&) = delete;
    std::uint8_t* get() const { return bytes_; }
    std::uint32_t size() const { return size_; }

private:
    std::uint32_t size_;
    std::uint8_t* bytes_;
};

constexpr std::uint32_t kMaxPacketBytes = 0xFFFF;

// Shared body of the data-carrying functions. `lengthOffset` is the 16-bit data-length field;
// `sendData` sends the caller's data (input length = whole packet) or only the header.
// `prepare` fills the function's own header fields.
template <typename Prepare, typename Collect>
int DataCall(CMiscCommon& session, std::uint16_t function, std::uint32_t header, std::uint32_t lengthOffset,
             bool sendData, void* data, std::uint32_t* dataSize, std::uint8_t* status, Prepare prepare,
             Collect collect) {
    if (!dataSize) return kMiscInvalidArgument;
    const std::uint32_t room = *dataSize;
    if (room != 0 && !data) return kMiscInvalidArgument;
    if (room > kMaxPacketBytes - header) return kMiscInvalidArgument;
    DataPacket packet(header, room);
    if (!packet.get()) return kMiscNoMemory;
    std::uint8_t* p = packet.get();
    Store16(p, function);
    Store16(p + 2, static_cast<std::uint16_t>(sendData ? packet.size() : header));
    Store16(p + 4, static_cast<std::uint16_t>(packet.size()));
    Store16(p + lengthOffset, static_cast<std::uint16_t>(room));
    prepare(p);
    if (sendData && room) std::memcpy(p + header, data, room);

    const int code = session.CallMiscFunction(p, packet.size(), kWrapperRetries, kWrapperPauseMs);
    if (code != kMiscSuccess) return code;
    const std::uint8_t result = p[0];
    if (status) *status = result;
    if (result == kStatusTooSmall) {
        *dataSize = Load16(p + lengthOffset);
    } else if (result == kStatusDone) {
        const std::uint32_t reported = Load16(p + lengthOffset);
        const std::uint32_t copy = reported < room ? reported : room;
        if (copy) std::memcpy(data, p + header, copy);
        *dataSize = reported;
        collect(p);
    }
    return code;
}

}  // namespace

void BuildLongPacket(std::uint8_t packet[32], std::uint16_t function, std::uint32_t argument) {
    std::memset(packet, 0, kLongForm);
    Store16(packet, function);
    Store16(packet + 2, kLongForm);
    Store16(packet + 4, kLongForm);
    Store32(packet + 8, kLongFormMark);
    Store32(packet + 12, argument);
    Store32(packet + 16, static_cast<std::uint32_t>(function) << 16 | kLongFormMark);
}

int GetSetupValue_10C(CMiscCommon& session, std::uint32_t setting, std::uint32_t* value, std::uint8_t* bits,
                      std::uint8_t* status) {
    Packet p(0x10C, setting);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered) {
        const std::uint8_t count = p.bytes[12];
        std::uint32_t result = Load32(p.bytes + 20);
        if (count < 32) result &= (static_cast<std::uint32_t>(1) << count) - 1;
        if (value) *value = result;
        if (bits) *bits = count;
    }
    return code;
}

int GetEnvironmentControl_10F(CMiscCommon& session, std::uint8_t argument, std::uint8_t* result,
                              std::uint8_t* status) {
    Packet p(0x10F, 10, 10);
    p.bytes[8] = argument;
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && result) *result = p.bytes[8];
    return code;
}

int GetOperatingTime_110(CMiscCommon& session, std::uint8_t* flags, std::uint32_t* hours, std::uint32_t* second,
                         std::uint8_t* status) {
    Packet p(0x110, 18, 18);
    p.bytes[8] = 0;  // read
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered) {
        if (flags) *flags = p.bytes[9];
        if (hours) *hours = Load32(p.bytes + 10);
        if (second) *second = Load32(p.bytes + 14);
    }
    return code;
}

int GetDeviceEntry_111(CMiscCommon& session, std::uint16_t device, std::uint16_t instance, void* data,
                       std::uint32_t* dataSize, std::uint16_t values[4], std::uint8_t* status) {
    return DataCall(
        session, 0x111, 22, 20, false, data, dataSize, status,
        [&](std::uint8_t* p) {
            Store16(p + 8, device);
            Store16(p + 10, instance);
        },
        [&](const std::uint8_t* p) {
            if (values) {
                for (int i = 0; i < 4; ++i) values[i] = Load16(p + 12 + 2 * i);
            }
        });
}

int ExchangeDeviceData_114(CMiscCommon& session, std::uint16_t item, std::uint16_t subItem, void* data,
                           std::uint32_t* dataSize, std::uint8_t* status) {
    return DataCall(
        session, 0x114, 14, 12, true, data, dataSize, status,
        [&](std::uint8_t* p) {
            Store16(p + 8, item);
            Store16(p + 10, subItem);
        },
        [](const std::uint8_t*) {});
}

int GetBiosConfiguration_115(CMiscCommon& session, bool extended, std::uint16_t values[3], std::uint8_t* status) {
    const std::uint16_t length = extended ? 16 : 14;
    Packet p(0x115, length, length);
    Store16(p.bytes + 8, extended ? 1 : 0);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && values) {
        values[0] = Load16(p.bytes + 10);
        values[1] = Load16(p.bytes + 12);
        values[2] = extended ? Load16(p.bytes + 14) : 0;
    }
    return code;
}

int GetEcVersion_20F(CMiscCommon& session, std::uint8_t version[5], std::uint8_t* status) {
    Packet p(0x20F, 8, 14);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && version) std::memcpy(version, p.bytes + 9, 5);
    return code;
}

int ReadEcRegister_210(CMiscCommon& session, std::uint32_t address, std::uint8_t* value, std::uint8_t* status) {
    Packet p(0x210, address);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && value) *value = p.bytes[20];
    return code;
}

int RunEcCommand_215(CMiscCommon& session, const std::uint8_t arguments[4], std::uint8_t results[4],
                     std::uint8_t* status) {
    if (!arguments) return kMiscInvalidArgument;
    Packet p(0x215, Load32(arguments));
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && results) std::memcpy(results, p.bytes + 20, 4);
    return code;
}

int GetFeatureLevel_21A(CMiscCommon& session, std::uint8_t* level, std::uint8_t* status) {
    Packet p(0x21A, 8, 9);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && level) *level = p.bytes[8];
    return code;
}

int GetFeatureFlags_21B(CMiscCommon& session, std::uint8_t argument, std::uint8_t* flags, std::uint8_t* status) {
    Packet p(0x21B, 9, 9);
    p.bytes[8] = argument;
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && flags) *flags = p.bytes[8];
    return code;
}

int RunFirmwareCommand_21E(CMiscCommon& session, const std::uint8_t arguments[4], std::uint8_t results[4],
                           std::uint8_t* status) {
    if (!arguments) return kMiscInvalidArgument;
    Packet p(0x21E, 12, 12);
    std::memcpy(p.bytes + 8, arguments, 4);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && results) std::memcpy(results, p.bytes + 8, 4);
    return code;
}

int GetMemorySlotCount_220(CMiscCommon& session, std::uint8_t* count, std::uint8_t* status) {
    Packet p(0x220, 0u);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && count) *count = p.bytes[12];
    return code;
}

int GetMemorySlotInfo_221(CMiscCommon& session, std::uint32_t slot, std::uint32_t* info, std::uint8_t* status) {
    Packet p(0x221, slot);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && info) *info = Load32(p.bytes + 12);
    return code;
}

int ReadMemorySpd_222(CMiscCommon& session, std::uint8_t slot, std::uint32_t offset, std::uint8_t data[16],
                      std::uint8_t* status) {
    Packet p(0x222, (offset << 8) | slot);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && data) {
        std::memcpy(data, p.bytes + 8, 4);
        std::memcpy(data + 4, p.bytes + 20, 12);
    }
    return code;
}

int GetBatteryReferenceDate_230(CMiscCommon& session, std::uint16_t argument, std::uint16_t packedDate,
                                std::uint16_t* resultDate, std::uint8_t* status) {
    Packet p(0x230, static_cast<std::uint32_t>(packedDate) << 16 | argument);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && resultDate) *resultDate = Load16(p.bytes + 30);
    return code;
}

int GetBatteryState_232(CMiscCommon& session, std::uint16_t first, std::uint16_t second, std::uint32_t* result,
                        std::uint8_t* status) {
    Packet p(0x232, 12, 12);
    Store16(p.bytes + 8, first);
    Store16(p.bytes + 10, second);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && result) *result = Load32(p.bytes + 8);
    return code;
}

int GetEnvironmentStatus_240(CMiscCommon& session, std::uint8_t bytes[2], std::uint8_t* status) {
    Packet p(0x240, 10, 10);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && bytes) std::memcpy(bytes, p.bytes + 8, 2);
    return code;
}

int GetBatteryManufactureDate_242(CMiscCommon& session, std::uint16_t batterySlot, std::uint16_t* packedDate,
                                  std::uint8_t* status) {
    Packet p(0x242, 10, 12);
    Store16(p.bytes + 8, batterySlot);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && packedDate) *packedDate = Load16(p.bytes + 10);
    return code;
}

int GetBatteryTemperature_243(CMiscCommon& session, std::uint16_t batterySlot, std::uint16_t* value,
                              std::uint8_t* status) {
    return BatteryWord(session, 0x243, batterySlot, value, status);
}

int GetBatteryChargeIndex_244(CMiscCommon& session, std::uint16_t batterySlot, std::uint16_t* value,
                              std::uint8_t* status) {
    return BatteryWord(session, 0x244, batterySlot, value, status);
}

int GetBatterySerialNumber_246(CMiscCommon& session, std::uint16_t batterySlot, std::uint16_t* value,
                               std::uint8_t* status) {
    return BatteryWord(session, 0x246, batterySlot, value, status);
}

int GetDockingState_260(CMiscCommon& session, std::uint8_t* state, std::uint8_t* usbType, std::uint8_t* antenna,
                        std::uint8_t* status) {
    Packet p(0x260, 8, 11);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered) {
        if (state) *state = p.bytes[8];
        if (usbType) *usbType = p.bytes[9];
        if (antenna) *antenna = p.bytes[10];
    }
    return code;
}

int GetPortReplicatorFirmware_261(CMiscCommon& session, std::uint8_t bytes[4], std::uint16_t* value,
                                  std::uint8_t* status) {
    Packet p(0x261, 8, 14);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered) {
        if (bytes) std::memcpy(bytes, p.bytes + 8, 4);
        if (value) *value = Load16(p.bytes + 12);
    }
    return code;
}

int GetThermalValue_270(CMiscCommon& session, std::uint16_t subFunction, std::uint16_t index,
                        std::uint16_t results[4], std::uint8_t* status) {
    Packet p(0x270, 20, 20);
    Store16(p.bytes + 8, subFunction);
    Store16(p.bytes + 10, index);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && results) {
        for (int i = 0; i < 4; ++i) results[i] = Load16(p.bytes + 12 + 2 * i);
    }
    return code;
}

int GetBatteryBayConfiguration_293(CMiscCommon& session, std::uint16_t* bits, std::uint8_t* status) {
    Packet p(0x293, 10, 10);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && bits) *bits = Load16(p.bytes + 8);
    return code;
}

int GetFanMarks_2A0(CMiscCommon& session, std::uint8_t marks[2], std::uint8_t* status) {
    Packet p(0x2A0, 10, 10);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && marks) std::memcpy(marks, p.bytes + 8, 2);
    return code;
}

int GetFanControl_2A1(CMiscCommon& session, std::uint16_t* value, std::uint8_t* status) {
    Packet p(0x2A1, 8, 10);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && value) *value = Load16(p.bytes + 8);
    return code;
}

int GetMeFirmwareVersion_2B0(CMiscCommon& session, std::uint16_t version[4], std::uint8_t* status) {
    Packet p(0x2B0, 8, 16);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && version) {
        for (int i = 0; i < 4; ++i) version[i] = Load16(p.bytes + 8 + 2 * i);
    }
    return code;
}

int GetHoldButton_2E0(CMiscCommon& session, std::uint32_t argument, std::uint8_t bytes[3], std::uint8_t* status) {
    Packet p(0x2E0, 12, 12);
    Store32(p.bytes + 8, argument);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && bytes) std::memcpy(bytes, p.bytes + 9, 3);
    return code;
}

int GetAntennaKind_C07(CMiscCommon& session, std::uint8_t* kind, std::uint8_t* status) {
    Packet p(0xC07, 8, 9);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && kind) *kind = p.bytes[8];
    return code;
}

int GetBootOrderKind_1060(CMiscCommon& session, std::uint16_t* value, std::uint8_t* status) {
    Packet p(0x1060, 8, 10);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && value) *value = Load16(p.bytes + 8);
    return code;
}

int GetBootTableLayout_1061(CMiscCommon& session, std::uint16_t layout[4], std::uint8_t* status) {
    Packet p(0x1061, 10, 18);
    bool answered = false;
    const int code = Call(session, p, status, &answered);
    if (answered && layout) {
        for (int i = 0; i < 4; ++i) layout[i] = Load16(p.bytes + 10 + 2 * i);
    }
    return code;
}

int ExchangeFirmwareData_30x(CMiscCommon& session, std::uint16_t function, void* data, std::uint32_t* dataSize,
                             std::uint8_t* status) {
    if (function < 0x304 || function > 0x30E) return kMiscInvalidArgument;
    return DataCall(
        session, function, 10, 8, true, data, dataSize, status, [](std::uint8_t*) {}, [](const std::uint8_t*) {});
}

int GetPasswordData_304(CMiscCommon& session, void* data, std::uint32_t* dataSize, std::uint8_t* status) {
    return ExchangeFirmwareData_30x(session, 0x304, data, dataSize, status);
}

}  // namespace MiscCommon
