#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// pMeans[i] = pSums[i] / count rounded to the nearest level (halves up), for sums of at most
// kMostAveragedFrames levels; one pass.
void WriteRoundedMeans(const std::uint32_t* pSums, std::size_t n, std::uint32_t count,
                       std::uint8_t* pMeans);

// Sums raw frames sample by sample, so that N of them become one frame of their mean: each
// frame added is one pass over its bytes, the mean one more pass for all N.
class CFrameSum {
  public:
    CFrameSum();

    void Add(const std::uint8_t* pFrame);
    std::uint32_t Count() const { return m_nCount; }
    // Writes the mean of the frames added, rounded to the nearest level (halves up), to
    // pFrame (kFrameBytes) and starts over. At least one frame must have been added.
    void TakeMean(std::uint8_t* pFrame);

  private:
    std::vector<std::uint32_t> m_sums;
    std::uint32_t m_nCount = 0;
};
