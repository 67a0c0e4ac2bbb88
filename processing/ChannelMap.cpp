#include "processing/ChannelMap.h"

#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"

namespace {

// Along even and fovea rings a cell of three sectors is green, blue, red; odd rings carry
// the pattern moved on by one sector: red, green, blue.
constexpr ChannelCode kEvenRingCodes[3] = {kGreenChannel, kBlueChannel, kRedChannel};
constexpr ChannelCode kOddRingCodes[3] = {kRedChannel, kGreenChannel, kBlueChannel};

}  // namespace

ChannelCode ChannelCodeOf(int sector, int ring) {
    const int phase = sector % 3;
    if (ring < kFoveaRings) {
        // A fovea cell counts only when the fill gathers a pixel into its first sector.
        const int cellStart = sector - phase;
        if (FoveaTable()[FoveaIndex(cellStart, ring)] == kNoFoveaSector) {
            return kUncountedChannel;
        }
        return kEvenRingCodes[phase];
    }
    return ring % 2 == 0 ? kEvenRingCodes[phase] : kOddRingCodes[phase];
}
