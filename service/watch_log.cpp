#include "service/watch_log.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "common/ansi.h"
#include "common/format.h"
#include "common/product_lines.h"
#include "common/reg.h"
#include "common/text.h"
#include "platform/platform.h"
#include "smart/snapshot.h"

namespace pf = quarro::platform;
using quarro::text::Format;

namespace watch {

namespace {

constexpr char16_t kKey[] = u"Software\\Mirelta\\Quarro";
const std::string kRule = std::string(119, '-') + "\r\n";

// Watched attributes, in the order the default body lists them.
constexpr std::uint8_t kWatched[] = {4, 5, 9, 12, 191, 192, 194, 196, 197, 199};

// History values, newest first after "HddNotif002"; shifted down one place per record.
constexpr const char16_t* kHistoryChain[] = {
    u"HddNotif017", u"HddNotif016", u"HddNotif015", u"HddNotif014", u"HddNotif013", u"HddNotif012",
    u"HddNotif011", u"HddNotif010", u"HddNotif001", u"HddNotif002",
};

bool ReadDword(const char16_t* name, std::uint32_t* value) {
    return CReg().ReadDword(pf::kHkeyLocalMachine, kKey, name, value, 0) == 1;
}
bool ValueExists(const char16_t* name) { return CReg().ValueExists(pf::kHkeyLocalMachine, kKey, name, 0) == 1; }
void WriteDword(const char16_t* name, std::uint32_t value) {
    CReg().WriteDword(pf::kHkeyLocalMachine, kKey, name, value, 0);
}
bool ReadText(const char16_t* name, std::u16string* text) {
    char16_t buffer[260] = {};
    std::uint32_t bytes = sizeof(buffer) - sizeof(char16_t);
    if (!CReg().ReadString(pf::kHkeyLocalMachine, kKey, name, buffer, &bytes, 0)) return false;
    buffer[259] = 0;
    *text = buffer;
    return true;
}
void WriteText(const char16_t* name, const std::u16string& text) {
    CReg().WriteString(pf::kHkeyLocalMachine, kKey, name, text.c_str(),
                       static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t)), 0);
}

