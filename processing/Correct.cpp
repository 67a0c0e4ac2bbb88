#include <algorithm>

#include "processing/FrameProcessor.h"

void CFrameProcessor::Correct(const GainTable& table, std::uint8_t* pDestination,
                              const std::uint8_t* pRaw, const std::int32_t* pCalibration,
                              int offset) {
    const std::uint8_t* pLevels = table.data();
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        // 64-bit so that a calibration value from a foreign file cannot overflow.
        const std::int64_t v = std::int64_t{pRaw[i]} - pCalibration[i] + offset;
        pDestination[i] = pLevels[std::clamp<std::int64_t>(v, 0, 255)];
    }
}
