#include "pixelprobe/PixelValuesText.h"

#include <cstdio>

std::string DescribeInspection(const PixelInspection& in) {
    char text[200];
    int length = std::snprintf(text, sizeof(text), "x %d y %d \u00b7 ", in.x, in.y);
    std::string line(text, std::size_t(length));
    if (!in.point.bInside) {
        return line + "outside the sensor";
    }
    std::snprintf(text, sizeof(text), "%sring %d sector %d", in.point.IsFovea() ? "fovea " : "",
                  in.point.ring, in.point.sector);
    line += text;
    if (in.bColor) {
        const char* channel = MosaicChannelName(in.point.index);
        if (*channel != '\0') {
            line += std::string(" ") + channel;
        }
    }
    if (!in.point.bHasRawSample) {
        line += " \u00b7 no pixel (fovea fill)";
    } else if (in.bHasReading) {
        std::snprintf(text, sizeof(text), " \u00b7 raw %d dark %d \u2192 %d", in.reading.raw,
                      in.reading.dark, in.reading.corrected);
        line += text;
    }
    if (in.bColor) {
        std::snprintf(text, sizeof(text), " \u00b7 shown %d,%d,%d", in.shown[0], in.shown[1],
                      in.shown[2]);
    } else {
        std::snprintf(text, sizeof(text), " \u00b7 shown %d", in.shown[0]);
    }
    return line + text;
}
