#include <array>

#include "processing/FrameProcessor.h"
#include "sensor/FoveaTable.h"

namespace {

constexpr std::uint8_t kEmptyFoveaSample = 128;

}  // namespace

void CFrameProcessor::FillFovea(std::uint8_t* pFrame) {
    const std::int32_t* pTable = FoveaTable();
    std::array<std::uint8_t, kFoveaTableEntries> scratch;
    for (int s = 0; s < kSectors; ++s) {
        std::uint8_t* pSector = pFrame + FrameIndex(s, 0);
        for (int r = 0; r < kFoveaRings; ++r) {
            scratch[FoveaIndex(s, r)] = pSector[r];
            pSector[r] = kEmptyFoveaSample;
        }
    }
    for (int s = 0; s < kSectors; ++s) {
        std::uint8_t* pSector = pFrame + FrameIndex(s, 0);
        for (int r = 0; r < kFoveaRings; ++r) {
            const std::int32_t source = pTable[FoveaIndex(s, r)];
            if (source != kNoFoveaSector) {
                pSector[r] = scratch[FoveaIndex(source, r)];
            }
        }
    }
}
