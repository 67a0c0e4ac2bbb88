#include "camera/GazeScene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "simulation/SensorGeometry.h"

namespace {

// The Gaze window needs no more than this many pixels across to show the picture.
constexpr int kWidestCopy = 640;

std::uint8_t Luminance(const std::uint8_t* bgr) {
    return std::uint8_t((114 * bgr[0] + 587 * bgr[1] + 299 * bgr[2] + 500) / 1000);
}

}  // namespace

CGazeScene::CGazeScene(std::shared_ptr<CSourceGaze> gaze, bool color,
                       std::unique_ptr<IScene> fixedView)
    : m_pGaze(std::move(gaze)),
      m_bColor(color),
      m_pFixedView(std::move(fixedView)),
      m_canvas(kCanvasPixels * (color ? 3 : 1), 0) {}

void CGazeScene::SetPicture(const std::uint8_t* bgr, int width, int height, std::size_t stride) {
    m_pHeld.reset();
    m_pPicture = bgr;
    m_nWidth = width;
    m_nHeight = height;
    m_nStride = stride;
}

void CGazeScene::SetPicture(std::shared_ptr<const SourcePicture> picture) {
    SetPicture(picture->bgr.data(), picture->width, picture->height, picture->stride);
    m_pHeld = std::move(picture);
}

SceneCanvas CGazeScene::Render(std::uint64_t frame) {
    const std::uint64_t generation = m_pGaze->Generation();
    if (m_pFixedView && generation == 0) {
        m_pGaze->NotePictureSize(m_nWidth, m_nHeight);
        LeaveCopyOfPicture();
        return m_pFixedView->Render(frame);
    }
    m_pFixedView.reset();
    const Gaze gaze = m_pGaze->Get();
    if (generation != m_nAimedGeneration || m_nWidth != m_nAimedWidth ||
        m_nHeight != m_nAimedHeight || m_nStride != m_nAimedStride) {
        Aim(gaze);
    }
    m_pGaze->NoteUsed(gaze, m_nWidth, m_nHeight);
    LeaveCopyOfPicture();
    const std::uint8_t* picture = m_pPicture;
    std::uint8_t* canvas = m_canvas.data();
    if (m_bColor) {
        for (const Fill& fill : m_fills) {
            canvas[fill.canvas] = picture[fill.picture];
        }
    } else {
        for (const Fill& fill : m_fills) {
            canvas[fill.canvas] = Luminance(picture + fill.picture);
        }
    }
    SceneCanvas scene;
    for (int plane = 0; plane < 3; ++plane) {
        scene.plane[plane] = canvas + (m_bColor ? std::size_t(plane) * kCanvasPixels : 0);
    }
    return scene;
}

// What the scene fills: every (canvas pixel, plane) a sample reads, once, in canvas order
// (which is the picture's order too, so that the fill reads the picture down its rows).
static const std::vector<CSensorGeometry::PixelRead>& CanvasReads(bool color) {
    static const auto kReads = [](bool byPlane) {
        std::vector<CSensorGeometry::PixelRead> reads = CSensorGeometry::Instance().PixelsRead();
        for (CSensorGeometry::PixelRead& read : reads) {
            read.color = byPlane ? read.color : kBluePlane;  // grey: one plane
        }
        auto key = [](const CSensorGeometry::PixelRead& read) {
            return std::uint64_t{read.pixel} << 2 | std::uint64_t(read.color);
        };
        std::sort(reads.begin(), reads.end(),
                  [&](const auto& a, const auto& b) { return key(a) < key(b); });
        reads.erase(std::unique(reads.begin(), reads.end(),
                                [&](const auto& a, const auto& b) { return key(a) == key(b); }),
                    reads.end());
        return reads;
    };
    static const std::vector<CSensorGeometry::PixelRead> kGrey = kReads(false);
    static const std::vector<CSensorGeometry::PixelRead> kColor = kReads(true);
    return color ? kColor : kGrey;
}

// The canvas is the sensor's disc, kCanvasSize pixels across; the gaze puts its centre
// on the picture and its diameter at `field` times the picture's shorter side. Each canvas
// column and row falls on one picture column and row (or off the picture).
void CGazeScene::Aim(const Gaze& gaze) {
    m_nAimedGeneration = m_pGaze->Generation();
    m_nAimedWidth = m_nWidth;
    m_nAimedHeight = m_nHeight;
    m_nAimedStride = m_nStride;
    std::fill(m_canvas.begin(), m_canvas.end(), std::uint8_t{0});  // off the picture: black
    m_fills.clear();
    const double scale = gaze.field * std::min(m_nWidth, m_nHeight) / kCanvasSize;
    constexpr std::int64_t kOff = -1;
    std::array<std::int64_t, kCanvasSize> columnOffset{};
    std::array<std::int64_t, kCanvasSize> rowOffset{};
    for (int c = 0; c < kCanvasSize; ++c) {
        const double along = (c + 0.5 - kCanvasSize / 2.0) * scale;
        const double x = std::floor(gaze.x * m_nWidth + along);
        const double y = std::floor(gaze.y * m_nHeight + along);
        columnOffset[std::size_t(c)] = x >= 0 && x < m_nWidth ? std::int64_t(x) * 3 : kOff;
        rowOffset[std::size_t(c)] =
            y >= 0 && y < m_nHeight ? std::int64_t(y) * std::int64_t(m_nStride) : kOff;
    }
    for (const CSensorGeometry::PixelRead& read : CanvasReads(m_bColor)) {
        const std::int64_t column = columnOffset[read.pixel % kCanvasSize];
        const std::int64_t row = rowOffset[read.pixel / kCanvasSize];
        if (column != kOff && row != kOff) {
            const std::size_t plane = std::size_t(read.color);
            m_fills.push_back({std::uint32_t(plane * kCanvasPixels + read.pixel),
                               std::uint32_t(row + column + std::int64_t(plane))});
        }
    }
}

void CGazeScene::LeaveCopyOfPicture() {
    if (!m_pGaze->PictureWanted() || m_pPicture == nullptr) {
        return;
    }
    if (m_pHeld) {
        m_pGaze->LeavePicture(m_pHeld);
        return;
    }
    const int step = (m_nWidth + kWidestCopy - 1) / kWidestCopy;
    auto copy = std::make_shared<SourcePicture>();
    copy->width = m_nWidth / step;
    copy->height = m_nHeight / step;
    copy->stride = std::size_t(copy->width) * 3;
    copy->bgr.resize(copy->stride * std::size_t(copy->height));
    for (int y = 0; y < copy->height; ++y) {
        const std::uint8_t* from = m_pPicture + std::size_t(y) * step * m_nStride;
        std::uint8_t* to = copy->bgr.data() + std::size_t(y) * copy->stride;
        for (int x = 0; x < copy->width; ++x, from += 3 * step, to += 3) {
            std::copy(from, from + 3, to);
        }
    }
    m_pGaze->LeavePicture(std::move(copy));
}
