#pragma once

#include <cstdint>
#include <string>

// What a calibration measured: the dark levels of every sample.
//
// A covered lens gives dark levels that are low and nearly even; frames of a lit scene
// give the scene's levels instead. The calibration is judged lit when its mean exceeds
// kLitMean or its standard deviation exceeds kLitSpread (levels): a covered sensor's dark
// pattern stays within a dozen levels (mean about 6, deviation about 3), while even a dim
// scene spreads over some forty.
struct DarkSummary {
    int minimum = 0;
    int maximum = 0;
    double mean = 0;
    double spread = 0;  // standard deviation
    bool bLooksLit = false;
};

inline constexpr double kLitMean = 24;
inline constexpr double kLitSpread = 6;

DarkSummary SummarizeDark(const std::int32_t* pDark);

// "Calibrated from 10 frames: dark levels 2–41, mean 12", with a warning sentence added
// when the frames look lit.
std::string DescribeCalibration(const DarkSummary& summary, int frames);
