#include "levels/DarkSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sensor/LogPolarFrame.h"

DarkSummary SummarizeDark(const std::int32_t* pDark) {
    DarkSummary summary;
    summary.minimum = pDark[0];
    summary.maximum = pDark[0];
    double sum = 0;
    double squares = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const int level = pDark[i];
        summary.minimum = std::min(summary.minimum, level);
        summary.maximum = std::max(summary.maximum, level);
        sum += level;
        squares += double(level) * level;
    }
    const double count = double(kFrameBytes);
    summary.mean = sum / count;
    summary.spread = std::sqrt(std::max(0.0, squares / count - summary.mean * summary.mean));
    summary.bLooksLit = summary.mean > kLitMean || summary.spread > kLitSpread;
    return summary;
}

std::string DescribeCalibration(const DarkSummary& summary, int frames) {
    char text[160];
    std::snprintf(text, sizeof(text),
                  "Calibrated from %d frames: dark levels %d\u2013%d, mean %.0f", frames,
                  summary.minimum, summary.maximum, summary.mean);
    std::string description = text;
    if (summary.bLooksLit) {
        description += ". The frames look lit, not dark: cover the lens and calibrate again";
    }
    return description;
}
