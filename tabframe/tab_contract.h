// The contract between the viewer and its tab modules: five exported functions with undecorated
// __stdcall names (see tabframe/facet.def), the set-up record, and the codes the viewer sends.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define QUARRO_STDCALL __stdcall
#else
#define QUARRO_STDCALL
#endif

namespace MiscCommon {
class CMiscCommon;
}

// Handed to InitTabDLL; four fields in this order (the session is a pointer, so on the x86_64
// build that field is 64 bits wide).
struct TabInitRecord {
    std::int32_t TabIndex;
    std::int32_t RefreshPeriod;  // always 1000
    MiscCommon::CMiscCommon* Session;
    std::int32_t SmartIdNames;
};

// The module's page handle (HPROPSHEETPAGE) crosses the boundary as an opaque pointer.
using PropSheetPageHandle = void*;

using SetupPropertyPageProc = int(QUARRO_STDCALL*)(PropSheetPageHandle* out);
using InitTabDLLProc = int(QUARRO_STDCALL*)(const TabInitRecord* record);
using TermTabDLLProc = int(QUARRO_STDCALL*)();
using GetStringDataProc = int(QUARRO_STDCALL*)(int chunk, char* buffer, int size, int separator);
using CommandMessageProc = int(QUARRO_STDCALL*)(int code);

// Export names, in the order the viewer looks them up.
inline constexpr const char* kTabExportNames[5] = {"SetupPropertyPage", "InitTabDLL", "TermTabDLL", "GetStringData",
                                                   "CommandMessage"};

// CommandMessage codes.
enum TabCommand : int {
    kTabCommandSaveBegin = 1,
    kTabCommandSaveEnd = 2,
    kTabCommandPowerQuerySuspend = 100,
    kTabCommandPowerQuerySuspendFailed = 101,
    kTabCommandPowerSuspend = 102,
    kTabCommandPowerResume = 103,
    kTabCommandNotify83EA = 110,
    kTabCommandNotify83F2 = 111,
    kTabCommandNotify83F0 = 112,
    kTabCommandNotify83F3 = 113,
    kTabCommandClosedWithOk = 120,
};

// GetStringData results besides 0 (complete) and chunk + 1 (more follows).
inline constexpr int kTextNoBuffer = -2;
inline constexpr int kTextNoSize = -3;
inline constexpr int kTextNoTable = -4;

inline constexpr int kReportBufferSize = 102400;
inline constexpr int kTabRefreshPeriod = 1000;

// Messages a module posts to the viewer's main dialog (found by class "#32770", title "AlmanacMain").
inline constexpr std::uint32_t kWmApp = 0x8000;
inline constexpr std::uint32_t kViewerSaveRequest = kWmApp + 100;
inline constexpr std::uint32_t kViewerAboutRequest = kWmApp + 101;
inline constexpr std::uint32_t kViewerAutoSaveOff = kWmApp + 102;
inline constexpr std::uint32_t kViewerServiceState = kWmApp + 103;
