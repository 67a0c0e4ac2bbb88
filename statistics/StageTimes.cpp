#include "statistics/StageTimes.h"

#include <algorithm>

void CStageTimes::Record(FrameStage stage, std::int64_t nanoseconds) {
    Stage& s = m_stages[int(stage)];
    const int n = s.recorded.load(std::memory_order_relaxed);
    s.samples[n % kWindow].store(nanoseconds, std::memory_order_relaxed);
    s.recorded.store(n + 1 == 2 * kWindow ? kWindow : n + 1, std::memory_order_release);
}

double CStageTimes::MedianMilliseconds(FrameStage stage) const {
    const Stage& s = m_stages[int(stage)];
    const int count = std::min(s.recorded.load(std::memory_order_acquire), kWindow);
    if (count == 0) {
        return -1;
    }
    std::array<std::int64_t, kWindow> copy{};
    for (int i = 0; i < count; ++i) {
        copy[i] = s.samples[i].load(std::memory_order_relaxed);
    }
    auto middle = copy.begin() + count / 2;
    std::nth_element(copy.begin(), middle, copy.begin() + count);
    return double(*middle) / 1e6;
}

void CStageTimes::Clear() {
    for (Stage& s : m_stages) {
        s.recorded.store(0, std::memory_order_release);
    }
}

const char* StageName(FrameStage stage) {
    switch (stage) {
        case FrameStage::kRead:
            return "read";
        case FrameStage::kCorrect:
            return "correct";
        case FrameStage::kRemap:
            return "remap";
        case FrameStage::kConvert:
            return "convert";
        case FrameStage::kDraw:
            return "draw";
        case FrameStage::kCount:
            break;
    }
    return "";
}
