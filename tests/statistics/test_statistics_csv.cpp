#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "statistics/StatisticsCsv.h"

namespace {

// The row as the command printed it with printf.
std::string PrintfRow(std::uint64_t index, const std::string& time, const char* channel,
                      const ChannelStatistics& s) {
    char row[256];
    if (s.samples == 0) {
        std::snprintf(row, sizeof(row), "%llu,%s,%s,,,,,,\n",
                      static_cast<unsigned long long>(index), time.c_str(), channel);
    } else {
        std::snprintf(row, sizeof(row), "%llu,%s,%s,%.4f,%d,%d,%.4f,%.6f,%.6f\n",
                      static_cast<unsigned long long>(index), time.c_str(), channel, s.mean,
                      s.minimum, s.maximum, s.spread, s.clippedLow, s.clippedHigh);
    }
    return row;
}

// Catches digits that differ from printf's: rounding of halves (exact binary ties such as
// 1/32 at four decimals and 1/128 at six), of values just beside them, of shares near 0 and
// 1 and of whole numbers; and a row without samples or without a time.
TEST(StatisticsCsv, RowsAreWhatPrintfWrote) {
    std::mt19937 random(3);
    std::vector<double> values = {0,         1,         255,  0.5,       1.0 / 32,  3.0 / 128,
                                  200.03125, 0.0078125, 1e-7, 0.9999995, 127.99995, 4.00005};
    for (int k = 0; k < 400; ++k) {
        values.push_back(double(random() % 256) + double(random() % 4096) / 4096);
        values.push_back(double(random() % 38305) / 38304);
        values.push_back(std::nextafter(double(random() % 256) + 0.00005, 0.0));
    }
    for (std::size_t k = 0; k + 3 < values.size(); ++k) {
        ChannelStatistics s;
        s.samples = k % 50 == 0 ? 0 : k + 1;
        s.minimum = int(k % 256);
        s.maximum = 255 - int(k % 7);
        s.mean = values[k];
        s.spread = values[k + 1];
        s.clippedLow = values[k + 2];
        s.clippedHigh = values[k + 3];
        const std::uint64_t index = k * 977 + (k % 3 == 0 ? 18446744073709551000ull : 0);
        const std::optional<std::int64_t> time =
            k % 5 == 0 ? std::nullopt : std::optional<std::int64_t>(std::int64_t(k) * 40013);
        std::string row;
        AppendStatisticsRow(row, index, time, k % 2 ? "green" : "grey", s);
        ASSERT_EQ(row,
                  PrintfRow(index, time ? std::to_string(*time) : "", k % 2 ? "green" : "grey", s));
    }
}

}  // namespace
