// Where a tab page puts its buttons and its main control (a list or a tree) when the page is
// resized. Plain arithmetic on positions recorded when the page was initialised, kept apart from
// the window code so that it is checked natively.
#pragma once

namespace tabframe {

// Recorded once when the page is initialised, in page client coordinates.
struct PageMetrics {
    int bodyLeft = 0;        // the main control's top-left corner
    int bodyTop = 0;
    int saveRight = 0;       // the save button's right edge
    int saveBottomGap = 0;   // page client height - the save button's bottom
    int aboutLeft = 0;       // the about button's left edge
    int aboutBottomGap = 0;  // page client height - the about button's bottom
};

struct PageLayout {
    bool move = false;  // false: leave everything where it is
    int saveX = 0, saveY = 0;
    int aboutX = 0, aboutY = 0;
    int bodyX = 0, bodyY = 0, bodyWidth = 0, bodyHeight = 0;
};

// The layout for a client size of width x height with buttons of buttonWidth x buttonHeight: the
// buttons stay centred as a pair, their gap and bottom distance kept; the main control keeps its
// corner and margins and takes the rest. Nothing moves when a button was not measured, the main
// control sits at the corner, or the save button does not end left of the about button.
inline PageLayout LayoutPage(const PageMetrics& m, int width, int height, int buttonWidth, int buttonHeight) {
    PageLayout layout;
    if (m.saveRight == 0 && m.saveBottomGap == 0) return layout;
    if (m.aboutLeft == 0 && m.aboutBottomGap == 0) return layout;
    if (m.bodyLeft == 0 && m.bodyTop == 0) return layout;
    if (m.saveRight >= m.aboutLeft) return layout;
    const int g = (m.aboutLeft - m.saveRight) / 2;
    const int d = m.saveBottomGap;
    layout.move = true;
    layout.saveX = width / 2 - buttonWidth - g;
    layout.saveY = height - d - buttonHeight;
    layout.aboutX = width / 2 + g;
    layout.aboutY = height - d - buttonHeight;
    layout.bodyX = m.bodyLeft;
    layout.bodyY = m.bodyTop;
    layout.bodyWidth = width - 2 * m.bodyLeft;
    layout.bodyHeight = height - 2 * d - m.bodyTop - buttonHeight;
    return layout;
}

}  // namespace tabframe
