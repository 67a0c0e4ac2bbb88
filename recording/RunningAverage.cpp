#include "recording/RunningAverage.h"

#include <algorithm>
#include <cstring>

#include "recording/FrameSum.h"

void CRunningAverage::SetLength(std::size_t n) {
    m_nLength = std::clamp<std::size_t>(n, 1, kLongest);
    Restart();
}

void CRunningAverage::Restart() {
    m_nSize = 0;
    m_nCount = 0;
    m_nNext = 0;
    m_ring.clear();
    m_sums.clear();
}

void CRunningAverage::Apply(std::uint8_t* pPicture, std::size_t size) {
    if (m_nLength == 1) {
        return;
    }
    if (size != m_nSize) {
        Restart();
        m_nSize = size;
        m_ring.resize(m_nLength * size);
        m_sums.assign(size, 0);
    }
    std::uint8_t* pSlot = m_ring.data() + m_nNext * size;
    std::uint32_t* pSums = m_sums.data();
    if (m_nCount == m_nLength) {
        for (std::size_t i = 0; i < size; ++i) {
            pSums[i] -= pSlot[i];
        }
    } else {
        ++m_nCount;
    }
    for (std::size_t i = 0; i < size; ++i) {
        pSums[i] += pPicture[i];
    }
    std::memcpy(pSlot, pPicture, size);
    m_nNext = (m_nNext + 1) % m_nLength;
    WriteRoundedMeans(pSums, size, std::uint32_t(m_nCount), pPicture);
}
