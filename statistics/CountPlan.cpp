#include "statistics/CountPlan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "sensor/LogPolarFrame.h"

namespace {

// Every tally below counts at most every sample of the frame, by frame indices of 16 bits.
static_assert(kFrameBytes <= 65535);
using Tally = std::array<std::uint16_t, 256>;

// A run is read eight samples to a load, sample k of each eight into tally k, so runs of
// equal levels do not queue on one counter; even tallies take the even indices.
constexpr int kRunTallies = 8;
constexpr int kListTallies = 4;
// Shorter runs cost more to set up than their look-ups save, and are too short to sum.
constexpr std::size_t kShortestRun = kShortestSummedRun;
// A run from an even index of odd length ends before an odd index, so a byte of the frame
// follows it, as the sums want: the frame's length is even.
static_assert(kFrameBytes % 2 == 0);

}  // namespace

CCountPlan::CCountPlan(const std::uint8_t* pRows) {
    // Stretches of indices from an even one on whose rows alternate in step with the parity.
    std::vector<std::pair<std::size_t, std::size_t>> stretches;
    std::size_t i = 0;
    while (i < kFrameBytes) {
        if (pRows[i] == kUncountedRow) {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        if (i % 2 == 0 && end < kFrameBytes && pRows[end] != kUncountedRow) {
            const std::uint8_t rows[2] = {pRows[i], pRows[i + 1]};
            while (end < kFrameBytes && pRows[end] == rows[end % 2]) {
                ++end;
            }
        }
        if (end - i >= kShortestRun) {
            stretches.emplace_back(i, end);
        } else {
            Scatter(pRows, i, end);
        }
        i = end;
    }
    // The pairs of rows that cover the most samples get tallies of their own.
    std::map<Pattern, std::size_t> covered;
    for (const auto& [begin, end] : stretches) {
        covered[Pattern{pRows[begin], pRows[begin + 1]}] += end - begin;
    }
    std::vector<std::pair<std::size_t, Pattern>> byCover;
    for (const auto& [pattern, samples] : covered) {
        byCover.emplace_back(samples, pattern);
    }
    std::sort(byCover.rbegin(), byCover.rend());
    for (std::size_t k = 0; k < byCover.size() && k < kMostPatterns; ++k) {
        m_patterns.push_back(byCover[k].second);
    }
    m_runs.resize(m_patterns.size());
    for (const auto& [begin, end] : stretches) {
        const auto found = std::find(m_patterns.begin(), m_patterns.end(),
                                     Pattern{pRows[begin], pRows[begin + 1]});
        if (found == m_patterns.end()) {
            Scatter(pRows, begin, end);
        } else {
            m_runs[found - m_patterns.begin()].push_back(
                {std::uint16_t(begin), std::uint16_t(end)});
        }
    }
}

void CCountPlan::Scatter(const std::uint8_t* pRows, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
        m_scattered[pRows[i]].push_back(std::uint16_t(i));
    }
}

void CCountPlan::Count(const std::uint8_t* pLevels, LevelCounts& levels) const {
    for (std::size_t pattern = 0; pattern < m_patterns.size(); ++pattern) {
        Tally t[kRunTallies] = {};
        for (const SampleRun& run : m_runs[pattern]) {
            const std::uint8_t* p = pLevels + run.begin;
            const std::uint8_t* const pEnd = pLevels + run.end;
            for (; pEnd - p >= kRunTallies; p += kRunTallies) {
                std::uint32_t low;
                std::uint32_t high;
                std::memcpy(&low, p, sizeof(low));
                std::memcpy(&high, p + 4, sizeof(high));
                // Written out: a loop over the eight is not unrolled at -O2.
                ++t[0][low & 0xff];
                ++t[1][(low >> 8) & 0xff];
                ++t[2][(low >> 16) & 0xff];
                ++t[3][low >> 24];
                ++t[4][high & 0xff];
                ++t[5][(high >> 8) & 0xff];
                ++t[6][(high >> 16) & 0xff];
                ++t[7][high >> 24];
            }
            for (int k = 0; p < pEnd; ++p, ++k) {
                ++t[k][*p];
            }
        }
        auto& even = levels.counts[m_patterns[pattern][0]];
        auto& odd = levels.counts[m_patterns[pattern][1]];
        for (int level = 0; level < 256; ++level) {
            even[level] += t[0][level] + t[2][level] + t[4][level] + t[6][level];
            odd[level] += t[1][level] + t[3][level] + t[5][level] + t[7][level];
        }
    }
    CountScattered(pLevels, levels);
}

void CCountPlan::Sum(const std::uint8_t* pLevels,
                     std::array<LevelSums, kUncountedRow>& sums) const {
    // Each pattern's runs summed, or on a processor without the vectors none of them.
    bool bSummed = true;
    for (std::size_t pattern = 0; pattern < m_patterns.size() && bSummed; ++pattern) {
        bSummed = AddRunSums(pLevels, m_runs[pattern], sums[m_patterns[pattern][0]],
                             sums[m_patterns[pattern][1]]);
    }
    if (!bSummed) {
        LevelCounts counts;
        Count(pLevels, counts);
        for (std::size_t row = 0; row < sums.size(); ++row) {
            sums[row].AddCounts(counts.counts[row]);
        }
        return;
    }
    // Each row's scattered samples gathered into one run (with a byte to spare past its end)
    // and summed like the others; a few are counted.
    thread_local std::vector<std::uint8_t> gathered(kFrameBytes + 1);
    for (std::size_t row = 0; row < sums.size(); ++row) {
        const std::vector<std::uint16_t>& indices = m_scattered[row];
        if (indices.size() >= kShortestSummedRun) {
            std::uint8_t* const pGathered = gathered.data();
            const std::uint16_t* const pIndices = indices.data();
            for (std::size_t k = 0, n = indices.size(); k < n; ++k) {
                pGathered[k] = pLevels[pIndices[k]];
            }
            const SampleRun all{0, std::uint16_t(indices.size())};
            AddRunSums(gathered.data(), {&all, 1}, sums[row], sums[row]);
        } else if (!indices.empty()) {
            std::array<std::uint32_t, 256> counts{};
            for (const std::uint16_t i : indices) {
                ++counts[pLevels[i]];
            }
            sums[row].AddCounts(counts);
        }
    }
}

void CCountPlan::CountScattered(const std::uint8_t* pLevels, LevelCounts& levels) const {
    for (std::size_t row = 0; row < m_scattered.size(); ++row) {
        const std::vector<std::uint16_t>& indices = m_scattered[row];
        Tally t[kListTallies] = {};
        std::size_t k = 0;
        for (; k + kListTallies <= indices.size(); k += kListTallies) {
            ++t[0][pLevels[indices[k]]];
            ++t[1][pLevels[indices[k + 1]]];
            ++t[2][pLevels[indices[k + 2]]];
            ++t[3][pLevels[indices[k + 3]]];
        }
        for (; k < indices.size(); ++k) {
            ++t[0][pLevels[indices[k]]];
        }
        for (int level = 0; level < 256; ++level) {
            levels.counts[row][level] += t[0][level] + t[1][level] + t[2][level] + t[3][level];
        }
    }
}
