// The interactive viewer's plain rules and the tab pages' layout, checked natively: sheet and page
// layout, placement, start page, what is forwarded to the modules, the OK-time service decision
// and the classic save filter.
#include <gtest/gtest.h>

#include <string>

#include "tabframe/page_layout.h"
#include "viewer/sheet_rules.h"

namespace {

using namespace viewer_rules;

TEST(ViewerRules, SheetLayoutPutsButtonsInTheCornerAndKeepsTabMargins) {
    // W, H, m, n, w, h -> OK x/y, Cancel x/y, tab box
    struct Case {
        int W, H, m, n, w, h;
        int okX, okY, cancelX, cancelY;
        Box tab;
    } cases[] = {
        {386, 317, 7, 7, 75, 23, 222, 287, 304, 287, {7, 7, 372, 273}},
        {626, 477, 7, 7, 75, 23, 462, 447, 544, 447, {7, 7, 612, 433}},
        {300, 200, 10, 4, 60, 20, 160, 176, 230, 176, {10, 4, 280, 168}},
    };
    for (const Case& c : cases) {
        const SheetLayout l = LayoutSheet(c.W, c.H, c.m, c.n, c.w, c.h);
        EXPECT_EQ(l.okX, c.okX);
        EXPECT_EQ(l.okY, c.okY);
        EXPECT_EQ(l.cancelX, c.cancelX);
        EXPECT_EQ(l.cancelY, c.cancelY);
        EXPECT_EQ(l.tab.x, c.tab.x);
        EXPECT_EQ(l.tab.y, c.tab.y);
        EXPECT_EQ(l.tab.width, c.tab.width);
        EXPECT_EQ(l.tab.height, c.tab.height);
        // Cancel ends m from the right edge, OK ends m before Cancel starts.
        EXPECT_EQ(l.cancelX + c.w, c.W - c.m);
        EXPECT_EQ(l.okX + c.w + c.m, l.cancelX);
    }
}

TEST(ViewerRules, OffMonitorRectangleIsCentredOrPinnedToTheWorkArea) {
    struct Case {
        Rect saved, work, expected;
    } cases[] = {
        {{5000, 5000, 5400, 5300}, {0, 0, 1280, 1024}, {440, 362, 840, 662}},
        {{-900, 10, -500, 310}, {0, 30, 1280, 1024}, {440, 377, 840, 677}},           // below a taskbar at the top
        {{6000, 6000, 7400, 7100}, {0, 0, 1280, 1024}, {0, 0, 1400, 1100}},            // larger: top-left
        {{6000, 6000, 6300, 7100}, {100, 0, 1380, 1024}, {590, 0, 890, 1100}},         // only taller
        {{0, 0, 1280, 1024}, {0, 0, 1280, 1024}, {0, 0, 1280, 1024}},                  // exactly the size
    };
    for (const Case& c : cases) {
        const Rect r = CentreInWorkArea(c.saved, c.work);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
}

TEST(ViewerRules, SavedStartPageWinsOnlyBelowThePageCount) {
    struct Case {
        int defaultPage;
        bool reads;
        std::uint32_t saved;
        int count, expected;
    } cases[] = {
        {3, true, 3, 9, 3}, {3, true, 5, 9, 5}, {2, true, 7, 5, 2}, {2, true, 5, 5, 2},
        {2, true, 4, 5, 4}, {3, false, 1, 9, 3}, {0, true, 0xFFFFFFFFu, 9, 0}, {0, true, 0, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(StartPage(c.defaultPage, c.reads, c.saved, c.count), c.expected) << c.saved;
}

TEST(ViewerRules, PowerEventsAndOutsideNotificationsBecomeModuleCodes) {
    struct Case {
        std::uint32_t message;
        std::uintptr_t wParam;
        int code;
    } cases[] = {
        {0x218, 0, 100}, {0x218, 2, 101}, {0x218, 4, 102}, {0x218, 7, 103}, {0x218, 1, 0},  {0x218, 5, 0},
        {0x218, 6, 0},   {0x218, 18, 0},  {0x83EA, 0, 110}, {0x83F2, 9, 111}, {0x83F0, 0, 112}, {0x83F3, 0, 113},
        {0x83F1, 0, 0},  {0x8064, 0, 0},  {0x0010, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ForwardedCode(c.message, c.wParam), c.code) << std::hex << c.message;
}

TEST(ViewerRules, ServiceChangesOnlyWhenTheWishDiffersFromTheStateAtStart) {
    struct Case {
        std::int32_t wish;
        std::uint32_t state;
        bool change;
        std::int32_t askFirst;
    } cases[] = {
        {0, 4, false, 0}, {0, 1, true, 0}, {0, 0, true, 0}, {1, 4, true, 1},
        {1, 1, false, 0}, {1, 0, false, 0}, {2, 4, true, 0}, {-1, 1, true, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ServiceChangeNeeded(c.wish, c.state), c.change) << c.wish << "/" << c.state;
        EXPECT_EQ(AskFirst(c.state, c.wish), c.askFirst) << c.wish << "/" << c.state;
    }
    EXPECT_TRUE(BlockedByPolicy(static_cast<std::int32_t>(0x800704ECu)));
    EXPECT_FALSE(BlockedByPolicy(static_cast<std::int32_t>(0x800704C7u)));  // cancelled by the user
    EXPECT_FALSE(BlockedByPolicy(0));
}

TEST(ViewerRules, SaveFilterTakesThePatternWhenTheDescriptionHasNone) {
    struct Case {
        std::u16string spec;
        std::u16string expected;
    } cases[] = {
        {u"Data Files(*.TXT)||", std::u16string(u"Data Files(*.TXT)\0*.TXT\0\0", 25)},
        {u"Text|*.txt|All|*.*||", std::u16string(u"Text\0*.txt\0All\0*.*\0\0", 20)},
        {u"Text|*.txt", std::u16string(u"Text\0*.txt\0\0", 12)},
        {u"", std::u16string(u"*.TXT\0*.TXT\0\0", 13)},
        {u"|", std::u16string(u"*.TXT\0*.TXT\0\0", 13)},
    };
    for (const Case& c : cases) EXPECT_EQ(SaveFilter(c.spec, u"*.TXT"), c.expected);
}

TEST(PageLayout, ButtonsStayCentredAndTheMainControlTakesTheRest) {
    const tabframe::PageMetrics m{11, 11, 176, 9, 191, 9};
    struct Case {
        int W, H;
        tabframe::PageLayout expected;
    } cases[] = {
        {366, 236, {true, 101, 203, 190, 203, 11, 11, 344, 183}},
        {606, 396, {true, 221, 363, 310, 363, 11, 11, 584, 343}},
    };
    for (const Case& c : cases) {
        const tabframe::PageLayout l = tabframe::LayoutPage(m, c.W, c.H, 75, 24);
        EXPECT_TRUE(l.move);
        EXPECT_EQ(l.saveX, c.expected.saveX);
        EXPECT_EQ(l.saveY, c.expected.saveY);
        EXPECT_EQ(l.aboutX, c.expected.aboutX);
        EXPECT_EQ(l.aboutY, c.expected.aboutY);
        EXPECT_EQ(l.bodyWidth, c.expected.bodyWidth);
        EXPECT_EQ(l.bodyHeight, c.expected.bodyHeight);
        // The gap between the buttons is kept: 2 x ((about left - save right) / 2).
        EXPECT_EQ(l.aboutX - (l.saveX + 75), 14);
    }
}

TEST(PageLayout, NothingMovesWithoutUsableMeasurements) {
    const tabframe::PageMetrics cases[] = {
        {11, 11, 0, 0, 191, 9},    // no save button
        {11, 11, 176, 9, 0, 0},    // no about button
        {0, 0, 176, 9, 191, 9},    // list at the corner
        {11, 11, 191, 9, 176, 9},  // buttons in the wrong order
        {11, 11, 180, 9, 180, 9},  // touching
    };
    for (const auto& m : cases) EXPECT_FALSE(tabframe::LayoutPage(m, 400, 300, 75, 24).move);
}

}  // namespace
