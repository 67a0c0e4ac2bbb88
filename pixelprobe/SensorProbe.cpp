#include "pixelprobe/SensorProbe.h"

#include <algorithm>

#include "processing/ChannelMap.h"
#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"

namespace {

SensorPoint PointAt(std::size_t index) {
    SensorPoint point;
    point.bInside = true;
    point.index = index;
    point.sector = int(index / kRings);
    point.ring = int(index % kRings);
    if (point.ring >= kFoveaRings) {
        point.bHasRawSample = true;
        point.rawIndex = index;
        return point;
    }
    const std::int32_t source = FoveaTable()[FoveaIndex(point.sector, point.ring)];
    if (source != kNoFoveaSector) {
        point.bHasRawSample = true;
        point.rawIndex = FrameIndex(source, point.ring);
    }
    return point;
}

}  // namespace

bool SensorPoint::IsFovea() const {
    return ring < kFoveaRings;
}

SensorPoint ProbeRemapped(int size, int x, int y) {
    if ((size != kNormalSize && size != kZoomedSize) || x < 0 || y < 0 || x >= size || y >= size) {
        return {};
    }
    const int step = kZoomedSize / size;  // the small picture uses even rows and columns
    const std::uint16_t entry = RemapTable()[std::size_t(y * step) * kRemapTableSize + x * step];
    if (entry == kNoSource || entry >= kFrameBytes) {
        return {};
    }
    return PointAt(entry);
}

SensorPoint ProbeUnmapped(int x, int y) {
    if (x < 0 || y < 0 || x >= kSectors || y >= kRings) {
        return {};
    }
    return PointAt(FrameIndex(kSectors - 1 - x, y));
}

SampleReading ReadSample(const SensorPoint& point, const std::uint8_t* pRaw,
                         const std::int32_t* pDark, int offset, const GainTable& table) {
    SampleReading reading;
    if (!point.bHasRawSample) {
        return reading;
    }
    reading.raw = pRaw[point.rawIndex];
    reading.dark = pDark != nullptr ? pDark[point.rawIndex] : 0;
    reading.corrected = table[std::clamp(reading.raw - reading.dark + offset, 0, 255)];
    return reading;
}

const char* MosaicChannelName(std::size_t index) {
    switch (ChannelCodeOf(int(index / kRings), int(index % kRings))) {
        case kBlueChannel:
            return "B";
        case kGreenChannel:
            return "G";
        case kRedChannel:
            return "R";
        case kUncountedChannel:
            break;
    }
    return "";
}
