// The installed-updates concern on Windows: WMI's Win32_QuickFixEngineering through COM.
#pragma once

#include "platform/hotfixes.h"

namespace quarro::platform::win32 {

// One query per call, on the calling thread: COM is initialised for the call (single-threaded
// apartment) and uninitialised again when that initialisation succeeded.
class Win32Hotfixes : public IHotfixes {
public:
    bool Query(const std::function<bool(const HotfixObject&)>& visit) override;
};

}  // namespace quarro::platform::win32
