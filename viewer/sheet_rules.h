// The rules of the interactive viewer that are plain arithmetic and decisions, kept apart from
// the window code (no <windows.h> here) so that each can be checked on its own: the sheet's
// layout, where a saved placement goes, the start page, which power events reach the modules,
// and what OK does about the watch service.
#pragma once

#include <cstdint>

namespace viewer_rules {

// ---- Sheet layout ------------------------------------------------------------------------

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
};

struct SheetLayout {
    int okX = 0, okY = 0;
    int cancelX = 0, cancelY = 0;
    Box tab;
};

// W x H is the sheet's client size, m and n the tab control's margins, w x h the OK button's
// size. OK and Cancel sit in the bottom-right corner (Cancel rightmost), the tab control keeps
// its margins and fills the rest above the buttons.
inline SheetLayout LayoutSheet(int W, int H, int m, int n, int w, int h) {
    SheetLayout layout;
    layout.okX = W - 2 * (w + m);
    layout.okY = H - n - h;
    layout.cancelX = W - m - w;
    layout.cancelY = H - n - h;
    layout.tab = Box{m, n, W - 2 * m, H - 3 * n - h};
    return layout;
}

// ---- Placement ---------------------------------------------------------------------------

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// A saved rectangle that lies on no monitor keeps its size and is centred in the primary work
// area; a window larger than the work area goes to the work area's top-left corner.
inline Rect CentreInWorkArea(const Rect& saved, const Rect& workArea) {
    const int width = saved.right - saved.left;
    const int height = saved.bottom - saved.top;
    const int freeX = (workArea.right - workArea.left) - width;
    const int freeY = (workArea.bottom - workArea.top) - height;
    const int x = freeX > 0 ? workArea.left + freeX / 2 : workArea.left;
    const int y = freeY > 0 ? workArea.top + freeY / 2 : workArea.top;
    return Rect{x, y, x + width, y + height};
}

// ---- Start page --------------------------------------------------------------------------

// The page the sheet opens on: the default (Facet04's page, or 0), unless a saved "StartPage"
// reads and is below the page count.
inline int StartPage(int defaultPage, bool savedReads, std::uint32_t saved, int pageCount) {
    if (savedReads && pageCount > 0 && saved < static_cast<std::uint32_t>(pageCount)) return static_cast<int>(saved);
    return defaultPage;
}

// ---- Messages forwarded to the modules ---------------------------------------------------

inline constexpr std::uint32_t kWmPowerBroadcast = 0x0218;

// The CommandMessage code a message of the hidden main dialog becomes, or 0 when it is not
// forwarded.
inline int ForwardedCode(std::uint32_t message, std::uintptr_t wParam) {
    if (message == kWmPowerBroadcast) {
        switch (wParam) {
        case 0: return 100;  // PBT_APMQUERYSUSPEND
        case 2: return 101;  // PBT_APMQUERYSUSPENDFAILED
        case 4: return 102;  // PBT_APMSUSPEND
        case 7: return 103;  // PBT_APMRESUMESUSPEND
        default: return 0;
        }
    }
    switch (message) {
    case 0x83EA: return 110;
    case 0x83F2: return 111;
    case 0x83F0: return 112;
    case 0x83F3: return 113;
    default: return 0;
    }
}

// ---- The watch service when OK is pressed ------------------------------------------------

inline constexpr std::uint32_t kServiceRunning = 4;

// wish = AutoSaveOff (0 = the service should run, 1 = it should not), state = the service's
// state at start. A wish of any other value always asks for a change.
inline bool ServiceChangeNeeded(std::int32_t wish, std::uint32_t state) {
    if (wish == 0) return state != kServiceRunning;
    if (wish == 1) return state == kServiceRunning;
    return true;
}

// The elevated object asks the user first only when a running service is to be switched off.
inline std::int32_t AskFirst(std::uint32_t stateAtStart, std::int32_t autoSaveOff) {
    return stateAtStart == kServiceRunning && autoSaveOff == 1 ? 1 : 0;
}

// The HRESULT of a moniker call refused by group policy (ERROR_ACCESS_DISABLED_BY_POLICY in its
// low 16 bits).
inline bool BlockedByPolicy(std::int32_t hresult) { return (static_cast<std::uint32_t>(hresult) & 0xFFFFu) == 1260; }

}  // namespace viewer_rules

#include <string>

namespace viewer_rules {

// The filter of the classic save dialog from a filter string in the "description|pattern|...||"
// form (string 104): '|' separates, the list ends at an empty description. A description whose
// pattern is missing or empty gets `fallbackPattern` (string 105), so that the dialog always has
// a pattern to show. The result holds embedded zeros and ends with two.
inline std::u16string SaveFilter(const std::u16string& spec, const std::u16string& fallbackPattern) {
    std::u16string filter;
    std::size_t start = 0;
    while (start < spec.size()) {
        const std::size_t bar = spec.find(u'|', start);
        const std::u16string description = spec.substr(start, bar == std::u16string::npos ? std::u16string::npos : bar - start);
        if (description.empty()) break;
        std::u16string pattern;
        std::size_t next = std::u16string::npos;
        if (bar != std::u16string::npos) {
            const std::size_t end = spec.find(u'|', bar + 1);
            pattern = spec.substr(bar + 1, end == std::u16string::npos ? std::u16string::npos : end - bar - 1);
            next = end == std::u16string::npos ? std::u16string::npos : end + 1;
        }
        if (pattern.empty()) pattern = fallbackPattern;
        filter += description;
        filter += u'\0';
        filter += pattern;
        filter += u'\0';
        if (next == std::u16string::npos) break;
        start = next;
    }
    if (filter.empty()) {
        filter += fallbackPattern;
        filter += u'\0';
        filter += fallbackPattern;
        filter += u'\0';
    }
    filter += u'\0';
    return filter;
}

}  // namespace viewer_rules
