// The rows of the PC Status page and its report section.
#include <cstdio>

#include "tabs/pcstatus/status_data.h"

namespace pcstatus {

namespace {

using tabframe::Piece;
using tabframe::ReportStatus;
using tabframe::ReportWriter;

std::u16string Widen(const std::string& text) {
    std::u16string out;
    for (char c : text) out.push_back(static_cast<unsigned char>(c));
    return out;
}

StatusRow TextRow(const StringLookup& text, std::uint32_t item, std::u16string value) {
    StatusRow row;
    row.item = text(item);
    row.value = std::move(value);
    return row;
}

StatusRow NumberRow(const StringLookup& text, std::uint32_t item, RowForm form, std::int64_t number) {
    StatusRow row = TextRow(text, item, u"");
    row.form = form;
    row.number = number;
    const int n = static_cast<int>(number);
    row.value = Widen(form == RowForm::kCount ? Piece("%8d", n) : Piece("%xh", static_cast<unsigned>(n)));
    return row;
}

// A MIN or MAX record: the temperature in bits 16-23 (offset by 60), and flag bits 2-15 that
// say whether it is exact or a bound.
StatusRow TemperatureRow(const StringLookup& text, std::uint32_t item, std::int64_t record, std::uint32_t bound) {
    if (record < 0) return TextRow(text, item, text(kUnknown));
    StatusRow row = TextRow(text, item, u"");
    const std::uint32_t r = static_cast<std::uint32_t>(record);
    row.form = RowForm::kTemperature;
    row.number = static_cast<int>((r >> 16) & 0xFF) - 60;
    row.suffix = text((r & 0xFFFC) != 0 ? kDegrees : bound);
    row.value = Widen(Piece("%-d", static_cast<int>(row.number))) + row.suffix;
    return row;
}

std::u16string OnOff(const StringLookup& text, std::uint32_t value, bool alternative) {
    if (alternative) return text(value != 0 ? kOn : kOff);
    return text(value != 0 ? kEnabled : kDisabled);
}

const std::uint32_t kListTitles[kListCount] = {kRunListTitle, kAllUsersTitle, kCurrentUserTitle, kDefaultUserTitle,
                                               kProcessesTitle};

}  // namespace

std::vector<StatusRow> ValueRows(const StatusData& d, const StringLookup& text) {
    std::vector<StatusRow> rows;
    const std::u16string unknown = text(kUnknown);
    rows.push_back(TextRow(text, kFirstLogon, d.firstLogon.empty() ? unknown : d.firstLogon));
    rows.push_back(TextRow(text, kElapsedTime, d.elapsed.empty() ? unknown : d.elapsed));
    rows.push_back(d.limitCount < 0 ? TextRow(text, kLimitCount, unknown)
                                    : NumberRow(text, kLimitCount, RowForm::kCount, d.limitCount));
    rows.push_back(d.statusCode < 0 ? TextRow(text, kStatusCode, unknown)
                                    : NumberRow(text, kStatusCode, RowForm::kHex, d.statusCode));
    rows.push_back(TemperatureRow(text, kTemperatureMin, d.minRecord, kDegreesOrAbove));
    rows.push_back(TemperatureRow(text, kTemperatureMax, d.maxRecord, kDegreesOrBelow));
    if (d.lcdRaw >= 0) {
        StatusRow row = TextRow(text, kLcdTime, u"");
        const std::uint32_t raw = static_cast<std::uint32_t>(d.lcdRaw);
        row.form = RowForm::kLcd;
        row.number = (raw & 0x3FFFFF) / (d.lcdUnit ? d.lcdUnit : 1);
        row.mark = (raw >> 22) & 1;
        row.value = Widen(Piece("%8d", static_cast<int>(row.number))) + (row.mark ? u"*" : u"");
        rows.push_back(row);
    }
    if (!d.thermal.empty()) rows.push_back(TextRow(text, kEtmSupport, d.thermal));
    if (!d.controlMode.empty()) {
        rows.push_back(TextRow(text, d.fanControl ? kFanControlMode : kEtmControlMode, d.controlMode));
    }
    if (!d.screenColors.empty()) rows.push_back(TextRow(text, kScreenColors, d.screenColors));
    if (d.composition >= 0) rows.push_back(TextRow(text, kWindowsAero, text(d.composition ? kEnabled : kDisabled)));
    if (d.acState >= 0) {
        static const std::uint32_t kStates[] = {kStandard, kSmall, kOther, kNotConnected, kDetecting};
        rows.push_back(TextRow(text, kAcAdaptor, d.acState <= 4 ? text(kStates[d.acState]) : unknown));
    }
    if (d.chargeSpeed >= 0) {
        rows.push_back(TextRow(text, kChargeSpeed,
                               d.chargeSpeed == 1 ? text(kStandard) : d.chargeSpeed == 0 ? text(kSlow) : unknown));
    }
    if (d.usbRapid >= 0) {
        static const std::uint32_t kRapid[] = {kDisabled, kAlwaysEnabled, kAuto};
        rows.push_back(TextRow(text, kUsbRapidCharging, d.usbRapid <= 2 ? text(kRapid[d.usbRapid]) : unknown));
    }
    if (d.usbPowerOff >= 0) {
        const std::u16string value = d.usbPowerOff == 3   ? text(kEnabledAcPower)
                                     : d.usbPowerOff == 4 ? text(kEnabledAcBattery)
                                     : d.usbPowerOff == 0 ? text(kDisabled)
                                                          : unknown;
        rows.push_back(TextRow(text, kUsbPowerOffCharging, value));
    }
    if (d.hold >= 0) {
        rows.push_back(TextRow(text, kHoldButton, text(d.hold ? kHoldEnabled : kHoldDisabled)));
        if (d.hold == 1) {
            const std::u16string operation = !(d.holdFlags & 1) ? unknown
                                             : (d.holdFlags & 2) ? text(kDisableKeyboardTouchpad)
                                                                 : text(kDisableTouchpad);
            rows.push_back(TextRow(text, kHoldOperation, operation));
            const std::u16string cancel = d.holdAutoCancel == 1   ? text(kEnabled)
                                          : d.holdAutoCancel == 0 ? text(kDisabled)
                                                                  : unknown;
            rows.push_back(TextRow(text, kHoldAutoCancel, cancel));
        }
    }
    if (d.recovery >= 0) rows.push_back(TextRow(text, kRecoveryDisc, text(d.recovery ? kCreated : kCreatable)));
    const VelostartValues& v = d.velostart;
    if (v.present) {
        rows.push_back(TextRow(text, kVelostart, u""));
        const bool tpm = v.answered[kUseTpm];
        if (v.answered[kConfig]) {
            rows.push_back(TextRow(text, tpm ? kOptimizeLaunch : kDelayLaunch, OnOff(text, v.value[kConfig], false)));
            if (v.value[kConfig] != 0) rows.push_back(TextRow(text, kNetworkWhileOff, OnOff(text, v.network, tpm)));
        }
        if (tpm) {
            rows.push_back(TextRow(text, kTpm, OnOff(text, v.value[kUseTpm], true)));
            rows.push_back(TextRow(text, kStartupSound, OnOff(text, v.sound, true)));
        }
        if (v.answered[kPeriodicRecoveryPoint]) {
            rows.push_back(TextRow(text, kAdjustRestorePoint,
                                   text(v.value[kPeriodicRecoveryPoint] ? kNoRestorePoints : kMakeRestorePoints)));
        }
        const std::pair<VelostartQuery, std::uint32_t> kSwitches[] = {{kPagingExecutive, kSystemOnMemory},
                                                                        {kNoGuiBoot, kSkipLogo},
                                                                        {kDelayedDesktopSwitch, kNoDesktopWait},
                                                                        {kReadyBoot, kOptimizeDiscReading},
                                                                        {kHibernationDelay, kDelayHibernation}};
        for (const auto& s : kSwitches) {
            if (v.answered[s.first]) rows.push_back(TextRow(text, s.second, OnOff(text, v.value[s.first], false)));
        }
    }
    return rows;
}

std::vector<StatusRow> ListRows(const StatusData& data, ListId list, const StringLookup& text) {
    std::vector<StatusRow> rows;
    const std::vector<std::u16string>& entries = data.lists[list].entries;
    if (entries.empty()) return rows;
    StatusRow title = TextRow(text, kListTitles[list], u"");
    title.form = RowForm::kListTitle;
    title.list = list;
    rows.push_back(title);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        StatusRow row;
        row.form = RowForm::kListEntry;
        row.list = list;
        row.number = static_cast<std::int64_t>(i + 1);
        row.value = Widen(Piece("%3d : ", static_cast<int>(i + 1))) + entries[i];
        rows.push_back(row);
    }
    return rows;
}

