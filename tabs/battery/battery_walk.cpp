// The battery walk: the battery devices in enumeration order (at most two), each read through
// the battery class driver, then the values only the firmware knows.
#include <cstdio>
#include <cstring>

#include "platform/last_error.h"
#include "tabs/battery/battery_core.h"

namespace battery_tab {

namespace pf = quarro::platform;

namespace {

// Interface indexes looked at before the walk gives up on a set that keeps failing.
constexpr std::uint32_t kMaxInterfaces = 100;
constexpr std::uint32_t kErrorNoMoreItems = 259;
constexpr std::uint8_t kModeFirmware = 3;
constexpr std::uint8_t kModeEc = 255;
constexpr std::uint8_t kReferenceDataItem = 0x8D;
constexpr std::size_t kIdNameBytes = 14;
constexpr std::size_t kAnsiNameBytes = 15;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = static_cast<int>(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

const EcRegisterMap kEcRegisters[kSlots] = {
    {{0x83, 0x82}, {0x8B, 0x8A}, {0x9B, 0x9A}, {0x7B, 0x7A}, 0x8C, 0x97},
    // The second battery's charge index sits in the pair after its temperature pair's
    // neighbour, high register one above the low one like every other pair.
    {{0xC7, 0xC6}, {0xCF, 0xCE}, {0xDF, 0xDE}, {0xBF, 0xBE}, 0xD0, 0xDB},
};

PackedDate UnpackDate(std::uint16_t packed) { return {packed / 512 + 1980, (packed / 32) & 15, packed & 31}; }

std::uint16_t PackDate(int year, int month, int day) {
    return static_cast<std::uint16_t>((year - 1980) * 512 + month * 32 + day);
}

std::string BatteryIdText(const std::string& name, std::uint16_t packedDate, std::uint16_t serial) {
    const PackedDate date = UnpackDate(packedDate);
    char text[280];
    std::snprintf(text, sizeof text, "%-14s%02d%02d%02d%05u", name.c_str(), date.year % 100, date.month, date.day,
                  static_cast<unsigned>(serial));
    return text;
}

void ComputeHealth(std::uint16_t packedDate, const pf::SystemTime& now, BatteryInfo* info) {
    info->healthValid = false;
    info->health = 0;
    const PackedDate date = UnpackDate(packedDate);
    if (date.year < 1900 || date.year > 3000 || date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31) {
        return;
    }
    // Both times are local; a date before the system's epoch cannot be converted and skips the
    // age test, as a failed conversion does.
    if (date.year >= 1970) {
        const std::int64_t then = DaysFromCivil(date.year, date.month, date.day) * 86400;
        const std::int64_t present = DaysFromCivil(now.year, now.month, now.day) * 86400 + now.hour * 3600 +
                                     now.minute * 60 + now.second;
        if (present - then >= kRecalibrationSeconds) {
            info->health = kHealthRecalibrate;
            return;
        }
    }
    if (!info->fullChargedValid || !info->designedValid) return;
    info->health = info->fullCharged < info->designed
                       ? static_cast<std::uint32_t>(std::uint64_t{info->fullCharged} * 100 / info->designed)
                       : 100;
    info->healthValid = true;
}

BatteryWalk::BatteryWalk(pf::IBatteries& batteries, IBatteryFirmware* firmware, const BatterySettings& settings,
                         std::function<pf::SystemTime()> localNow,
                         std::function<std::string(std::u16string_view)> toAnsi)
    : batteries_(batteries),
      firmware_(firmware),
      settings_(settings),
      localNow_(std::move(localNow)),
      toAnsi_(std::move(toAnsi)) {}

int BatteryWalk::Run(WalkMode mode) {
    pf::OwnedBatterySet set(batteries_, batteries_.OpenSet(pf::kBatterySetInterfaces));
    if (!set) return devices_;
    devices_ = 0;
    for (std::uint32_t index = 0; index < kMaxInterfaces && devices_ < kSlots; ++index) {
        std::u16string path;
        if (!batteries_.InterfacePath(set.Get(), index, &path)) {
            if (pf::GetLastErrorCode() == kErrorNoMoreItems) break;
            continue;
        }
        pf::OwnedBattery battery(batteries_, batteries_.Open(path.c_str()));
        if (!battery) continue;
        const int slot = devices_++;
        if (mode == WalkMode::kCount) continue;
        std::uint32_t tag = 0;
        if (!batteries_.QueryTag(battery.Get(), kTagWaitMs, &tag)) {
            slots_[slot] = BatteryInfo{};
            continue;
        }
        const bool readOnce = mode != WalkMode::kRefresh || !slots_[slot].present;
        ReadSlot(battery.Get(), tag, slot, readOnce);
    }
    return devices_;
}

void BatteryWalk::ReadSlot(pf::BatteryHandle battery, std::uint32_t tag, int slot, bool readOnce) {
    BatteryInfo& info = slots_[slot];
    const auto index = static_cast<std::uint16_t>(slot);
    info.present = true;

    std::u16string name;
    info.nameValid = batteries_.QueryDeviceName(battery, tag, &name);
    if (!info.nameValid) name.clear();
    const std::string ansiName = toAnsi_(name).substr(0, kAnsiNameBytes);
    std::uint32_t state = 0;
    if (firmware_ && firmware_->StateWord(index, &state)) {
        const char16_t* mark = (state & 0x80000000u)   ? u"+"
                               : (state & 0x40000000u) ? u"-"
                               : (state & 3) == 1      ? u"*"
                               : (state & 3) == 2      ? u"="
                                                       : u"";
        if (name.size() < pf::kBatteryNameMaxChars) name += mark;
    }
    info.name = name.substr(0, pf::kBatteryNameMaxChars);

    pf::BatteryInformation bi;
    if (batteries_.QueryInformation(battery, tag, &bi)) {
        std::memcpy(info.chemistry, bi.chemistry, 4);
        info.chemistry[4] = 0;
        info.chemistryValid = true;
        info.fullCharged = bi.fullChargedCapacity;
        info.designed = bi.designedCapacity;
        info.relative = (bi.capabilities & pf::kBatteryCapacityRelative) != 0;
        info.fullChargedValid = info.relative || bi.fullChargedCapacity != pf::kBatteryUnknownValue;
        info.designedValid = info.relative || bi.designedCapacity != pf::kBatteryUnknownValue;
    } else {
        info.chemistryValid = info.fullChargedValid = info.relative = false;
    }

    pf::BatteryStatus bs;
    if (batteries_.QueryStatus(battery, tag, 0, &bs)) {
        info.powerState = bs.powerState;
        info.remaining = bs.capacity;
        info.voltage = bs.voltage;
        info.rate = bs.rate;
        info.powerStateValid = true;
        info.remainingValid = bs.capacity != pf::kBatteryUnknownValue;
        info.voltageValid = bs.voltage != pf::kBatteryUnknownValue;
        info.rateValid = bs.rate != pf::kBatteryUnknownRate;
    } else {
        info.powerStateValid = info.remainingValid = info.voltageValid = info.rateValid = false;
    }

    const bool readId = settings_.firmwareMode == kModeEc || (settings_.firmwareMode == kModeFirmware && readOnce);
    ReadFirmwareValues(slot, readId, ansiName);
    if (readOnce && settings_.healthSupported[slot]) ReadHealth(slot);

    if (settings_.showRemainingTime) {
        std::uint32_t seconds = 0;
        info.timeValid = batteries_.QueryEstimatedTime(battery, tag, &seconds) && seconds != pf::kBatteryUnknownValue;
        info.estimatedTime = info.timeValid ? seconds : 0;
    }
}

void BatteryWalk::ReadFirmwareValues(int slot, bool readId, const std::string& ansiName) {
    BatteryInfo& info = slots_[slot];
    const auto index = static_cast<std::uint16_t>(slot);
    if (!firmware_ || (settings_.firmwareMode != kModeFirmware && settings_.firmwareMode != kModeEc)) {
        info.chargeIndexValid = info.temperatureValid = info.idValid = false;
        return;
    }
    if (settings_.firmwareMode == kModeFirmware) {
        info.chargeIndexValid = firmware_->ChargeIndex(index, &info.chargeIndex);
        info.temperatureValid = firmware_->Temperature(index, &info.temperature);
        if (!readId) return;
        std::uint16_t serial = 0, date = 0;
        info.idValid = false;
        if (firmware_->SerialNumber(index, &serial) && firmware_->ManufactureDate(index, &date)) {
            const PackedDate d = UnpackDate(date);
            if (serial != 0 && d.year != 0 && d.month != 0 && d.day != 0) {
                info.id = BatteryIdText(ansiName, date, serial);
                info.idValid = true;
            }
        }
        return;
    }
    const EcRegisterMap& map = kEcRegisters[slot];
    auto word = [&](const std::uint8_t pair[2], std::uint16_t* value) {
        std::uint8_t high = 0, low = 0;
        if (!firmware_->EcRegister(pair[0], &high) || !firmware_->EcRegister(pair[1], &low)) return false;
        *value = static_cast<std::uint16_t>(high << 8 | low);
        return true;
    };
    info.temperatureValid = word(map.temperature, &info.temperature);
    info.chargeIndexValid = word(map.chargeIndex, &info.chargeIndex);
    if (!readId) return;
    info.idValid = false;
    std::uint16_t serial = 0, date = 0;
    if (!word(map.serial, &serial) || serial == 0 || !word(map.date, &date) || date == 0) return;
    std::string name;
    for (unsigned r = map.nameFirst; r <= map.nameLast && name.size() < kIdNameBytes; ++r) {
        std::uint8_t byte = 0;
        if (!firmware_->EcRegister(static_cast<std::uint8_t>(r), &byte) || byte == 0) break;
        name.push_back(static_cast<char>(byte));
    }
    info.id = BatteryIdText(name, date, serial);
    info.idValid = true;
}

void BatteryWalk::ReadHealth(int slot) {
    BatteryInfo& info = slots_[slot];
    const auto index = static_cast<std::uint16_t>(slot);
    info.healthValid = false;
    info.health = 0;
    std::uint16_t date = 0;
    bool dated = firmware_ && firmware_->ReferenceDate(index, PackDate(2099, 12, 31), &date) && date != 0 &&
                 date != 0xFFFF;
    if (!dated && firmware_ &&
        (settings_.firmwareMode == kModeFirmware || settings_.firmwareMode == kModeEc)) {
        dated = firmware_->DataWord(settings_.firmwareMode == kModeEc, kReferenceDataItem, index, &date) &&
                date != 0xFFFF;
    }
    if (!dated) return;
    ComputeHealth(date, localNow_(), &info);
}

}  // namespace battery_tab
