#include "platform/sim/firmware_functions.h"

#include <algorithm>

#include "base/little_endian.h"

namespace quarro::platform::sim {

namespace {

constexpr std::uint8_t kDone = kMiscStatusDone;
constexpr std::uint8_t kAbsent = kMiscStatusUnknownFunction;
constexpr std::uint8_t kBadArgument = kMiscStatusBadArgument;

constexpr std::size_t kLong32Size = 32;
constexpr std::uint32_t kLong32Mark = 0x90;
constexpr std::size_t kSpdChunk = 16;

// ---- Handlers: argument values in, result values out ----------------------------------------

template <typename T>
std::uint8_t Single(const std::optional<T>& value, MiscCall& call) {
    if (!value) return kAbsent;
    call.results[0] = *value;
    return kDone;
}

template <typename Map>
std::uint8_t Keyed(const Map& map, std::uint32_t key, MiscCall& call) {
    auto it = map.find(static_cast<typename Map::key_type>(key));
    if (it == map.end() || it->first != key) return kBadArgument;
    call.results[0] = it->second;
    return kDone;
}

template <typename T, std::size_t N>
std::uint8_t Each(const std::optional<std::array<T, N>>& values, MiscCall& call) {
    if (!values) return kAbsent;
    std::copy(values->begin(), values->end(), call.results.begin());
    return kDone;
}

const BatteryData* Battery(const FirmwareData& fw, std::uint32_t slot) {
    auto it = fw.batteries.find(static_cast<std::uint16_t>(slot));
    return it == fw.batteries.end() || slot > 0xFFFF ? nullptr : &it->second;
}

std::uint8_t Setting(FirmwareData& fw, MiscCall& call) {
    auto it = fw.settings.find(call.args[0]);
    if (it == fw.settings.end()) return kBadArgument;
    call.results[0] = it->second.bits;
    call.results[1] = it->second.value;
    return kDone;
}

std::uint8_t EnvironmentControl(FirmwareData& fw, MiscCall& call) {
    return Keyed(fw.environmentControl, call.args[0], call);
}

std::uint8_t OperatingTime(FirmwareData& fw, MiscCall& call) {
    if (!fw.operatingTime) return kAbsent;
    if (call.args[0] != 0) return kBadArgument;  // only reading is served
    call.results = {fw.operatingTime->flags, fw.operatingTime->hours, fw.operatingTime->second};
    return kDone;
}

std::uint8_t DeviceEntry(FirmwareData& fw, MiscCall& call) {
    auto device = fw.deviceTable.find(static_cast<std::uint16_t>(call.args[0]));
    if (device == fw.deviceTable.end() || call.args[1] >= device->second.size()) return kBadArgument;
    const DeviceInstance& instance = device->second[call.args[1]];
    call.results = {instance.state, static_cast<std::uint32_t>(device->second.size()), instance.extra[0],
                    instance.extra[1]};
    call.dataOut = instance.names;
    call.reportedSize = instance.reportedSize;
    return kDone;
}

std::uint8_t DeviceData(FirmwareData& fw, MiscCall& call) {
    fw.received[call.function].assign(call.data, call.data + call.dataSize);
    auto it = fw.deviceData.find({static_cast<std::uint16_t>(call.args[0]), static_cast<std::uint16_t>(call.args[1])});
    if (it == fw.deviceData.end()) return kBadArgument;
    call.dataOut = it->second;
    return kDone;
}

// 0x115 short form: argument 0 asks for the first value and the flag word.
std::uint8_t BiosConfiguration(FirmwareData& fw, MiscCall& call) {
    if (!fw.biosConfiguration) return kAbsent;
    if (call.args[0] != 0) return kBadArgument;
    call.results = {fw.biosConfiguration->value, fw.biosConfiguration->flags};
    return kDone;
}

// 0x115 extended form: argument 1 asks for the three configuration words.
std::uint8_t BiosConfigurationExtended(FirmwareData& fw, MiscCall& call) {
    if (!fw.biosConfiguration || !fw.biosConfiguration->extended) return kAbsent;
    if (call.args[0] != 1) return kBadArgument;
    const auto& words = *fw.biosConfiguration->extended;
    call.results = {words[0], words[1], words[2]};
    return kDone;
}

std::uint8_t EcVersion(FirmwareData& fw, MiscCall& call) { return Each(fw.ecVersion, call); }

// Registers the snapshot does not list read 0; the controller has 256.
std::uint8_t EcRead(FirmwareData& fw, MiscCall& call) {
    if (call.args[0] > 0xFF) return kBadArgument;
    auto it = fw.ec.find(call.args[0]);
    call.results[0] = it == fw.ec.end() ? 0 : it->second;
    return kDone;
}

std::uint8_t EcCommand(FirmwareData& fw, MiscCall& call) { return Keyed(fw.ecCommands, call.args[0], call); }
std::uint8_t FeatureLevel(FirmwareData& fw, MiscCall& call) { return Single(fw.featureLevel, call); }
std::uint8_t FeatureFlags(FirmwareData& fw, MiscCall& call) { return Keyed(fw.featureFlags, call.args[0], call); }
std::uint8_t FirmwareCommand(FirmwareData& fw, MiscCall& call) {
    return Keyed(fw.firmwareCommands, call.args[0], call);
}

std::uint8_t MemorySlotCount(FirmwareData& fw, MiscCall& call) {
    if (!fw.memorySlots) return kAbsent;
    call.results[0] = static_cast<std::uint32_t>(std::min<std::size_t>(fw.memorySlots->size(), 0xFF));
    return kDone;
}

// The slot word: flag byte low, the 16-bit value above it.
std::uint8_t MemorySlotInfo(FirmwareData& fw, MiscCall& call) {
    if (!fw.memorySlots) return kAbsent;
    if (call.args[0] >= fw.memorySlots->size()) return kBadArgument;
    const MemorySlot& slot = (*fw.memorySlots)[call.args[0]];
    call.results[0] = slot.flags | (static_cast<std::uint32_t>(slot.value) << 8);
    return kDone;
}

// 16 SPD bytes from an offset; the whole chunk must lie inside the slot's SPD.
std::uint8_t MemorySpd(FirmwareData& fw, MiscCall& call) {
    if (!fw.memorySlots) return kAbsent;
    if (call.args[0] >= fw.memorySlots->size()) return kBadArgument;
    const std::vector<std::uint8_t>& spd = (*fw.memorySlots)[call.args[0]].spd;
    const std::uint32_t offset = call.args[1];
    if (offset > spd.size() || spd.size() - offset < kSpdChunk) return kBadArgument;
    for (std::size_t i = 0; i < kSpdChunk / 4; ++i) call.results[i] = bytes::Load32(&spd[offset + 4 * i]);
    return kDone;
}

bool ValidPackedDate(std::uint32_t packed) {
    const std::uint32_t month = (packed >> 5) & 15, day = packed & 31;
    return month >= 1 && month <= 12 && day >= 1;
}

// The caller sends the date it measures against; a date that is not one is refused.
std::uint8_t BatteryReferenceDate(FirmwareData& fw, MiscCall& call) {
    const BatteryData* battery = Battery(fw, call.args[0]);
    if (!battery || !ValidPackedDate(call.args[1])) return kBadArgument;
    call.results[0] = battery->referenceDate;
    return kDone;
}

// The second argument selects one of the battery's words (0: the status word).
std::uint8_t BatteryState(FirmwareData& fw, MiscCall& call) {
    const BatteryData* battery = Battery(fw, call.args[0]);
    if (!battery) return kBadArgument;
    auto it = battery->states.find(static_cast<std::uint16_t>(call.args[1]));
    if (it == battery->states.end()) return kBadArgument;
    call.results = {it->second & 0xFFFF, it->second >> 16};
    return kDone;
}

template <std::uint16_t BatteryData::*Field>
std::uint8_t BatteryWord(FirmwareData& fw, MiscCall& call) {
    const BatteryData* battery = Battery(fw, call.args[0]);
    if (!battery) return kBadArgument;
    call.results[0] = battery->*Field;
    return kDone;
}

std::uint8_t EnvironmentStatus(FirmwareData& fw, MiscCall& call) { return Each(fw.environmentStatus, call); }

std::uint8_t Docking(FirmwareData& fw, MiscCall& call) {
    if (!fw.docking) return kAbsent;
    call.results = {fw.docking->state, fw.docking->usbType, fw.docking->antenna};
    return kDone;
}

std::uint8_t PortReplicatorFirmware(FirmwareData& fw, MiscCall& call) {
    if (!fw.portReplicatorFirmware) return kAbsent;
    const auto& f = *fw.portReplicatorFirmware;
    call.results = {f.bytes[0], f.bytes[1], f.bytes[2], f.bytes[3], f.value};
    return kDone;
}

// Sub-functions: 1 sensor mask and count, 2 one sensor (reading, passive and critical trip
// points), 3 control mask, 4 control mode. Only sub-function 2 takes an index; the others want 0.
std::uint8_t Thermal(FirmwareData& fw, MiscCall& call) {
    if (!fw.thermal) return kAbsent;
    const ThermalData& t = *fw.thermal;
    const std::uint32_t sub = call.args[0], index = call.args[1];
    if (sub == 2) {
        auto it = t.sensors.find(static_cast<std::uint16_t>(index));
        if (it == t.sensors.end()) return kBadArgument;
        call.results = {it->second.reading, it->second.passive, it->second.critical, 0};
        return kDone;
    }
    if (index != 0) return kBadArgument;
    switch (sub) {
    case 1: {
        std::uint32_t mask = 0;
        for (const auto& sensor : t.sensors) {
            if (sensor.first < 16) mask |= 1u << sensor.first;
        }
        call.results = {mask, static_cast<std::uint32_t>(t.sensors.size())};
        return kDone;
    }
    case 3: call.results[0] = t.controlMask; return kDone;
    case 4: call.results[0] = t.mode; return kDone;
    default: return kBadArgument;
    }
}

// Two bits per battery slot, slot 0 lowest.
std::uint8_t BatteryBay(FirmwareData& fw, MiscCall& call) {
    if (fw.batteries.empty()) return kAbsent;
    std::uint32_t bits = 0;
    for (const auto& battery : fw.batteries) {
        if (battery.first < 8) bits |= static_cast<std::uint32_t>(battery.second.healthSupport & 3) << (2 * battery.first);
    }
    call.results[0] = bits;
    return kDone;
}

std::uint8_t FanMarks(FirmwareData& fw, MiscCall& call) { return Each(fw.fanMarks, call); }
std::uint8_t FanControl(FirmwareData& fw, MiscCall& call) { return Single(fw.fanControl, call); }
std::uint8_t MeFirmware(FirmwareData& fw, MiscCall& call) { return Each(fw.meFirmware, call); }

std::uint8_t Hold(FirmwareData& fw, MiscCall& call) {
    auto it = fw.holdButton.find(call.args[0]);
    if (it == fw.holdButton.end()) return fw.holdButton.empty() ? kAbsent : kBadArgument;
    call.results = {it->second.autoCancel, it->second.flags, it->second.extra};
    return kDone;
}

std::uint8_t AntennaKind(FirmwareData& fw, MiscCall& call) { return Single(fw.antennaKind, call); }
std::uint8_t UefiBoot(FirmwareData& fw, MiscCall& call) {
    auto it = fw.uefiBoot.find(static_cast<std::uint16_t>(call.args[0]));
    if (it == fw.uefiBoot.end()) return kBadArgument;
    call.results = {it->second.value, it->second.flag};
    return kDone;
}

std::uint8_t BootOrderKind(FirmwareData& fw, MiscCall& call) { return Single(fw.bootOrderKind, call); }

// The word at 8 is reserved and must be 0.
std::uint8_t BootLayout(FirmwareData& fw, MiscCall& call) {
    if (!fw.bootLayout) return kAbsent;
    if (call.args[0] != 0) return kBadArgument;
    std::copy(fw.bootLayout->begin(), fw.bootLayout->end(), call.results.begin());
    return kDone;
}

std::uint8_t DataBlock(FirmwareData& fw, MiscCall& call) {
    fw.received[call.function].assign(call.data, call.data + call.dataSize);
    auto it = fw.dataBlocks.find(call.function);
    if (it == fw.dataBlocks.end()) return kAbsent;
    call.dataOut = it->second;
    return kDone;
}

// ---- The table --------------------------------------------------------------------------------

constexpr PacketForm C = PacketForm::Compact;
constexpr PacketForm L32 = PacketForm::Long32;
constexpr PacketForm DR = PacketForm::DataRead;
constexpr PacketForm DB = PacketForm::DataBoth;

// clang-format off
const MiscFunctionRow kMiscFunctions[] = {
//  function        form  in   out  len  arguments {offset, size}       results {offset, size}                              handler
    {0x10C,  0x10C,  L32, 32,  32,  0,   {{12, 1}},                     {{12, 4}, {20, 4}},                                 &Setting},
    {0x10F,  0x10F,  C,   10,  10,  0,   {{8, 1}},                      {{8, 1}},                                           &EnvironmentControl},
    {0x110,  0x110,  C,   18,  18,  0,   {{8, 1}},                      {{9, 1}, {10, 4}, {14, 4}},                         &OperatingTime},
    {0x111,  0x111,  DR,  22,  22,  20,  {{8, 2}, {10, 2}},             {{12, 2}, {14, 2}, {16, 2}, {18, 2}},               &DeviceEntry},
    {0x114,  0x114,  DB,  14,  14,  12,  {{8, 2}, {10, 2}},             {},                                                 &DeviceData},
    {0x115,  0x115,  C,   14,  14,  0,   {{8, 2}},                      {{10, 2}, {12, 2}},                                 &BiosConfiguration},
    {0x115,  0x115,  C,   16,  16,  0,   {{8, 2}},                      {{10, 2}, {12, 2}, {14, 2}},                        &BiosConfigurationExtended},
    {0x20F,  0x20F,  C,   8,   14,  0,   {},                            {{9, 1}, {10, 1}, {11, 1}, {12, 1}, {13, 1}},       &EcVersion},
    {0x210,  0x210,  L32, 32,  32,  0,   {{12, 4}},                     {{20, 1}},                                          &EcRead},
    {0x215,  0x215,  L32, 32,  32,  0,   {{12, 4}},                     {{20, 4}},                                          &EcCommand},
    {0x21A,  0x21A,  C,   8,   9,   0,   {},                            {{8, 1}},                                           &FeatureLevel},
    {0x21B,  0x21B,  C,   9,   9,   0,   {{8, 1}},                      {{8, 1}},                                           &FeatureFlags},
    {0x21E,  0x21E,  C,   12,  12,  0,   {{8, 4}},                      {{8, 4}},                                           &FirmwareCommand},
    {0x220,  0x220,  L32, 32,  32,  0,   {},                            {{12, 1}},                                          &MemorySlotCount},
    {0x221,  0x221,  L32, 32,  32,  0,   {{12, 4}},                     {{12, 4}},                                          &MemorySlotInfo},
    {0x222,  0x222,  L32, 32,  32,  0,   {{12, 1}, {13, 3}},            {{8, 4}, {20, 4}, {24, 4}, {28, 4}},                &MemorySpd},
    {0x230,  0x230,  L32, 32,  32,  0,   {{12, 2}, {14, 2}},            {{30, 2}},                                          &BatteryReferenceDate},
    {0x232,  0x232,  C,   12,  12,  0,   {{8, 2}, {10, 2}},             {{8, 2}, {10, 2}},                                  &BatteryState},
    {0x240,  0x240,  C,   10,  10,  0,   {},                            {{8, 1}, {9, 1}},                                   &EnvironmentStatus},
    {0x242,  0x242,  C,   10,  12,  0,   {{8, 2}},                      {{10, 2}},                                          &BatteryWord<&BatteryData::manufactureDate>},
    {0x243,  0x243,  C,   12,  12,  0,   {{8, 2}},                      {{8, 2}},                                           &BatteryWord<&BatteryData::temperature>},
    {0x244,  0x244,  C,   12,  12,  0,   {{8, 2}},                      {{8, 2}},                                           &BatteryWord<&BatteryData::chargeIndex>},
    {0x246,  0x246,  C,   12,  12,  0,   {{8, 2}},                      {{8, 2}},                                           &BatteryWord<&BatteryData::serialNumber>},
    {0x260,  0x260,  C,   8,   11,  0,   {},                            {{8, 1}, {9, 1}, {10, 1}},                          &Docking},
    {0x261,  0x261,  C,   8,   14,  0,   {},                            {{8, 1}, {9, 1}, {10, 1}, {11, 1}, {12, 2}},        &PortReplicatorFirmware},
    {0x270,  0x270,  C,   20,  20,  0,   {{8, 2}, {10, 2}},             {{12, 2}, {14, 2}, {16, 2}, {18, 2}},               &Thermal},
    {0x293,  0x293,  C,   10,  10,  0,   {},                            {{8, 2}},                                           &BatteryBay},
    {0x2A0,  0x2A0,  C,   10,  10,  0,   {},                            {{8, 1}, {9, 1}},                                   &FanMarks},
    {0x2A1,  0x2A1,  C,   8,   10,  0,   {},                            {{8, 2}},                                           &FanControl},
    {0x2B0,  0x2B0,  C,   8,   16,  0,   {},                            {{8, 2}, {10, 2}, {12, 2}, {14, 2}},                &MeFirmware},
    {0x2E0,  0x2E0,  C,   12,  12,  0,   {{8, 4}},                      {{9, 1}, {10, 1}, {11, 1}},                         &Hold},
    {0xC07,  0xC07,  C,   8,   9,   0,   {},                            {{8, 1}},                                           &AntennaKind},
    {0x1001, 0x1001, C,   10,  13,  0,   {{8, 2}},                      {{10, 2}, {12, 1}},                                 &UefiBoot},
    {0x1060, 0x1060, C,   8,   10,  0,   {},                            {{8, 2}},                                           &BootOrderKind},
    {0x1061, 0x1061, C,   10,  18,  0,   {{8, 2}},                      {{10, 2}, {12, 2}, {14, 2}, {16, 2}},               &BootLayout},
    {0x304,  0x30E,  DB,  10,  10,  8,   {},                            {},                                                 &DataBlock},
};
// clang-format on

std::uint32_t LoadField(const std::uint8_t* p, std::uint8_t size) {
    std::uint32_t value = 0;
    for (std::uint8_t i = 0; i < size; ++i) value |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return value;
}

void StoreField(std::uint8_t* p, std::uint8_t size, std::uint32_t value) {
    for (std::uint8_t i = 0; i < size; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Fields must lie inside `limit` bytes; a row that breaks this answers as if malformed.
bool FieldsInside(const PacketField (&fields)[kMiscMaxFields], std::size_t limit) {
    for (const PacketField& f : fields) {
        if (f.size > 4 || f.offset + f.size > limit) return false;
    }
    return true;
}

const MiscFunctionRow* FindRow(std::uint16_t function, std::size_t inSize, bool* known) {
    *known = false;
    for (const MiscFunctionRow& row : kMiscFunctions) {
        if (function < row.first || function > row.last) continue;
        *known = true;
        // A compact function may have several forms told apart by their input length.
        if (row.form != PacketForm::Compact || row.in == inSize) return &row;
    }
    return nullptr;
}

}  // namespace

std::vector<std::uint16_t> MiscFunctionNumbers() {
    std::vector<std::uint16_t> numbers;
    for (const MiscFunctionRow& row : kMiscFunctions) numbers.push_back(row.first);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

std::size_t NeededSizeOffset(std::uint16_t function) {
    for (const MiscFunctionRow& row : kMiscFunctions) {
        if (function >= row.first && function <= row.last && row.lengthAt != 0) return row.lengthAt;
    }
    return 20;
}

std::uint8_t AnswerMiscFunction(FirmwareData& data, const std::uint8_t* request, std::size_t inSize,
                                std::vector<std::uint8_t>& packet) {
    if (inSize < kMiscPacketHeaderSize) return kMiscStatusMalformed;
    const std::uint16_t function = bytes::Load16(request);
    bool known = false;
    const MiscFunctionRow* row = FindRow(function, inSize, &known);
    if (!row) return known ? kMiscStatusMalformed : kMiscStatusUnknownFunction;
    const std::size_t outSize = packet.size();

    MiscCall call;
    call.function = function;
    switch (row->form) {
    case PacketForm::Compact:
        if (outSize < row->out) return kMiscStatusTooSmall;
        break;
    case PacketForm::Long32:
        if (inSize != kLong32Size || outSize != kLong32Size || bytes::Load32(request + 8) != kLong32Mark ||
            bytes::Load32(request + 16) != ((static_cast<std::uint32_t>(function) << 16) | kLong32Mark)) {
            return kMiscStatusMalformed;
        }
        break;
    case PacketForm::DataRead: {
        // The header goes out alone; its length field is the room the output holds after it.
        if (inSize != row->in || outSize < row->in) return kMiscStatusMalformed;
        const std::size_t room = bytes::Load16(request + row->lengthAt);
        if (room > outSize - row->in) return kMiscStatusMalformed;
        call.room = room;
        break;
    }
    case PacketForm::DataBoth: {
        // Header and data both ways: both lengths are header + data length.
        if (inSize < row->in) return kMiscStatusMalformed;
        const std::size_t length = bytes::Load16(request + row->lengthAt);
        if (inSize != row->in + length || outSize != inSize) return kMiscStatusMalformed;
        call.data = request + row->in;
        call.dataSize = length;
        call.room = length;
        break;
    }
    }
    if (!FieldsInside(row->args, inSize) || !FieldsInside(row->results, outSize)) return kMiscStatusMalformed;

    for (std::size_t i = 0; i < kMiscMaxFields && row->args[i].size; ++i) {
        call.args[i] = LoadField(request + row->args[i].offset, row->args[i].size);
    }
    const std::uint8_t status = row->handler(data, call);
    if (status != kMiscStatusDone) return status;

    const bool carriesData = row->form == PacketForm::DataRead || row->form == PacketForm::DataBoth;
    if (carriesData && call.dataOut.size() > call.room) {
        const std::size_t needed = call.reportedSize ? call.reportedSize : call.dataOut.size();
        StoreField(&packet[row->lengthAt], 2, static_cast<std::uint32_t>(std::min<std::size_t>(needed, 0xFFFF)));
        return kMiscStatusTooSmall;
    }
    for (std::size_t i = 0; i < kMiscMaxFields && row->results[i].size; ++i) {
        StoreField(&packet[row->results[i].offset], row->results[i].size, call.results[i]);
    }
    if (carriesData) {
        std::fill(packet.begin() + row->in, packet.end(), std::uint8_t{0});
        std::copy(call.dataOut.begin(), call.dataOut.end(), packet.begin() + row->in);
        StoreField(&packet[row->lengthAt], 2, static_cast<std::uint32_t>(call.dataOut.size()));
    }
    return kMiscStatusDone;
}

}  // namespace quarro::platform::sim
