#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "viewer/FrameHandover.h"

namespace {

std::vector<std::uint8_t> BottomUp(int width, int height, std::uint8_t base) {
    std::vector<std::uint8_t> picture(std::size_t(width) * height * 3);
    for (int row = 0; row < height; ++row) {
        std::fill_n(picture.begin() + row * width * 3, width * 3, std::uint8_t(base + row));
    }
    return picture;
}

// Catches rows reordered on the way (the painter turns them), or a take that returns
// something other than the newest.
TEST(FrameHandover, ConsumerGetsTheNewestPictureAsGiven) {
    CFrameHandover handover;
    EXPECT_FALSE(handover.TakeNewest());
    handover.Publish(BottomUp(4, 3, 10).data(), 4, 3, {0, 33, 4, 36});
    handover.Publish(BottomUp(4, 3, 20).data(), 4, 3, {0, 33, 4, 36});
    ASSERT_TRUE(handover.TakeNewest());
    const auto& picture = handover.Current();
    EXPECT_TRUE(picture.bValid);
    EXPECT_EQ(picture.pixels.front(), 20);  // still bottom-up
    EXPECT_EQ(picture.pixels.back(), 22);
    EXPECT_EQ(picture.destination, (ViewerRect{0, 33, 4, 36}));
    EXPECT_FALSE(handover.TakeNewest());
    EXPECT_TRUE(handover.Current().bValid);  // the picture stays until something replaces it
}

// Catches a clear that leaves the old picture showing or the pending one to arrive later.
TEST(FrameHandover, ClearDropsShownAndPending) {
    CFrameHandover handover;
    handover.Publish(BottomUp(2, 2, 1).data(), 2, 2, {});
    handover.TakeNewest();
    handover.Publish(BottomUp(2, 2, 5).data(), 2, 2, {});
    handover.Clear();
    EXPECT_TRUE(handover.TakeNewest());
    EXPECT_FALSE(handover.Current().bValid);
}

// Catches a picture begun before a clear arriving after it: a stale histogram would show
// again when it is next switched on.
TEST(FrameHandover, ClearWinsOverAPublicationUnderWay) {
    CFrameHandover handover;
    const std::uint64_t before = handover.Generation();
    handover.Clear();
    handover.Publish(BottomUp(2, 2, 9).data(), 2, 2, {}, before);
    handover.TakeNewest();
    EXPECT_FALSE(handover.Current().bValid);
    handover.Publish(BottomUp(2, 2, 9).data(), 2, 2, {}, handover.Generation());
    handover.TakeNewest();
    EXPECT_TRUE(handover.Current().bValid);
}

// Catches a flood of wake-ups: one is asked for until the consumer acknowledges it.
TEST(FrameHandover, WakeUpsAreCoalesced) {
    CFrameHandover handover;
    const auto picture = BottomUp(2, 2, 1);
    EXPECT_TRUE(handover.Publish(picture.data(), 2, 2, {}));
    EXPECT_FALSE(handover.Publish(picture.data(), 2, 2, {}));
    handover.AcknowledgeWake();
    EXPECT_TRUE(handover.Publish(picture.data(), 2, 2, {}));
}

// Catches a producer that copies pictures the consumer is not ready for, or a consumer
// that can never get another one (after a paint, or after a clear for the next run).
TEST(FrameHandover, PicturesAreWantedOnlyWhenTheConsumerIsReady) {
    CFrameHandover handover;
    const auto picture = BottomUp(2, 2, 1);
    EXPECT_TRUE(handover.IsWanted());
    handover.Publish(picture.data(), 2, 2, {});
    EXPECT_FALSE(handover.IsWanted());
    handover.TakeNewest();
    EXPECT_FALSE(handover.IsWanted());
    handover.WantNext();
    EXPECT_TRUE(handover.IsWanted());
    handover.Publish(picture.data(), 2, 2, {});
    handover.Clear();
    EXPECT_TRUE(handover.IsWanted());
}

// Catches torn pictures: every picture the consumer sees was written whole by the producer.
TEST(FrameHandover, ConcurrentPublishAndTakeNeverTear) {
    CFrameHandover handover;
    std::atomic<bool> bDone{false};
    std::thread producer([&] {
        std::vector<std::uint8_t> picture(256 * 256 * 3);
        for (int n = 0; n < 3000; ++n) {
            std::fill(picture.begin(), picture.end(), std::uint8_t(n));
            handover.Publish(picture.data(), 256, 256, {});
        }
        bDone = true;
    });
    int taken = 0;
    for (;;) {
        const bool bProducerDone = bDone;
        if (!handover.TakeNewest()) {
            if (bProducerDone) {
                break;
            }
            continue;
        }
        const auto& pixels = handover.Current().pixels;
        ASSERT_EQ(pixels.size(), 256u * 256 * 3);
        ASSERT_EQ(std::count(pixels.begin(), pixels.end(), pixels[0]),
                  std::ptrdiff_t(pixels.size()));
        ++taken;
    }
    producer.join();
    EXPECT_GT(taken, 0);
}

}  // namespace
