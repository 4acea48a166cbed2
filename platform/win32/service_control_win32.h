// The real service control manager behind IServiceControl.
#pragma once

#include "platform/service_control.h"

namespace quarro::platform::win32 {

class Win32ServiceControl : public IServiceControl {
public:
    ScHandle OpenManager(std::uint32_t access) override;
    ScHandle OpenService(ScHandle manager, const char16_t* name, std::uint32_t access) override;
    bool ChangeStartType(ScHandle service, std::uint32_t startType) override;
    bool QueryState(ScHandle service, std::uint32_t* state) override;
    bool Start(ScHandle service) override;
    // *state (when given) is written only when the control succeeds.
    bool Control(ScHandle service, std::uint32_t control, std::uint32_t* state) override;
    void CloseHandle(ScHandle handle) override;
};

}  // namespace quarro::platform::win32
