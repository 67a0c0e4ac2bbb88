#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// The per-frame stages the worker times.
enum class FrameStage { kRead, kCorrect, kRemap, kConvert, kDraw, kCount };
inline constexpr int kFrameStages = int(FrameStage::kCount);

// The latest durations of each stage, kept for a moving median. The worker records (one
// writer); any thread reads. Every entry is its own atomic, so a reader may mix entries of
// neighbouring frames but never sees a torn one.
class CStageTimes {
  public:
    static constexpr int kWindow = 31;

    void Record(FrameStage stage, std::int64_t nanoseconds);
    // Median of the recorded window in milliseconds; a negative value when nothing is
    // recorded yet.
    double MedianMilliseconds(FrameStage stage) const;
    void Clear();

  private:
    struct Stage {
        std::array<std::atomic<std::int64_t>, kWindow> samples{};
        std::atomic<int> recorded{0};
    };
    std::array<Stage, kFrameStages> m_stages;
};

const char* StageName(FrameStage stage);
