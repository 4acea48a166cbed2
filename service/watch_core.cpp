#include "service/watch_core.h"

namespace watch {

std::uint32_t NextRetryDelay(std::uint16_t retriesMade) {
    if (retriesMade >= 6) return 0;
    return retriesMade < 3 ? 100 : 5000;
}

ControlAnswer AnswerControl(std::uint32_t control, std::uint32_t lastState, bool stopping) {
    const std::uint32_t running = stopping ? 0 : kServiceRunning;
    switch (control) {
    case 1:  // stop
        return {ControlPost::kStop, kServiceStopPending, 0};
    case 2:  // pause
        return {ControlPost::kNothing, lastState == kServiceRunning && !stopping ? kServicePaused : running, 0};
    case 5:  // shut-down
        return {ControlPost::kClose, 0, 0};
    case 3:  // continue, interrogate, power event and 130: nothing to do but say so
    case 4:
    case 13:
    case 130:
        return {ControlPost::kNothing, running, 0};
    default:
        if (control >= 144 && control <= 148) return {ControlPost::kControl, running, 0};
        return {ControlPost::kNothing, running, kCallNotImplemented};
    }
}

std::uint32_t PeriodFor(bool timerElapseRead, std::uint32_t minutes, bool exclusionDevicePresent) {
    if (exclusionDevicePresent) return 0;
    if (timerElapseRead && minutes != 0 && minutes <= 0xFFFFFFFFu / 60000u) return minutes * 60000u;
    return kDefaultPeriodMs;
}

void WatchCore::StopBoth() {
    timers_.Stop(kPeriodicTimer);
    timers_.Stop(kRetryTimer);
}

void WatchCore::RestartPeriod() {
    timers_.Stop(kPeriodicTimer);
    if (period_ != 0) timers_.Start(kPeriodicTimer, period_);
}

void WatchCore::PeriodicTick() {
    timers_.Stop(kPeriodicTimer);
    Event(kPeriodic);
    RestartPeriod();
}

void WatchCore::RetryTick() {
    timers_.Stop(kRetryTimer);
    if (Event(kResume) != kStateNotSpunUp) {
        retries_ = 0;
        return;
    }
    const std::uint32_t delay = NextRetryDelay(retries_);
    if (delay == 0) {
        retries_ = 0;
        return;
    }
    ++retries_;
    timers_.Start(kRetryTimer, delay);
}

void WatchCore::Suspend() {
    StopBoth();
    retries_ = 0;
    Event(kSuspend);
}

void WatchCore::Resume() {
    StopBoth();
    retries_ = 0;
    if (Event(kResume) == kStateNotSpunUp) {
        retries_ = 1;
        timers_.Start(kRetryTimer, 100);
    }
    RestartPeriod();
}

void WatchCore::PowerOn() {
    Event(kPowerOn);
    RestartPeriod();
}

void WatchCore::Control(std::uint32_t code) {
    StopBoth();
    if (code == 144) {
        Event(kPeriodic);
    } else if (code >= 145 && code <= 148) {
        Event(kNotif1 + static_cast<int>(code - 145));
    }
    RestartPeriod();
}

void WatchCore::Stop() {
    StopBoth();
    Event(kStop);
}

void WatchCore::Shutdown() {
    StopBoth();
    Event(kPowerOff);
}

}  // namespace watch

#include "common/text.h"
#include "platform/owner.h"
#include "platform/platform.h"

namespace watch {

bool ExclusionDevicePresent() {
    namespace pf = quarro::platform;
    pf::IDeviceInventory& inventory = pf::DeviceInventory();
    const pf::OwnedInventorySet owned(inventory, inventory.OpenPresentDevices());
    if (!owned) return false;
    const pf::DeviceInfoSet set = owned.Get();
    bool found = false;
    pf::DeviceMember member;
    for (std::uint32_t index = 0; !found && inventory.EnumDevice(set, index, &member); ++index) {
        char16_t id[512] = {};
        if (!inventory.ReadInstanceId(set, member, id, 511)) continue;
        id[511] = 0;
        found = quarro::text::StartsWithNoCaseAscii(id, u"pci\\ven_8086&dev_444e");
    }
    return found;
}

}  // namespace watch
