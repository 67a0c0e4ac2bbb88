#include <gtest/gtest.h>

#include "viewer/ViewerLayout.h"

namespace {

struct LayoutCase {
    int size;
    bool bHistogramHidden;
    int cyStatusBarText;
    WindowLayout expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.size << (c.bHistogramHidden ? "" : " with histogram") << " status text "
        << c.cyStatusBarText;
}

class ViewerLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// Catches a wrong window size, centring, histogram shift or status bar top for each size; a
// normal font that does not keep the classic sizes; a large font whose status bar clips its
// text, or whose window grows by more than the bar (an empty band below it).
TEST_P(ViewerLayoutTest, WindowAndStatusBarPlacement) {
    const LayoutCase& c = GetParam();
    EXPECT_EQ(
        ComputeWindowLayout(c.size, c.size, c.cyStatusBarText, 1280, 1024, c.bHistogramHidden),
        c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ViewerLayoutTest,
    ::testing::Values(LayoutCase{256, true, 19, {508, 337, 264, 351, {0, 287, 256, 307}}},
                      LayoutCase{256, false, 19, {408, 337, 264, 451, {0, 387, 256, 407}}},
                      LayoutCase{512, true, 19, {380, 209, 520, 607, {0, 543, 256, 563}}},
                      LayoutCase{256, true, 20, {508, 337, 264, 351, {0, 287, 256, 307}}},
                      LayoutCase{256, true, 27, {508, 333, 264, 358, {0, 287, 256, 314}}},
                      LayoutCase{256, false, 38, {408, 328, 264, 469, {0, 387, 256, 425}}},
                      LayoutCase{512, true, 27, {380, 205, 520, 614, {0, 543, 256, 570}}}));

// Catches an image area or frame top that drifts from the toolbar band.
TEST(ViewerLayout, ImageAreaStartsBelowTheToolbarBand) {
    EXPECT_EQ(ImageAreaRect(256, 256), (ViewerRect{0, 31, 256, 287}));
    EXPECT_EQ(ImageAreaRect(512, 512), (ViewerRect{0, 31, 512, 543}));
    EXPECT_EQ(kFrameTop, 33);
}

}  // namespace
