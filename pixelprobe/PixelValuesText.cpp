#include "pixelprobe/PixelValuesText.h"

#include <cstdio>

#include "sensor/SampleGeometry.h"

namespace {

std::string Format(const char* format, auto... values) {
    char text[160];
    const int length = std::snprintf(text, sizeof(text), format, values...);
    return std::string(text, std::size_t(length > 0 ? length : 0));
}

std::string Where(const PixelInspection& in) {
    std::string line = Format("%sring %d sector %d", in.point.IsFovea() ? "fovea " : "",
                              in.point.ring, in.point.sector);
    if (in.bColor) {
        const char* channel = MosaicChannelName(in.point.index);
        if (*channel != '\0') {
            line += std::string(" ") + channel;
        }
    }
    return line;
}

// Red, green, blue, each named, for colour; the one level for black-and-white.
std::string Shown(const PixelInspection& in) {
    if (in.bColor) {
        return Format("shown R %d G %d B %d", in.shown[2], in.shown[1], in.shown[0]);
    }
    return Format("shown %d", in.shown[0]);
}

}  // namespace

std::string DescribeInspection(const PixelInspection& in) {
    std::string line = Format("x %d y %d \u00b7 ", in.x, in.y);
    if (!in.point.bInside) {
        return line + "outside the sensor";
    }
    line += Where(in);
    if (!in.point.bHasRawSample) {
        line += " \u00b7 no pixel (fovea fill)";
    } else {
        const SampleGeometry& geometry = SensorSampleGeometry();
        const std::size_t i = in.point.rawIndex;
        line += Format(" \u00b7 radius %.1f px, angle %.1f\u00b0, area %u px", geometry.radius[i],
                       geometry.angle[i], geometry.area[i]);
        if (in.bHasReading) {
            line += Format(" \u00b7 raw %d dark %d \u2192 %d", in.reading.raw, in.reading.dark,
                           in.reading.corrected);
        }
    }
    return line + " \u00b7 " + Shown(in);
}

std::string ShortInspection(const PixelInspection& in) {
    if (!in.point.bInside) {
        return "outside";
    }
    std::string line = Format("r%d s%d", in.point.ring, in.point.sector);
    if (in.bColor) {
        return line + Format(" R%d G%d B%d", in.shown[2], in.shown[1], in.shown[0]);
    }
    if (in.point.bHasRawSample && in.bHasReading) {
        line += Format(" \u00b7 %d\u2192%d", in.reading.raw, in.reading.corrected);
    }
    return line + Format(" \u00b7 %d", in.shown[0]);
}
