// The collection of the PC Status values, every step in the order the tab takes them.
#include <cstdio>

#include "common/reg.h"
#include "common/win_version.h"
#include "platform/owner.h"
#include "platform/platform.h"
#include "tabs/pcstatus/status_data.h"

namespace pcstatus {

namespace pf = quarro::platform;

const char* const kVelostartExports[kVelostartQueries] = {
    "Get_DisablePagingExecutive", "Get_DisableDelayedDesktopSwitch", "Get_DisablePeriodicallyRecoveryPointCreation",
    "Get_VelostartConfig",        "Get_NoGUIBootBySvc",              "Get_EnableReadyBoot",
    "Get_VelostartDelayHibernation", "Get_UseTPM"};

namespace {

constexpr char16_t kCurrentVersion[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char16_t kQuarroKey[] = u"SOFTWARE\\Mirelta\\QUARRO";
constexpr char16_t kQuillonKey[] = u"Software\\Mirelta\\Quillon";
constexpr char16_t kVerimontKey[] = u"Software\\Mirelta\\Verimont";
constexpr char16_t kSaltmarshKey[] = u"Software\\Mirelta\\Saltmarsh";
constexpr char16_t kRunKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::u16string Widen(const char* text) {
    std::u16string out;
    for (const char* p = text; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
    return out;
}

std::u16string Cut(std::u16string text) {
    if (text.size() >= kTextUnits) text.resize(kTextUnits - 1);
    return text;
}

// A registry text value of the 32-bit view, cut to 259 characters; false when unreadable.
bool ReadText(const char16_t* key, const char16_t* name, std::u16string* text) {
    char16_t buffer[kTextUnits] = {};
    std::uint32_t bytes = sizeof(buffer) - sizeof(char16_t);
    if (!CReg().ReadString(pf::kHkeyLocalMachine, key, name, buffer, &bytes, 0)) return false;
    buffer[kTextUnits - 1] = 0;
    *text = buffer;
    return true;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t z, int* year, int* month, int* day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *year = static_cast<int>(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t SecondsOf(const pf::SystemTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

// The local time's offset from UTC now, as the system converts a file time to local time: the
// zone's present bias, rounded to whole minutes.
std::int64_t CurrentBiasSeconds() {
    pf::IClock& clock = pf::Clock();
    const std::int64_t utc = SecondsOf(clock.UtcNow());
    const std::int64_t local = SecondsOf(clock.LocalNow());
    const std::int64_t diff = local - utc;
    return (diff >= 0 ? (diff + 30) / 60 : (diff - 30) / 60) * 60;
}

std::int64_t Optional(IStatusFirmware& firmware, std::uint32_t item) {
    std::uint32_t value = 0;
    return firmware.Setting(item, &value) ? static_cast<std::int64_t>(value) : -1;
}

void CollectLcdUnit(StatusData& data) {
    std::u16string text;
    if (!ReadText(kQuarroKey, u"DebuglcdLightingTimeUnit", &text)) {
        data.lcdUnit = 100;
        data.lcdRaw = -1;
        return;
    }
    // A decimal number as far as it goes; empty gives 100, 0 gives 1, above 100 gives 100.
    std::uint64_t unit = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        unit = unit * 10 + static_cast<std::uint64_t>(text[i] - u'0');
        if (unit > 100) unit = 101;
    }
    if (text.empty()) unit = 100;
    if (unit == 0) unit = 1;
    if (unit > 100) unit = 100;
    data.lcdUnit = static_cast<std::uint32_t>(unit);
}

void CollectControlMode(StatusData& data, IStatusFirmware& firmware, const StringLookup& text) {
    std::uint16_t fan = 0;
    if (firmware.FanControl(&fan) && fan != 0) data.fanControl = true;
    std::uint16_t mask = 0, mode = 0;
    if (firmware.Thermal(3, 0, &mask) && firmware.Thermal(4, 0, &mode)) {
        if (mask == 37 || data.fanControl) {
            data.fanControl = true;
            if (mode == 0) data.controlMode = text(kStandard);
            else if (mode == 2) data.controlMode = text(kHighSpeed);
            else if (mode == 5) data.controlMode = text(kLowSpeed);
        } else if (mask != 0 && mode < 16 && (mask >> mode) & 1) {
            data.controlMode = text(kMode) + u" " + Widen(std::to_string(mode).c_str());
        }
    }
    std::uint8_t marks[2] = {};
    if (firmware.FanMarks(marks)) {
        if (marks[0] == 1) data.controlMode += u"*";
        if (marks[1] == 1) data.controlMode += u"+";
    }
    data.controlMode = Cut(data.controlMode);
}

void CollectScreen(StatusData& data, const StatusFacts& facts, const StringLookup& text) {
    if (facts.osType != CWinVersion::kWindows8 && facts.osType != CWinVersion::kUnknown) {
        std::uint32_t bits = 0;
        if (pf::Display().CurrentBitsPerPixel(&bits)) {
            const bool seven = facts.osType == CWinVersion::kWindows7;
            if (bits == 16) data.screenColors = text(seven ? kHighColor16 : kMedium16);
            else if (bits == 32) data.screenColors = text(seven ? kTrueColor32 : kHighest32);
        }
    }
    if (facts.osType == CWinVersion::kVista || facts.osType == CWinVersion::kWindows7) {
        bool enabled = false;
        if (pf::Display().CompositionEnabled(&enabled)) data.composition = enabled ? 1 : 0;
    }
}

void CollectPower(StatusData& data, IStatusFirmware& firmware) {
    std::uint8_t level = 255;
    if (!firmware.FeatureLevel(&level)) level = 255;
    if (level != 3) return;
    std::uint8_t flags = 0;
    if (firmware.FeatureFlags(190, &flags)) data.acState = AcAdaptorState(flags);
    const std::uint8_t arguments[4] = {192, 140, 0, 0};
    std::uint8_t results[4] = {};
    if (firmware.FirmwareCommand(arguments, results) && results[0] == 0) data.chargeSpeed = results[1];
}

void CollectHold(StatusData& data, IStatusFirmware& firmware) {
    std::uint8_t bytes[3] = {};
    if (!firmware.Hold(bytes)) return;
    data.holdAutoCancel = bytes[0];
    data.holdFlags = bytes[1];
    data.hold = bytes[1] != 0 ? 1 : 0;
}

void CollectRunKey(EntryList& list, std::uint32_t view) {
    pf::IRegistry& registry = pf::Registry();
    pf::OwnedRegKey key(registry);
    if (pf::OpenRegKey(key, pf::kHkeyLocalMachine, kRunKey, pf::kKeyRead | view) != pf::kErrorSuccess) return;
    for (std::uint32_t index = 0;; ++index) {
        char16_t name[16384] = {};
        std::uint32_t nameChars = 16383;
        std::uint8_t data[4096] = {};
        std::uint32_t size = sizeof(data) - 2, type = 0;
        const long result = registry.EnumValue(key.Get(), index, name, &nameChars, &type, data, &size);
        if (result == pf::kErrorNoMoreItems) break;
        if (result != pf::kErrorSuccess) {
            if (index > 1024) break;
            continue;  // a value too large for the room is skipped, the next one read
        }
        if (type != pf::kRegSz && type != pf::kRegExpandSz) continue;
        std::u16string text(reinterpret_cast<const char16_t*>(data), size / 2);
        while (!text.empty() && text.back() == 0) text.pop_back();
        const std::size_t nul = text.find(u'\0');
        if (nul != std::u16string::npos) text.resize(nul);
        if (nameChars > 16383) nameChars = 16383;
        if (!list.Add(std::u16string(name, nameChars) + u"(" + text + u")")) break;
    }
}

void CollectLinks(EntryList& list, pf::KnownFolder folder) {
    std::u16string path;
    if (!pf::Folders().GetKnownFolderPath(folder, &path)) return;
    pf::IShellLinks& links = pf::ShellLinks();
    for (const std::u16string& file : links.LinkFiles(path)) {
        std::u16string target, arguments;
        if (!links.ReadLink(file, &target, &arguments)) continue;
        if (!arguments.empty()) target += u" " + arguments;
        if (!list.Add(target)) break;
    }
}

}  // namespace

bool EntryList::Add(std::u16string text) {
    if (entries.size() >= kListMax) return false;
    entries.push_back(Cut(std::move(text)));
    return true;
}

std::u16string FirstLogonText(std::uint32_t installDate, std::int64_t biasSeconds) {
    if (installDate == 0) return u"";
    const std::int64_t local = static_cast<std::int64_t>(installDate) + biasSeconds;
    std::int64_t days = local / 86400, rest = local % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int year = 0, month = 0, day = 0;
    CivilFromDays(days, &year, &month, &day);
    char text[64];
    std::snprintf(text, sizeof(text), "%02d/%02d/%04d %02d:%02d:%02d", month, day, year, static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return Widen(text);
}

std::u16string ElapsedText(const StatusFacts& facts) {
    char text[64];
    if (facts.osType < CWinVersion::kVista) {
        const std::uint32_t seconds = pf::Clock().TickCount() / 1000;
        std::snprintf(text, sizeof(text), "%d:%02d:%02d", static_cast<int>(seconds / 3600),
                      static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
        return Widen(text);
    }
    std::uint64_t ms = 0;
    if (!pf::Clock().TickCount64(&ms)) return u"";
    const std::uint64_t seconds = ms / 1000;
    std::snprintf(text, sizeof(text), "%d:%02d:%02d:%02d", static_cast<int>(seconds / 86400),
                  static_cast<int>(seconds / 3600 % 24), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return Widen(text);
}

std::u16string ThermalText(IStatusFirmware& firmware) {
    std::u16string text;
    std::uint16_t mask = 0;
    if (!firmware.Thermal(1, 0, &mask)) return text;
    for (std::uint16_t k = 0; k < 9; ++k) {
        std::uint16_t t = 0;
        if (!((mask >> k) & 1) || !firmware.Thermal(2, k, &t)) {
            text += u"---";
            continue;
        }
        unsigned code = 0;
        if (t == 0) code = 255;
        else if (t < 2732) code = 254;
        else if (t > 4095) code = 253;
        else code = static_cast<unsigned>(t - 2732) / 10;
        char piece[16];
        std::snprintf(piece, sizeof(piece), "%03X", code);
        text += Widen(piece);
    }
    return text;
}

int AcAdaptorState(std::uint8_t flags) {
    if ((flags & 3) != 3) return -1;
    if (flags & 0x04) return 4;
    if (flags & 0x20) return 2;
    if (flags & 0x08) return 0;
    if (flags & 0x10) return 1;
    return 3;
}

void RefreshAcAdaptor(StatusData& data, IStatusFirmware& firmware) {
    std::uint8_t flags = 0;
    if (!firmware.FeatureFlags(190, &flags)) return;
    const int state = AcAdaptorState(flags);
    if (state >= 0) data.acState = state;
}

void CollectUsbCharging(StatusData& data) {
    data.usbRapid = data.usbPowerOff = -1;
    std::uint32_t on = 0, off = 0, acOnly = 0;
    CReg reg;
    if (!reg.ReadDword(pf::kHkeyLocalMachine, kQuillonKey, u"OnChargeMode", &on, 0) ||
        !reg.ReadDword(pf::kHkeyLocalMachine, kQuillonKey, u"OffChargeMode", &off, 0) ||
        !reg.ReadDword(pf::kHkeyLocalMachine, kQuillonKey, u"OffChargeACOnly", &acOnly, 0)) {
        return;
    }
    int powerOff = -1;
    if (off == 0) powerOff = 0;
    else if (off == 1 && acOnly == 1) powerOff = 3;
    else if (off == 1 && acOnly == 0) powerOff = 4;
    if (on > 2 || powerOff < 0) return;
    data.usbRapid = static_cast<int>(on);
    data.usbPowerOff = powerOff;
}

void CollectRecoveryDisc(StatusData& data, IStatusFirmware& firmware) {
    data.recovery = -1;
    std::uint32_t recvTemplate = 0;
    if (!firmware.RegistryDword(kVerimontKey, u"RecvTemplate", &recvTemplate)) return;
    if (recvTemplate == 0) {
        data.recovery = 1;
    } else if (recvTemplate == 1) {
        std::uint32_t created = 0;
        if (!firmware.RegistryDword(kSaltmarshKey, u"Created", &created) || created == 0) data.recovery = 0;
        else if (created == 1) data.recovery = 1;
    }
}

void CollectVelostart(StatusData& data, IVelostart* velostart) {
    VelostartValues& v = data.velostart;
    v = VelostartValues{};
    if (!velostart) return;
    v.present = true;
    for (int q = 0; q < kVelostartQueries; ++q) {
        if (q == kUseTpm && !v.answered[kConfig]) continue;
        std::uint32_t words[3] = {};
        if (!velostart->Query(static_cast<VelostartQuery>(q), words)) continue;
        v.answered[q] = true;
        v.value[q] = words[0];
        if (q == kConfig) {
            v.network = words[1];
            v.sound = words[2];
        }
    }
}

void CollectProcesses(EntryList& list, const StatusFacts& facts) {
    list.Clear();
    pf::IProcesses& processes = pf::Processes();
    const pf::ImagePathKind kind = facts.osType > 7 ? pf::ImagePathKind::kFull : pf::ImagePathKind::kDevice;
    for (std::uint32_t id : processes.ProcessIds(kMaxProcessIds)) {
        std::u16string path;
        bool wow64 = false;
        if (!processes.ImagePath(id, kind, &path, &wow64)) continue;
        path = Cut(std::move(path));
        if (wow64) path += u" *32";
        if (!list.Add(std::move(path))) break;
    }
}

void CollectLists(StatusData& data, const StatusFacts& facts) {
    for (EntryList& list : data.lists) list.Clear();
    if (facts.sixtyFourBit) CollectRunKey(data.lists[kRunList], pf::kKeyWow64_64Key);
    CollectRunKey(data.lists[kRunList], 0);
    CollectLinks(data.lists[kAllUsersList], pf::KnownFolder::CommonStartup);
    CollectLinks(data.lists[kCurrentUserList], pf::KnownFolder::Startup);
    CollectLinks(data.lists[kDefaultUserList], pf::KnownFolder::DefaultUserStartup);
    CollectProcesses(data.lists[kProcessList], facts);
}

void CollectStatus(StatusData& data, IStatusFirmware& firmware, IVelostart* velostart, const StatusFacts& facts,
                   const StringLookup& text) {
    data = StatusData{};
    std::uint32_t installDate = 0;
    if (firmware.RegistryDword(kCurrentVersion, u"InstallDate", &installDate)) {
        data.firstLogon = FirstLogonText(installDate, CurrentBiasSeconds());
    }
    data.elapsed = ElapsedText(facts);
    data.limitCount = Optional(firmware, 25);
    data.statusCode = Optional(firmware, 31);
    data.maxRecord = Optional(firmware, 12);
    data.minRecord = Optional(firmware, 13);
    data.lcdRaw = Optional(firmware, 32);
    CollectLcdUnit(data);
    data.thermal = ThermalText(firmware);
    std::u16string etm;
    if (ReadText(u"Software\\Mirelta\\Quarro", u"ETMSupport", &etm)) data.thermal = Cut(data.thermal + u" / " + etm);
    CollectControlMode(data, firmware, text);
    CollectScreen(data, facts, text);
    CollectPower(data, firmware);
    CollectUsbCharging(data);
    CollectHold(data, firmware);
    CollectRecoveryDisc(data, firmware);
    CollectVelostart(data, velostart);
    CollectLists(data, facts);
}

}  // namespace pcstatus
