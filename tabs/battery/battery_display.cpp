// The refresh of the display blocks, the rows of the page, the list's update and the report.
#include <algorithm>
#include <cstdio>

#include "tabframe/report_writer.h"
#include "tabs/battery/battery_core.h"

namespace battery_tab {

namespace pf = quarro::platform;

namespace {

std::u16string Widen(const std::string& text) {
    std::u16string out;
    for (unsigned char c : text) out.push_back(c);
    return out;
}

std::u16string Number(long long value, const std::u16string& unit = u"") {
    return Widen(std::to_string(value)) + unit;
}

}  // namespace

// --- refresh ------------------------------------------------------------------------------------

BatteryRefresh::BatteryRefresh(BatteryWalk& walk, std::unique_ptr<IWalkThread> thread, std::uint32_t waitMs)
    : walk_(walk), thread_(std::move(thread)), waitMs_(waitMs) {}

BatteryRefresh::~BatteryRefresh() {
    // The walk writes into the slots: it must end before they go.
    while (running_ && thread_ && !thread_->Wait(waitMs_)) {
    }
}

void BatteryRefresh::Refresh(WalkMode mode) {
    previous_ = current_;
    if (!running_) {
        if (!thread_ || !thread_->Start([this, mode] { walk_.Run(mode); })) {
            current_.busy = true;
            return;
        }
        running_ = true;
        ++started_;
    }
    if (!thread_->Wait(waitMs_)) {
        current_.busy = true;
        return;
    }
    running_ = false;
    current_.busy = false;
    Copy();
}

void BatteryRefresh::Copy() {
    current_.batteryCount = walk_.Devices();
    for (int s = 0; s < kSlots; ++s) {
        const BatteryInfo& info = walk_.Slot(s);
        current_.slots[s] = info;
        current_.celsius[s] = info.temperature / 10.0 - 273.15;
        current_.hours[s] = info.estimatedTime / 3600;
        current_.minutes[s] = info.estimatedTime % 3600 / 60;
    }
}

// --- rows ---------------------------------------------------------------------------------------

std::u16string TemperatureText(double celsius, const Texts& texts) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", celsius);
    return Widen(text) + texts.load(kStrDegrees);
}

std::u16string PowerStateText(std::uint32_t state, const Texts& texts) {
    static const struct {
        std::uint32_t bit;
        unsigned id;
    } kBits[] = {{pf::kBatteryPowerOnLine, kStrOnLine},
                 {pf::kBatteryCharging, kStrCharging},
                 {pf::kBatteryDischarging, kStrDischarging},
                 {pf::kBatteryCritical, kStrCritical}};
    std::u16string out;
    for (const auto& b : kBits) {
        if (!(state & b.bit)) continue;
        if (!out.empty()) out += u", ";
        out += texts.load(b.id);
    }
    return out;
}

std::vector<Row> BatteryRows(const BatteryDisplay& display, const BatterySettings& settings, int slot,
                             const Texts& texts) {
    const BatteryInfo& b = display.slots[slot];
    const std::u16string unknown = texts.load(kStrUnknown);
    std::vector<Row> rows;
    rows.push_back({texts.load(kStrBattery) + Number(slot + 1), b.present ? u"" : texts.load(kStrNotPresent)});
    if (!b.present) return rows;
    auto add = [&](unsigned label, bool valid, const std::u16string& value) {
        rows.push_back({texts.load(label), valid ? value : unknown});
    };
    const std::u16string mwh = b.relative ? u"" : texts.load(kStrMwh);
    add(kStrName, b.nameValid, b.name);
    add(kStrChemistry, b.chemistryValid, Widen(b.chemistry));
    add(kStrPowerState, b.powerStateValid, PowerStateText(b.powerState, texts));
    add(kStrRemaining, b.remainingValid, Number(static_cast<std::int32_t>(b.remaining), mwh));
    add(kStrFullCharged, b.fullChargedValid, Number(static_cast<std::int32_t>(b.fullCharged), mwh));
    add(kStrVoltage, b.voltageValid, Number(static_cast<std::int32_t>(b.voltage), texts.load(kStrMv)));
    add(kStrRate, b.rateValid, Number(b.rate, b.relative ? u"" : texts.load(kStrMw)));
    add(kStrChargeIndex, b.chargeIndexValid, Number(b.chargeIndex));
    add(kStrTemperature, b.temperatureValid, TemperatureText(display.celsius[slot], texts));
    if (b.idValid) rows.push_back({texts.load(kStrId), texts.fromAnsi(b.id)});
    if (settings.healthSupported[slot]) {
        rows.push_back({texts.load(kStrHealth), b.healthValid                     ? Number(b.health, u" %")
                                                : b.health == kHealthRecalibrate ? texts.load(kStrRecalibrate)
                                                                                 : unknown});
    }
    if (settings.showRemainingTime) {
        std::u16string time;
        if (b.timeValid) {
            char text[64];
            std::snprintf(text, sizeof text, "%u:%02u ", static_cast<unsigned>(display.hours[slot]),
                          static_cast<unsigned>(display.minutes[slot]));
            time = Widen(text) + texts.load(kStrHours);
        } else if (!(b.powerStateValid && (b.powerState & pf::kBatteryPowerOnLine))) {
            time = unknown;
        }
        rows.push_back({texts.load(kStrRemainingTime), time});
    }
    return rows;
}

