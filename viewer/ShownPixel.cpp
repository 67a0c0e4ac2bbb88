#include "viewer/ShownPixel.h"

#include "viewer/UnmappedView.h"

std::optional<PixelInspection> InspectShownPicture(const CFrameHandover::ScreenPicture& picture,
                                                   int x, int y) {
    const ViewerRect& to = picture.destination;
    if (!picture.bValid || to.Width() <= 0 || to.Height() <= 0 || x < to.left || x >= to.right ||
        y < to.top || y >= to.bottom) {
        return std::nullopt;
    }
    PixelInspection inspection;
    // The unmapped picture may be drawn doubled; the pixel is the picture's own.
    inspection.x = (x - to.left) * picture.width / to.Width();
    inspection.y = (y - to.top) * picture.height / to.Height();
    const bool bUnmapped = picture.width == kUnmappedWidth && picture.height == kUnmappedHeight;
    inspection.point = bUnmapped ? ProbeUnmapped(inspection.x, inspection.y)
                                 : ProbeRemapped(picture.width, inspection.x, inspection.y);
    // Rows are kept bottom-up, as the worker gave them.
    const std::size_t row = std::size_t(picture.height - 1 - inspection.y);
    const std::size_t at = (row * picture.width + inspection.x) * 3;
    for (int channel = 0; channel < 3; ++channel) {
        inspection.shown[channel] = picture.pixels[at + channel];
    }
    const SensorSnapshot& sensor = picture.sensor;
    inspection.bColor = sensor.bColor;
    if (sensor.IsValid() && inspection.point.bInside) {
        inspection.bHasReading = true;
        inspection.reading =
            ReadSample(inspection.point, sensor.raw.data(),
                       sensor.pDark ? sensor.pDark->data() : nullptr, sensor.offset, sensor.table);
    }
    return inspection;
}
