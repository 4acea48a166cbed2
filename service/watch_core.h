// The watch service's event handling, apart from its window: what each message of the hidden
// window does with the timers and which event it logs. The window procedure only forwards.
#pragma once

#include <cstdint>

#include "service/watch_log.h"

namespace watch {

inline constexpr int kPeriodicTimer = 7;
inline constexpr int kRetryTimer = 8;
inline constexpr std::uint32_t kDefaultPeriodMs = 3600000;

// The window's timers.
class ITimers {
public:
    virtual ~ITimers() = default;
    virtual void Start(int id, std::uint32_t milliseconds) = 0;
    virtual void Stop(int id) = 0;
};

// Service states and the handler result, as the service control manager numbers them.
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;
inline constexpr std::uint32_t kServicePaused = 7;
inline constexpr std::uint32_t kCallNotImplemented = 120;

// What the control handler posts to the hidden window.
enum class ControlPost { kNothing, kStop, kClose, kControl };

// The control handler's answer to one control code: the message it posts, the state it reports
// (0: none) and its result. The Win32 handler only carries it out, reporting before it posts.
struct ControlAnswer {
    ControlPost post;
    std::uint32_t report;
    std::uint32_t result;
    bool operator==(const ControlAnswer& o) const {
        return post == o.post && report == o.report && result == o.result;
    }
};

// `lastState` is the state reported last; once a stop is under way (`stopping`) the service never
// reports running or paused again.
ControlAnswer AnswerControl(std::uint32_t control, std::uint32_t lastState, bool stopping);

// The delay before the next spin-up retry after a resume whose disk is still not spun up, given
// the retries made so far (1..6), or 0 when the retries are over: 100, 100, 5000, 5000, 5000
// after the first retry at 100 ms, six in all.
std::uint32_t NextRetryDelay(std::uint16_t retriesMade);

// The period from "TimerElapse" (minutes; 0 or absent = one hour) and whether the device that
// rules out periodic samples is present (then 0: no periodic timer).
std::uint32_t PeriodFor(bool timerElapseRead, std::uint32_t minutes, bool exclusionDevicePresent);

class WatchCore {
public:
    // `log` is null while the service is idle: events then do nothing.
    WatchCore(WatchLog* log, ITimers& timers, std::uint32_t periodMs)
        : log_(log), timers_(timers), period_(periodMs) {}

    void PeriodicTick();
    void RetryTick();
    void Suspend();
    void Resume();
    void PowerOn();
    // A user-defined control code (144..148 log; anything else only restarts the period).
    void Control(std::uint32_t code);
    void Stop();
    void Shutdown();

    std::uint16_t RetryCounter() const { return retries_; }

private:
    std::int32_t Event(int event) { return log_ ? log_->Handle(event) : 0; }
    void StopBoth();
    void RestartPeriod();

    WatchLog* log_;
    ITimers& timers_;
    std::uint32_t period_;
    std::uint16_t retries_ = 0;
};

}  // namespace watch

namespace watch {

// Whether a device whose instance id begins (case-insensitively) with "pci\ven_8086&dev_444e" is
// present (device inventory concern): on such machines there are no periodic samples.
bool ExclusionDevicePresent();

}  // namespace watch
