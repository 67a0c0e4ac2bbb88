#include "statistics/LevelSeries.h"

#include <cstdio>

namespace {

// LevelCounts rows are blue, green, red; the series reads them as red, green, blue.
constexpr int kCountsRow[3] = {2, 1, 0};

}  // namespace

void CLevelSeries::Start(int channels, bool bRegion) {
    if (channels != m_nChannels || bRegion != m_bRegion) {
        m_points.clear();
    }
    m_nChannels = channels;
    m_bRegion = bRegion;
}

void CLevelSeries::Add(const SeriesPoint& point) {
    m_points.push_back(point);
}

void CLevelSeries::Trim(std::int64_t spanUs) {
    while (!m_points.empty() && m_points.back().timeUs - m_points.front().timeUs > spanUs) {
        m_points.pop_front();
    }
}

std::vector<std::string> CLevelSeries::ColumnNames() const {
    std::vector<std::string> names = {"index", "time_us"};
    for (const char* prefix : {"", "region_"}) {
        if (*prefix != '\0' && !m_bRegion) {
            break;
        }
        for (int k = 0; k < m_nChannels; ++k) {
            names.push_back(std::string(prefix) +
                            (m_nChannels == 1 ? "mean" : SeriesChannelName(m_nChannels, k)));
        }
    }
    return names;
}

std::string CLevelSeries::Csv() const {
    std::string text;
    for (const std::string& name : ColumnNames()) {
        text += (text.empty() ? "" : ",") + name;
    }
    text += '\n';
    char field[32];
    for (const SeriesPoint& point : m_points) {
        std::snprintf(field, sizeof(field), "%llu,%lld",
                      static_cast<unsigned long long>(point.index),
                      static_cast<long long>(point.timeUs));
        text += field;
        for (const auto* means : {&point.whole, &point.region}) {
            if (means == &point.region && !m_bRegion) {
                break;
            }
            for (int k = 0; k < m_nChannels; ++k) {
                std::snprintf(field, sizeof(field), ",%.3f", (*means)[k]);
                text += field;
            }
        }
        text += '\n';
    }
    return text;
}

std::array<double, 3> SeriesMeans(const LevelCounts& counts) {
    std::array<double, 3> means{};
    for (int k = 0; k < counts.channels; ++k) {
        const int row = counts.channels == 1 ? 0 : kCountsRow[k];
        means[k] = SummarizeLevels(counts.counts[row]).mean;
    }
    return means;
}

const char* SeriesChannelName(int channels, int k) {
    static const char* const kNames[3] = {"red", "green", "blue"};
    return channels == 1 ? "grey" : kNames[k];
}
