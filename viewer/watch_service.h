// The viewer's control of the hard-disk watch service "Watchpost": its state when the viewer
// starts, and starting or stopping it when the user closes the sheet with OK on a system where
// the viewer talks to the service control manager itself.
//
// Each function returns 1 on success and 0 on failure, shows nothing, and closes every handle
// it opened, whichever way it ends.
#pragma once

#include <cstdint>

// The service's current state (SERVICE_RUNNING = 4, ...). *state is set to 0 first, so it stays
// 0 when the service cannot be queried (not installed, no access).
int QueryWatchServiceState(std::uint32_t* state);

// Sets the service to start automatically and starts it; succeeds at once when it already runs.
int StartWatchService();

// Disables the service and, unless it is stopped already, asks it to stop and gives it half a
// second to do so.
int StopWatchService();
