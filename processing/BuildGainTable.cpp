#include <cmath>

#include "processing/FrameProcessor.h"

void CFrameProcessor::BuildGainTable(GainTable& table, double gain) {
    const double range = std::exp(1.0) - 1.0;
    const double step = 1.0 / 255.0;
    for (int i = 0; i < 256; ++i) {
        const double x = i * step;
        const double v = (std::exp(x) - 1.0) * gain * 255.0 / range;
        // Truncated toward zero; clamped at both ends so a negative gain gives black.
        int level = 0;
        if (v >= 255.0) {
            level = 255;
        } else if (v > 0.0) {
            level = static_cast<int>(v);
        }
        table[std::size_t(i)] = static_cast<std::uint8_t>(level);
    }
}
