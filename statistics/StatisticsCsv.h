#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "statistics/LevelStatistics.h"

// The header of stats's comma-separated rows, without the line's end.
inline constexpr const char* kStatisticsCsvHeader =
    "index,time_us,channel,mean,min,max,std,at0,at255";

// Appends one frame's row for one channel: the mean and deviation to 4 decimals and the
// shares to 6, as printf's %.4f and %.6f write them; the figures empty for a channel without
// samples, the time for a frame without one.
void AppendStatisticsRow(std::string& text, std::uint64_t index, std::optional<std::int64_t> timeUs,
                         const char* channel, const ChannelStatistics& s);
