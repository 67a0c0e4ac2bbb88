#include "viewer/ClippingOverlay.h"

#include <QImage>
#include <QPainter>

#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"
#include "viewer/UnmappedView.h"

namespace {

constexpr QRgb kBelow = qRgb(0, 90, 255);
constexpr QRgb kAbove = qRgb(255, 0, 0);
constexpr QRgb kClear = 0;

// Whether pixel (x, y), counted from the top, shows a sensor sample.
bool OnSensor(const CFrameHandover::ScreenPicture& picture, int x, int y) {
    if (picture.width == kUnmappedWidth && picture.height == kUnmappedHeight) {
        return true;
    }
    const int step = kZoomedSize / picture.width;
    return RemapTable()[std::size_t(y * step) * kRemapTableSize + std::size_t(x * step)] !=
           kNoSource;
}

}  // namespace

void PaintClipping(QPainter& painter, const CFrameHandover::ScreenPicture& picture) {
    const ViewerRect& to = picture.destination;
    const bool bKnownSize = picture.width == kUnmappedWidth ||
                            (picture.width == picture.height &&
                             (picture.width == kNormalSize || picture.width == kZoomedSize));
    if (!picture.bValid || !bKnownSize || to.Width() <= 0 || to.Height() <= 0) {
        return;
    }
    QImage mask(picture.width, picture.height, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height; ++y) {
        // Rows are kept bottom-up, as the worker gave them.
        const std::uint8_t* pRow =
            picture.pixels.data() + std::size_t(picture.height - 1 - y) * picture.width * 3;
        auto* pOut = reinterpret_cast<QRgb*>(mask.scanLine(y));
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* p = pRow + std::size_t(x) * 3;
            QRgb colour = kClear;
            if (p[0] == 255 || p[1] == 255 || p[2] == 255) {
                colour = kAbove;
            } else if ((p[0] | p[1] | p[2]) == 0) {
                colour = kBelow;
            }
            pOut[x] = colour != kClear && OnSensor(picture, x, y) ? colour : kClear;
        }
    }
    painter.drawImage(QRect(to.left, to.top, to.Width(), to.Height()), mask);
}
