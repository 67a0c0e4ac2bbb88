#include <gtest/gtest.h>

#include "viewer/ViewerLayout.h"

namespace {

struct LayoutCase {
    int size;
    bool bHistogramHidden;
    int fontHeight;
    WindowLayout expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.size << (c.bHistogramHidden ? "" : " with histogram") << " font " << c.fontHeight;
}

class ViewerLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// Catches a wrong window size, centring, histogram shift or status bar top for each size/font.
TEST_P(ViewerLayoutTest, WindowAndStatusBarPlacement) {
    const LayoutCase& c = GetParam();
    EXPECT_EQ(ComputeWindowLayout(c.size, c.size, c.fontHeight, 1280, 1024, c.bHistogramHidden),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ViewerLayoutTest,
    ::testing::Values(LayoutCase{256, true, 16, {508, 337, 264, 351, {0, 287, 256, 307}}},
                      LayoutCase{256, false, 16, {408, 337, 264, 451, {0, 387, 256, 407}}},
                      LayoutCase{512, true, 16, {380, 209, 520, 607, {0, 543, 256, 563}}},
                      LayoutCase{256, true, 19, {508, 337, 264, 351, {0, 287, 256, 307}}},
                      LayoutCase{256, true, -11, {508, 337, 264, 351, {0, 287, 256, 307}}},
                      LayoutCase{256, true, 20, {508, 320, 264, 385, {0, 287, 256, 307}}},
                      LayoutCase{256, false, 24, {408, 320, 264, 485, {0, 387, 256, 407}}},
                      LayoutCase{512, true, 20, {380, 192, 520, 641, {0, 543, 256, 563}}}));

// Catches an image area or frame top that drifts from the toolbar band.
TEST(ViewerLayout, ImageAreaStartsBelowTheToolbarBand) {
    EXPECT_EQ(ImageAreaRect(256, 256), (ViewerRect{0, 31, 256, 287}));
    EXPECT_EQ(ImageAreaRect(512, 512), (ViewerRect{0, 31, 512, 543}));
    EXPECT_EQ(kFrameTop, 33);
}

}  // namespace
