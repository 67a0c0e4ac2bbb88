#include "recording/FrameSum.h"

#include <algorithm>

#include "recording/RecordingPlan.h"
#include "sensor/LogPolarFrame.h"

CFrameSum::CFrameSum() : m_sums(kFrameBytes, 0) {}

void CFrameSum::Add(const std::uint8_t* pFrame) {
    std::uint32_t* pSums = m_sums.data();
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        pSums[i] += pFrame[i];
    }
    ++m_nCount;
}

void WriteRoundedMeans(const std::uint32_t* pSums, std::size_t n, std::uint32_t count,
                       std::uint8_t* pMeans) {
    // floor((sum + n/2) / n) by a float multiplication, which vectorises where a division does
    // not. sum + n/2 + 1/2 is exact in a float (below 2^22), and the extra half keeps the true
    // quotient at least 0.5/n (5e-5 at the most frames) from a whole number, more than the
    // product's error (256 * 2^-23, 3e-5), so the result is the exact integer one.
    static_assert(kMostAveragedFrames * 256.0 * 2 * 0x1p-24 < 0.5,
                  "the float mean is exact only up to this many frames");
    const float half = float(count / 2) + 0.5f;
    const float inverse = 1.0f / float(count);
    for (std::size_t i = 0; i < n; ++i) {
        pMeans[i] = std::uint8_t(std::int32_t((float(std::int32_t(pSums[i])) + half) * inverse));
    }
}

void CFrameSum::TakeMean(std::uint8_t* pFrame) {
    WriteRoundedMeans(m_sums.data(), kFrameBytes, m_nCount, pFrame);
    std::fill(m_sums.begin(), m_sums.end(), 0u);
    m_nCount = 0;
}
