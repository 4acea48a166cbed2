// The named-pipe end of the S.M.A.R.T. server: one pipe instance, local clients only, a DACL
// for SYSTEM, administrators and interactive users, clients served one after another. A client
// that sends no mode byte, a bad one, or does not take its answer within the client time-out is
// dropped; the server goes on with the next one until `stop` is signalled.
#pragma once

#include <windows.h>

#include "platform/storage.h"

namespace quarro::spindle {

// How long one client may take for each step (its mode byte, taking the answer, closing).
inline constexpr DWORD kClientTimeoutMs = 2000;

// Serves until `stop` is signalled: 0, or the Win32 error that kept the pipe from being created.
// With `log` every client gets one line on standard output.
DWORD ServePipe(platform::IStorage& storage, HANDLE stop, bool log);

}  // namespace quarro::spindle
