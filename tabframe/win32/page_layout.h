// Where the list page puts its list and its two buttons when the page is resized. Plain
// arithmetic, kept apart from the window code so that it can be checked on its own.
#pragma once

namespace tabframe {

// Measured once when the page is initialised, in page client coordinates.
struct ListPageMetrics {
    int listLeft = 0;
    int listTop = 0;
    int saveRight = 0;       // the save button's right edge
    int saveBottomGap = 0;   // page client height - the save button's bottom
    int aboutLeft = 0;       // the about button's left edge
    int aboutBottomGap = 0;  // page client height - the about button's bottom
};

struct ListPageLayout {
    bool move = false;  // false: leave everything where it is
    int saveX = 0, saveY = 0;
    int aboutX = 0, aboutY = 0;
    int listX = 0, listY = 0, listWidth = 0, listHeight = 0;
};

// The layout for a client size of width x height with buttons of buttonWidth x buttonHeight: the
// buttons stay centred as a pair, their gap and bottom distance kept; the list keeps its corner
// and margins and takes the rest.
inline ListPageLayout LayoutListPage(const ListPageMetrics& m, int width, int height, int buttonWidth,
                                     int buttonHeight) {
    ListPageLayout layout;
    if (m.saveRight == 0 && m.saveBottomGap == 0) return layout;
    if (m.aboutLeft == 0 && m.aboutBottomGap == 0) return layout;
    if (m.listLeft == 0 && m.listTop == 0) return layout;
    if (m.saveRight >= m.aboutLeft) return layout;
    const int g = (m.aboutLeft - m.saveRight) / 2;
    const int d = m.saveBottomGap;
    layout.move = true;
    layout.saveX = width / 2 - buttonWidth - g;
    layout.saveY = height - d - buttonHeight;
    layout.aboutX = width / 2 + g;
    layout.aboutY = height - d - buttonHeight;
    layout.listX = m.listLeft;
    layout.listY = m.listTop;
    layout.listWidth = width - 2 * m.listLeft;
    layout.listHeight = height - 2 * d - m.listTop - buttonHeight;
    return layout;
}

}  // namespace tabframe