std::string Trim(const char* text) {
    std::string s(text);
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Text from an answer buffer: up to its first zero, at most `limit` bytes.
std::string BoundedText(const std::uint8_t* buffer, std::size_t size, std::size_t limit) {
    std::size_t n = 0;
    while (n < size && n < limit && buffer[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(buffer), n);
}

std::uint64_t Raw(const SmartEntry* entry, int bytes) {
    if (!entry) return 0;
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | entry->raw[i];
    return value;
}

std::string RawLine(const SmartEntry& e) {
    return Format("%-3d %02x%02x%02x%02x%02x%02x\r\n", e.id, e.raw[5], e.raw[4], e.raw[3], e.raw[2], e.raw[1],
                  e.raw[0]);
}

void AppendBounded(std::string& out, const std::string& more) {
    if (out.size() >= kMaxEntryBytes) return;
    out.append(more, 0, kMaxEntryBytes - out.size());
}

bool ValidInFileName(char16_t c) {
    if (c < 32) return false;
    return std::u16string_view(u"<>:\"/\\|?*").find(c) == std::u16string_view::npos;
}

}  // namespace

std::u16string LogFileName(const std::string& driveSerial, const std::string& pcSerial, const std::string& pcModel,
                           int year, int month) {
    const std::u16string raw = quarro::text::FromAnsi(
        Format("quarro_%s_%s_%s_%04d%02d.txt", driveSerial.c_str(), pcSerial.c_str(), pcModel.c_str(), year, month));
    std::u16string name;
    for (char16_t c : raw) {
        if (ValidInFileName(c) && name.size() < 259) name += c;
    }
    return name;
}

std::string BoundEntry(std::string entry) {
    if (entry.size() <= kMaxEntryBytes) return entry;
    entry.resize(kMaxEntryBytes - 2);  // room for the closing empty line
    const std::size_t lineEnd = entry.rfind("\r\n");
    if (lineEnd != std::string::npos) {
        entry.resize(lineEnd + 2);
    } else {
        entry.resize(kMaxEntryBytes - 4);
        entry += "\r\n";
    }
    return entry + "\r\n";
}

WatchLog::WatchLog(IDiskReader& disk, IWatchFirmware& firmware, IBatteryReader& batteries, LogTexts texts,
                   OsNumbers os, std::u16string programFolder)
    : disk_(disk),
      firmware_(firmware),
      batteries_(batteries),
      texts_(std::move(texts)),
      os_(os),
      programFolder_(std::move(programFolder)) {}

std::int32_t WatchLog::Handle(int event) {
    SmartSnapshot snapshot;
    DriveIdentity identity;
    if (event >= kPeriodic && event <= kPowerOn) {
        disk_.Take(event, &snapshot, &identity);
    } else if (event >= kNotif1 && event <= kNotif4) {
        snapshot.state = kStateNotification;
    }
    if (snapshot.state == kStateNotSpunUp) return snapshot.state;
    if (!sessionOpen_) {
        sessionOpen_ = firmware_.Open();
        if (!sessionOpen_) return snapshot.state;
    }
    if (event == kPowerOn) PreparePowerOn(identity);
    if (snapshot.state == kStateSmartUnusable) return snapshot.state;
    if (WriteEntry(event, snapshot) && event >= kPeriodic && event <= kPowerOn && snapshot.state > 0) {
        previous_ = snapshot;
    }
    return snapshot.state;
}

void WatchLog::PreparePowerOn(const DriveIdentity& identity) {
    driveModel_ = Trim(identity.model);
    driveSerial_ = Trim(identity.serial);
    family_ = quarro::smart::DriveFamily(driveModel_);
    solidState_ = identity.solidState;
    if (solidState_) WriteDword(u"ALLSAVE", 1);
    if (family_ == 10) {
        if (!ValueExists(u"AdvancedSAVE")) WriteDword(u"AdvancedSAVE", 1);
        if (!ValueExists(u"Hdd_AdvancedMode")) WriteDword(u"Hdd_AdvancedMode", 1);
    }

    std::uint8_t model[258] = {};
    if (firmware_.ModelNumber(1, model, sizeof(model))) {
        pcModel_ = BoundedText(model, sizeof(model), 40);
        if (pcModel_.size() >= 2 && (pcModel_.size() < 3 || pcModel_[2] != '-')) pcModel_.insert(2, "-");
    } else {
        pcModel_ = "Unknown";
    }
    std::uint8_t serial[259] = {};
    pcSerial_ = "Unknown";
    if (firmware_.ModelNumber(2, serial, sizeof(serial))) {
        const std::uint32_t number = serial[5] | (serial[6] << 8) | (serial[7] << 16);
        if (number <= 99999) pcSerial_ = BoundedText(serial, 5, 5) + Format("%05u", number);
    }
    std::uint16_t bits = 0;
    if (firmware_.BatteryBays(&bits)) bays_ = (bits & 0x0C) ? 2 : (bits & 0x03) ? 1 : 0;
    previous_ = SmartSnapshot();
}

std::string WatchLog::Header() const {
    std::string header = kRule +
                         quarro::product::ProductAndMakerLines(quarro::product::ProductLine(texts_.product),
                                                               quarro::product::MakerLine(texts_.maker)) +
                         kRule;
    header += "<" + quarro::text::ToAnsi(texts_.heading) + ">\r\n";
    if (os_.osType != 0) {
        header += Format("Model No.: %s (%u.%u.%u)\r\nSerial No.: %s\r\n", pcModel_.c_str(), os_.major, os_.minor,
                         os_.build, pcSerial_.c_str());
    } else {
        header += Format("Model No.: %s\r\nSerial No.: %s\r\n", pcModel_.c_str(), pcSerial_.c_str());
    }
    header += Format("HDD Model No.: %s\r\nHDD Serial No.: %s\r\n", driveModel_.c_str(), driveSerial_.c_str());
    header += "Date format: " + quarro::text::ToAnsi(texts_.dateFormat) + "\r\n\r\n";
    return header;
}

std::string WatchLog::DockingPart() {
    std::uint8_t state = 0;
    if (!firmware_.DockingState(&state)) return {};
    return state == 1 ? " PR:docked" : " PR:undocked";
}

std::string WatchLog::ThermalPart(bool afterDocking) {
    std::uint16_t mask = 0;
    if (!firmware_.ThermalMask(&mask)) return {};
    std::u16string saved;
    ReadText(u"ETMSupport", &saved);
    std::string entryGroups, savedGroups;
    for (int i = 0; i < 9; ++i) {
        unsigned maximum = 0;
        if (saved.size() >= static_cast<std::size_t>(i * 3 + 3)) {
            const std::u16string group = saved.substr(i * 3, 3);
            if (group != u"---") {
                for (char16_t c : group) {
                    const int digit = (c >= u'0' && c <= u'9')   ? c - u'0'
                                      : (c >= u'A' && c <= u'F') ? c - u'A' + 10
                                      : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                                                                 : -1;
                    if (digit < 0) break;
                    maximum = maximum * 16 + static_cast<unsigned>(digit);
                }
            }
        }
        std::uint16_t reading = 0;
        const bool read = (mask & (1u << i)) && firmware_.ThermalReading(static_cast<std::uint16_t>(i), &reading);
        if (read) {
            // Kept to three hex digits so the saved groups never shift.
            unsigned value = reading == 0 ? 255 : reading < 2732 ? 254 : (reading - 2732u) / 10;
            if (value > 0xFFF) value = 0xFFF;
            entryGroups += Format("%03X", value);
            if (maximum == 254 || maximum == 255 || (value != 254 && value != 255 && value > maximum)) maximum = value;
        } else {
            entryGroups += "---";
        }
        savedGroups += (maximum < 1 && !read) ? std::string("---") : Format("%03X", maximum);
    }
    WriteText(u"ETMSupport", quarro::text::FromAnsi(savedGroups));
    return (afterDocking ? " / ETM:" : " ETM:") + entryGroups;
}

std::string WatchLog::BatteryPart(bool afterOther) {
    if (bays_ <= 0) return {};
    BatteryCharge charges[2] = {};
    const int found = batteries_.Read(bays_, charges);
    if (found < bays_) return {};
    std::string part;
    for (int n = 1; n <= bays_ && n <= 2; ++n) {
        const char* lead = (afterOther || n > 1) ? " / " : " ";
        const BatteryCharge& c = charges[n - 1];
        part += c.ok ? Format("%sBAT%d:%u%+d", lead, n, c.capacityMwh, c.rateMw) : Format("%sBAT%d:---", lead, n);
    }
    return part;
}

std::string WatchLog::Body(const SmartSnapshot& now) const {
    std::uint32_t advanced = 0;
    const bool hasAdvanced = ReadDword(u"AdvancedSAVE", &advanced);
    std::string body;
    if (hasAdvanced && advanced == 1) {
        for (int row = 0; row < kSectorBytes; row += 16) {
            if (std::memcmp(now.sector + row, previous_.sector + row, 16) == 0) continue;
            const std::uint8_t* b = now.sector + row;
            AppendBounded(body, Format("%03X   %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X "
                                       "%02X %02X %02X\r\n",
                                       row, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11],
                                       b[12], b[13], b[14], b[15]));
        }
        return body;
    }
    if (hasAdvanced && advanced != 0) return body;
    if (ValueExists(u"ALLSAVE")) {
        for (int i = 0; i < now.Count(); ++i) {
            const SmartEntry* before = previous_.Find(now.entries[i].id);
            if (!before || std::memcmp(before->raw, now.entries[i].raw, 6) != 0) {
                AppendBounded(body, RawLine(now.entries[i]));
            }
        }
        return body;
    }
    const bool previousEmpty = previous_.Count() == 0;
    for (std::uint8_t id : kWatched) {
        const SmartEntry* current = now.Find(id);
        const SmartEntry* before = previous_.Find(id);
        if (current) {
            if (previousEmpty || !before || std::memcmp(before->raw, current->raw, 6) != 0) {
                AppendBounded(body, RawLine(*current));
            }
        } else if (previousEmpty || before) {
            AppendBounded(body, Format("%-3d Unknown\r\n", id));
        }
    }
    return body;
}

