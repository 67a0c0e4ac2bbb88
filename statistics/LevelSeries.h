#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "statistics/LevelStatistics.h"

// The mean level of frames over time: the whole frame and, when one is set, a region; one
// mean for black-and-white, red, green and blue for colour. Points older than the span
// kept fall off the front.
struct SeriesPoint {
    std::uint64_t index = 0;         // the frame's number in the run
    std::int64_t timeUs = 0;         // since the series began
    std::array<double, 3> whole{};   // grey, or red, green, blue
    std::array<double, 3> region{};  // the same inside the region
};

class CLevelSeries {
  public:
    // A change of channels or of whether a region is measured starts the series again.
    void Start(int channels, bool bRegion);
    void Add(const SeriesPoint& point);
    // Drops the points more than spanUs older than the newest.
    void Trim(std::int64_t spanUs);
    void Clear() { m_points.clear(); }

    int Channels() const { return m_nChannels; }
    bool HasRegion() const { return m_bRegion; }
    const std::deque<SeriesPoint>& Points() const { return m_points; }

    // Comma-separated, a header row first: index,time_us, then mean (or red,green,blue),
    // then region_mean (or region_red,region_green,region_blue) when a region is measured.
    std::string Csv() const;
    std::vector<std::string> ColumnNames() const;

  private:
    int m_nChannels = 1;
    bool m_bRegion = false;
    std::deque<SeriesPoint> m_points;
};

// The means of one frame's counts in the series' channel order (grey, or red, green, blue).
std::array<double, 3> SeriesMeans(const LevelCounts& counts);
// The name of channel row k of SeriesMeans: "grey", or "red", "green", "blue".
const char* SeriesChannelName(int channels, int k);
