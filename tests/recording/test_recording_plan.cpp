#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "recording/FrameSum.h"
#include "recording/RecordingPlan.h"
#include "recording/RunningAverage.h"
#include "sensor/LogPolarFrame.h"

namespace {

using Frame = std::vector<std::uint8_t>;

std::vector<Frame> RandomFrames(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> level(0, 255);
    std::vector<Frame> frames(count, Frame(kFrameBytes));
    for (Frame& frame : frames) {
        for (std::uint8_t& sample : frame) {
            sample = std::uint8_t(level(random));
        }
    }
    // The extremes and an exact mean, where a rounding slip shows first.
    frames[0][0] = 255;
    frames[0][1] = 0;
    for (Frame& frame : frames) {
        frame[2] = 255;
        frame[3] = 7;
    }
    return frames;
}

// The rounded mean in whole numbers, floor(sum / n + 1/2) = floor((2 sum + n) / 2n), of
// count frames from first on (going round the list when it ends).
Frame RoundedMean(const std::vector<Frame>& frames, std::size_t first, std::size_t count) {
    Frame mean(kFrameBytes);
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        std::uint64_t sum = 0;
        for (std::size_t f = first; f < first + count; ++f) {
            sum += frames[f % frames.size()][i];
        }
        mean[i] = std::uint8_t((2 * sum + count) / (2 * count));
    }
    return mean;
}

// Catches a mean truncated instead of rounded, a sum that overflows or is not started over,
// and a division that misses by one on an exact quotient.
TEST(FrameSum, MeanIsTheRoundedMeanOfTheFramesAdded) {
    for (const std::uint32_t count : {1u, 2u, 3u, 7u, 10000u}) {
        const std::vector<Frame> frames = RandomFrames(std::min(count, 7u), count);
        CFrameSum sum;
        Frame mean(kFrameBytes);
        for (int round = 0; round < 2; ++round) {
            for (std::uint32_t f = 0; f < count; ++f) {
                sum.Add(frames[f % frames.size()].data());
            }
            sum.TakeMean(mean.data());
            EXPECT_EQ(mean, RoundedMean(frames, 0, count)) << count << " frames, round " << round;
        }
    }
}

struct Taken {
    std::int64_t firstUs;
    Frame frame;
};

// Feeds frames read every periodUs (from startUs) until the plan is done or they run out.
std::vector<Taken> TakeAll(CPlannedFrames& planned, const std::vector<Frame>& frames,
                           std::int64_t startUs, std::int64_t periodUs) {
    std::vector<Taken> taken;
    for (std::size_t i = 0; i < frames.size() && !planned.Done(); ++i) {
        std::int64_t firstUs = -1;
        if (const std::uint8_t* pStored =
                planned.Take(frames[i].data(), startUs + std::int64_t(i) * periodUs, &firstUs)) {
            taken.push_back({firstUs, Frame(pStored, pStored + kFrameBytes)});
        }
    }
    return taken;
}

// Catches time points taken off the plan's times, one lost or doubled when it comes due
// mid-average, an average over the wrong frames, a stored frame given another's time, and a
// plan that stores past its count.
TEST(PlannedFrames, TimeLapseOfAveragesFollowsThePlanOnTheFramesClock) {
    const std::vector<Frame> frames = RandomFrames(60, 5);
    RecordingPlan plan;
    plan.frames = 4;
    plan.every = 0.05;
    plan.average = 3;
    CPlannedFrames planned(plan);
    // Frames every 10 ms from 1 s: points at 1.00, 1.05, 1.10, 1.15 s, frames 0, 5, 10, 15.
    const std::vector<Taken> taken = TakeAll(planned, frames, 1000000, 10000);
    ASSERT_EQ(taken.size(), 4u);
    for (std::size_t k = 0; k < taken.size(); ++k) {
        EXPECT_EQ(taken[k].firstUs, 1000000 + std::int64_t(k) * 50000) << k;
        EXPECT_EQ(taken[k].frame, RoundedMean(frames, 5 * k, 3)) << k;
    }
    EXPECT_TRUE(planned.Done());
    EXPECT_EQ(planned.Stored(), 4u);

    // Points due every 10 ms but 30 ms to average: each starts with the next frame.
    plan.every = 0.01;
    CPlannedFrames late(plan);
    const std::vector<Taken> lateTaken = TakeAll(late, frames, 0, 10000);
    ASSERT_EQ(lateTaken.size(), 4u);
    for (std::size_t k = 0; k < lateTaken.size(); ++k) {
        EXPECT_EQ(lateTaken[k].firstUs, std::int64_t(k) * 30000) << k;
    }
}

// Catches a plain plan that copies or alters frames, and a time limit that lets a time
// point start at or after it.
TEST(PlannedFrames, PlainPlanPassesEveryFrameUntilTheTimeIsUp) {
    const std::vector<Frame> frames = RandomFrames(10, 9);
    RecordingPlan plan;
    plan.seconds = 0.05;
    CPlannedFrames planned(plan);
    std::int64_t firstUs = 0;
    EXPECT_EQ(planned.Take(frames[0].data(), 0, &firstUs), frames[0].data());
    EXPECT_EQ(TakeAll(planned, frames, 10000, 10000).size(), 4u);  // 10 to 40 ms
    EXPECT_TRUE(planned.Done());
}

// Catches a running average over the wrong pictures once the ring goes round, a mean of N
// before N pictures came, and a change of size (the view) or length mixing old pictures in.
TEST(RunningAverage, EachPictureIsTheRoundedMeanOfTheLastOnes) {
    const std::vector<Frame> frames = RandomFrames(9, 5);
    CRunningAverage average;
    average.SetLength(4);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        Frame picture = frames[k];
        average.Apply(picture.data(), picture.size());
        const std::size_t count = std::min<std::size_t>(k + 1, 4);
        EXPECT_EQ(picture, RoundedMean(frames, k + 1 - count, count)) << "picture " << k;
    }
    Frame smaller(frames[0].begin(), frames[0].begin() + 100);
    average.Apply(smaller.data(), smaller.size());
    EXPECT_TRUE(std::equal(smaller.begin(), smaller.end(), frames[0].begin()));
    average.SetLength(1);
    Frame unchanged = frames[3];
    average.Apply(unchanged.data(), unchanged.size());
    EXPECT_EQ(unchanged, frames[3]);
}

}  // namespace
