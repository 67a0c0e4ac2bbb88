#include <array>
#include <cstring>

#include "processing/FrameProcessor.h"
#include "sensor/FoveaTable.h"

namespace {

constexpr std::uint8_t kEmptyFoveaSample = 128;

// The fovea is copied aside, sector by sector, with one more byte holding the empty cells'
// value; each fovea sample is then read from the copy at the index this table gives.
constexpr std::size_t kEmptyCell = kFoveaTableEntries;
using FoveaGather = std::array<std::uint16_t, kFoveaTableEntries>;

FoveaGather MakeFoveaGather() {
    FoveaGather gather{};
    const std::int32_t* pTable = FoveaTable();
    for (int s = 0; s < kSectors; ++s) {
        for (int r = 0; r < kFoveaRings; ++r) {
            const std::int32_t source = pTable[FoveaIndex(s, r)];
            gather[FoveaIndex(s, r)] = static_cast<std::uint16_t>(
                source == kNoFoveaSector ? kEmptyCell : FoveaIndex(source, r));
        }
    }
    return gather;
}

}  // namespace

void CFrameProcessor::FillFovea(std::uint8_t* pFrame) {
    static const FoveaGather gather = MakeFoveaGather();
    std::array<std::uint8_t, kFoveaTableEntries + 1> fovea;
    for (int s = 0; s < kSectors; ++s) {
        std::memcpy(&fovea[FoveaIndex(s, 0)], pFrame + FrameIndex(s, 0), kFoveaRings);
    }
    fovea[kEmptyCell] = kEmptyFoveaSample;
    for (int s = 0; s < kSectors; ++s) {
        std::uint8_t* pSector = pFrame + FrameIndex(s, 0);
        const std::uint16_t* pFrom = &gather[FoveaIndex(s, 0)];
        for (int r = 0; r < kFoveaRings; ++r) {
            pSector[r] = fovea[pFrom[r]];
        }
    }
}
