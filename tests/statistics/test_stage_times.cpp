#include <gtest/gtest.h>

#include <thread>

#include "statistics/StageTimes.h"

namespace {

// Catches a mean passed off as the median (one slow frame must not move it) and a window
// that never forgets old samples.
TEST(StageTimes, MovingMedianForgetsOldSamples) {
    CStageTimes times;
    EXPECT_LT(times.MedianMilliseconds(FrameStage::kRemap), 0);
    for (int i = 0; i < 10; ++i) {
        times.Record(FrameStage::kRemap, 2'000'000);
    }
    times.Record(FrameStage::kRemap, 900'000'000);
    EXPECT_DOUBLE_EQ(times.MedianMilliseconds(FrameStage::kRemap), 2.0);
    for (int i = 0; i < 5 * CStageTimes::kWindow; ++i) {
        times.Record(FrameStage::kRemap, 3'000'000);
    }
    EXPECT_DOUBLE_EQ(times.MedianMilliseconds(FrameStage::kRemap), 3.0);
    EXPECT_LT(times.MedianMilliseconds(FrameStage::kRead), 0);  // stages kept apart
    times.Clear();
    EXPECT_LT(times.MedianMilliseconds(FrameStage::kRemap), 0);
}

// Catches a reader that sees a value never recorded while the worker records (run under
// ThreadSanitizer to catch a plain, unguarded store).
TEST(StageTimes, ReadWhileRecording) {
    CStageTimes times;
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i) {
            times.Record(FrameStage::kDraw, 1'000'000 * (1 + i % 2));
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const double ms = times.MedianMilliseconds(FrameStage::kDraw);
        ASSERT_TRUE(ms < 0 || ms == 1.0 || ms == 2.0) << ms;
    }
    worker.join();
}

}  // namespace
