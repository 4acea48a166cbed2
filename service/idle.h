// The watch service's start-up decision: run, or stay idle and write nothing.
#pragma once

#include <cstdint>
#include <functional>

class CAudit;

// True when the service must stay idle. Only client systems it was built for run it (Windows
// 2000, XP, Vista, 7, 8, 8.1 and a future system); there, a machine in its audit state stays idle,
// and so does one whose maker's driver cannot be opened (`sessionOpens` probes it: it opens a
// session and closes it again). Server editions and older systems always stay idle.
bool ShouldStayIdle(std::int16_t osType, const CAudit& audit, const std::function<bool()>& sessionOpens);