// --- the list -----------------------------------------------------------------------------------

int BatteryListState::FirstRow(int slot) const {
    if (busyRow_ || slot >= slotsShown_ || shown_[slot].empty()) return -1;
    int index = 0;
    for (int s = 0; s < slot; ++s) index += static_cast<int>(shown_[s].size());
    return index;
}

void BatteryListState::Clear(IBatteryList& list) {
    int rows = busyRow_ ? 1 : 0;
    for (int s = 0; s < slotsShown_; ++s) rows += static_cast<int>(shown_[s].size());
    while (rows > 0) list.DeleteRow(--rows);
    for (auto& shown : shown_) shown.clear();
    slotsShown_ = 0;
    busyRow_ = false;
}

void BatteryListState::Fill(IBatteryList& list, const BatteryDisplay& display, const BatterySettings& settings,
                            const Texts& texts) {
    Clear(list);
    if (display.busy) {
        list.InsertRow(0, u"", texts.load(kStrBusy));
        busyRow_ = true;
        return;
    }
    int index = 0;
    slotsShown_ = std::min(display.batteryCount, kSlots);
    for (int s = 0; s < slotsShown_; ++s) {
        shown_[s] = BatteryRows(display, settings, s, texts);
        for (const Row& row : shown_[s]) list.InsertRow(index++, row.label, row.value);
    }
}

void BatteryListState::Update(IBatteryList& list, const BatteryDisplay& display, const BatterySettings& settings,
                              const Texts& texts) {
    if (display.busy || busyRow_) {
        if (display.busy && busyRow_) return;
        Fill(list, display, settings, texts);
        return;
    }
    const int count = std::min(display.batteryCount, kSlots);
    int base = 0;
    for (int s = 0; s < std::max(count, slotsShown_); ++s) {
        const std::vector<Row> want = s < count ? BatteryRows(display, settings, s, texts) : std::vector<Row>();
        std::vector<Row>& have = shown_[s];
        if (have.empty() || want.empty()) {
            for (std::size_t r = have.size(); r > 0; --r) list.DeleteRow(base + static_cast<int>(r) - 1);
            for (std::size_t r = 0; r < want.size(); ++r) list.InsertRow(base + static_cast<int>(r), want[r].label, want[r].value);
        } else {
            if (have[0].value != want[0].value) list.SetValue(base, want[0].value);
            const bool sameRows = have.size() == want.size() &&
                                  std::equal(have.begin(), have.end(), want.begin(),
                                             [](const Row& a, const Row& b) { return a.label == b.label; });
            if (sameRows) {
                for (std::size_t r = 1; r < want.size(); ++r) {
                    if (have[r].value != want[r].value) list.SetValue(base + static_cast<int>(r), want[r].value);
                }
            } else {
                for (std::size_t r = have.size(); r > 1; --r) list.DeleteRow(base + static_cast<int>(r) - 1);
                for (std::size_t r = 1; r < want.size(); ++r) {
                    list.InsertRow(base + static_cast<int>(r), want[r].label, want[r].value);
                }
            }
        }
        have = want;
        base += static_cast<int>(want.size());
    }
    slotsShown_ = count;
}

// --- report -------------------------------------------------------------------------------------

std::string ReportText(const BatteryDisplay& display, const BatterySettings& settings, char separator,
                       const Texts& texts, const std::function<std::string(std::u16string_view)>& toAnsi) {
    using tabframe::Piece;
    auto label = [&](const std::u16string& text) {
        const std::string ansi = toAnsi(text);
        return separator == 0 ? Piece("%-25s ", ansi.c_str()) : Piece("%s%c", ansi.c_str(), separator);
    };
    auto value = [&](const std::u16string& text) { return Piece("%s\r\n", toAnsi(text).c_str()); };
    const std::string rule = std::string(tabframe::kRuleLength, '-') + "\r\n";
    std::string out = Piece("%s\r\n", toAnsi(texts.load(kStrHead)).c_str()) + rule;
    out += label(texts.load(kStrItem)) + value(texts.load(kStrStatus)) + rule;
    if (display.busy) {
        out += (separator == 0 ? Piece("%-25s ", "") : std::string(1, separator)) + value(texts.load(kStrUnknown));
    } else {
        for (int s = 0; s < std::min(display.batteryCount, kSlots); ++s) {
            for (const Row& row : BatteryRows(display, settings, s, texts)) out += label(row.label) + value(row.value);
        }
    }
    return out + "\r\n\r\n";
}

}  // namespace battery_tab