std::vector<StatusRow> PageRows(const StatusData& data, const StringLookup& text) {
    std::vector<StatusRow> rows = ValueRows(data, text);
    for (int list = 0; list < kListCount; ++list) {
        for (StatusRow& row : ListRows(data, static_cast<ListId>(list), text)) rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

std::string ValueLine(const ReportWriter& w, const StatusRow& row, const AnsiEncoder& ansi) {
    std::string line = w.Field("%-34s ", ansi(row.item), false);
    const bool fixed = w.Fixed();
    const int n = static_cast<int>(row.number);
    switch (row.form) {
    case RowForm::kCount: return line + Piece(fixed ? "%-84d\r\n" : "%d\r\n", n);
    case RowForm::kHex: return line + Piece("%xh\r\n", static_cast<unsigned>(n));
    case RowForm::kTemperature:
        return line + Piece(fixed ? "%-3d%-81s\r\n" : "%d%s\r\n", n, ansi(row.suffix).c_str());
    case RowForm::kLcd:
        if (fixed) return line + (row.mark ? Piece("%-d*%77s\r\n", n, "") : Piece("%-d%78s\r\n", n, ""));
        return line + Piece(row.mark ? "%d*\r\n" : "%d\r\n", n);
    default: return line + w.Field("%-84s\r\n", ansi(row.value), true);
    }
}

std::string ListTitleLine(const ReportWriter& w, const std::string& title) {
    return (w.Fixed() ? Piece("%-34s", title.c_str()) : Piece("%s%c", title.c_str(), w.Separator())) + "\r\n";
}

std::string ListEntryLine(const ReportWriter& w, int number, const std::string& entry) {
    if (w.Fixed()) return Piece("%-34s", "") + Piece("%3d : ", number) + Piece("%-79s\r\n", entry.c_str());
    return Piece("%c", w.Separator()) + Piece("%3d : ", number) + Piece("%s\r\n", entry.c_str());
}

}  // namespace

ReportStatus WriteStatusReport(ReportWriter& w, tabframe::ReportResume& at, StatusData& data,
                               const StringLookup& text, const AnsiEncoder& ansi, const ListRefresher& refresh) {
    if (at.stage == kStageHeading) {
        for (int list = 0; list < kListCount; ++list) refresh(data, list);
        const std::string column = w.Field("%-34s ", ansi(text(kItemTitle)), false) +
                                   w.Field("%-84s\r\n", ansi(text(kStatusTitle)), true);
        w.Append(ReportWriter::HeadBlock(ansi(text(kSectionHead)), column));
        at = {kStageValues, 0};
    }
    if (at.stage == kStageValues) {
        const std::vector<StatusRow> rows = ValueRows(data, text);
        for (; at.index < static_cast<int>(rows.size()); ++at.index) {
            if (!w.AppendLine(ValueLine(w, rows[static_cast<std::size_t>(at.index)], ansi))) return ReportStatus::kMore;
        }
        at = {kStageLists, -1};
    }
    while (at.stage >= kStageLists && at.stage < kStageEnd) {
        const int list = at.stage - kStageLists;
        if (list == kProcessList && at.index == -1) refresh(data, kProcessList);
        const std::vector<std::u16string>& entries = data.lists[list].entries;
        for (; !entries.empty() && at.index < static_cast<int>(entries.size()); ++at.index) {
            const std::string line =
                at.index < 0 ? ListTitleLine(w, ansi(text(kListTitles[list])))
                             : ListEntryLine(w, at.index + 1, ansi(entries[static_cast<std::size_t>(at.index)]));
            if (!w.AppendLine(line)) return ReportStatus::kMore;
        }
        at = {at.stage + 1, -1};
    }
    w.Append("\r\n\r\n");
    return ReportStatus::kComplete;
}

}  // namespace pcstatus
