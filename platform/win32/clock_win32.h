#pragma once

#include "platform/clock.h"

namespace quarro::platform::win32 {

class Win32Clock : public IClock {
public:
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t PerformanceCounter() override;
    SystemTime UtcNow() override;
    SystemTime LocalNow() override;
    std::uint32_t TickCount() override;
};

}  // namespace quarro::platform::win32