bool WatchLog::WriteEntry(int event, const SmartSnapshot& snapshot) {
    pf::IFiles& files = pf::Files();
    const std::u16string folder = programFolder_ + u"Log" + files.Separator();
    std::uint32_t attributes = files.GetAttributes(folder.c_str());
    if (attributes == pf::kInvalidFileAttributes) {
        files.CreateFolder(folder.c_str());
        attributes = files.GetAttributes(folder.c_str());
    }
    if (attributes == pf::kInvalidFileAttributes || !(attributes & pf::kFileAttributeDirectory)) return false;
    const pf::SystemTime now = pf::Clock().LocalNow();
    const std::u16string path =
        folder + LogFileName(driveSerial_, pcSerial_, pcModel_, now.year, now.month);

    static constexpr const char* kPrefixes[] = {"", "", "Stand By (Hibernate) ", "Resume ", "Power ON (Start) ",
                                                "Power OFF ", "Stop "};
    const char* prefix = "";
    std::string run;
    if (event >= kPeriodic && event <= kStop) {
        prefix = kPrefixes[event];
    } else {
        static constexpr const char* kNotifs[] = {"Notif01 ", "Notif02 ", "Notif03 ", "Notif04 "};
        prefix = kNotifs[event - kNotif1];
        std::uint32_t marks = 0;
        if (event == kNotif2 && ReadDword(u"_HddNotif013", &marks) && marks >= 2 && marks <= 10) run.assign(marks, '+');
        if (event == kNotif3 && ReadDword(u"_HddNotif014", &marks) && marks >= 1 && marks <= 10) run.assign(marks, '+');
    }
    const std::string docking = DockingPart();
    const std::string thermal = ThermalPart(!docking.empty());
    const std::string battery =
        (event == kPowerOff || event == kStop) ? std::string() : BatteryPart(!docking.empty() || !thermal.empty());
    const std::string date = Format("%04u/%02u/%02u", now.year, now.month, now.day);
    const std::string time = Format("%02u:%02u:%02u", now.hour, now.minute, now.second);

    // A new file begins with the header and a full listing.
    const bool fresh = files.GetAttributes(path.c_str()) == pf::kInvalidFileAttributes;
    if (fresh) previous_ = SmartSnapshot();

    std::string entry = std::string(prefix) + "=====" + run + docking + thermal + battery + "\r\n" + date + " " + time +
                        "\r\n";
    if (event >= kPeriodic && event <= kPowerOn) {
        if (snapshot.state > 0) {
            entry += Body(snapshot) + "\r\n";
        } else if (snapshot.state == kStateNoDisk) {
            entry += Format("No HDD(%d)(%d)\r\n\r\n", snapshot.failureStep, static_cast<int>(snapshot.failureCode));
        } else {
            entry += "Not Available\r\n\r\n";
        }
    } else {
        entry += "\r\n";
    }
    entry = BoundEntry(std::move(entry));

    bool written = false;
    if (fresh) {
        const pf::FileHandle file = files.CreateForWriting(path.c_str());
        if (file == pf::kInvalidFile) return false;
        const std::string bytes = Header() + entry;
        written = files.Write(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        files.Close(file);
    } else {
        written = files.Append(path.c_str(), entry);
    }
    if (!written) return false;
    UpdateHistory(event, snapshot, date, time);
    return true;
}

void WatchLog::UpdateHistory(int event, const SmartSnapshot& snapshot, const std::string& date,
                             const std::string& time) {
    if (event == kPowerOn) {
        const std::uint32_t fallback = (family_ == 7 || family_ == 8 || family_ == 10) ? 0
                                       : solidState_                                     ? 0
                                       : family_ == 0                                    ? 2
                                                                                         : 1;
        std::uint32_t current = 0;
        if (!ReadDword(u"HddNotif000", &current) || current <= 2) WriteDword(u"HddNotif000", fallback);
    }
    if (event == kPowerOff || event == kStop) {
        for (const char16_t* name : kHistoryChain) CReg().DeleteValue(pf::kHkeyLocalMachine, kKey, name, 0);
        CReg().DeleteValue(pf::kHkeyLocalMachine, kKey, u"HddNotif003", 0);
        return;
    }
    if (event < kPeriodic || event > kPowerOn) return;
    std::uint32_t keep = 0;
    if (ReadDword(u"HddNotif000", &keep) && (keep & 1) == 0) return;
    if (snapshot.state <= 0) return;

    const std::uint32_t starts = static_cast<std::uint32_t>(Raw(snapshot.Find(4), 4));
    std::uint32_t hours = static_cast<std::uint32_t>(Raw(snapshot.Find(9), 4));
    if (family_ == 2) hours /= 3600;
    if (family_ == 3) hours /= 60;
    if (family_ == 7) hours /= 120;
    std::uint32_t shocks = static_cast<std::uint32_t>(Raw(snapshot.Find(191), 4));
    if (family_ == 2 || family_ == 9) shocks &= 0xFFFF;
    if (family_ == 4 || family_ == 5 || family_ == 6 || family_ == 13) shocks = (shocks & 0xFFFF) + (shocks >> 16);
    const SmartEntry* temperature = snapshot.Find(194);
    const std::uint32_t celsius = family_ == 11 ? (temperature ? temperature->raw[2] : 0)
                                                : static_cast<std::uint32_t>(Raw(temperature, 2));

    for (std::size_t i = 0; i + 1 < std::size(kHistoryChain); ++i) {
        std::u16string older;
        if (ReadText(kHistoryChain[i + 1], &older)) WriteText(kHistoryChain[i], older);
    }
    const std::u16string record = quarro::text::FromAnsi(
        Format("%s %s  %u %u %u %u", date.c_str(), time.c_str(), starts, hours, shocks, celsius));
    WriteText(u"HddNotif002", record);
    bool lastChange = event == kResume || event == kPowerOn;
    if (!lastChange) {
        std::u16string existing;
        const SmartEntry* before = previous_.Find(4);
        lastChange = !ReadText(u"HddNotif003", &existing) ||
                     (before && static_cast<std::uint32_t>(Raw(before, 4)) != starts);
    }
    if (lastChange) WriteText(u"HddNotif003", record);
}

}  // namespace watch
