#include "simulation/ImageScene.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double kDriftSpeedX = 0.013;  // radians per frame
constexpr double kDriftSpeedY = 0.017;

}  // namespace

CImageScene::CImageScene(std::shared_ptr<const CSceneImage> picture, bool color, bool drift)
    : m_pPicture(std::move(picture)), m_bColor(color), m_bDrift(drift) {
    std::size_t area = std::size_t(CSceneImage::Side()) * CSceneImage::Side();
    int planes = color ? 3 : 1;
    for (int plane = 0; plane < planes; ++plane) {
        m_source[std::size_t(plane)].assign(m_pPicture->Plane(plane),
                                            m_pPicture->Plane(plane) + area);
        m_planes[std::size_t(plane)].resize(kCanvasPixels);
    }
    if (!color) {
        const std::uint8_t* blue = m_pPicture->Plane(kBluePlane);
        const std::uint8_t* green = m_pPicture->Plane(kGreenPlane);
        const std::uint8_t* red = m_pPicture->Plane(kRedPlane);
        for (std::size_t i = 0; i < area; ++i) {
            m_source[0][i] =
                std::uint8_t((114 * blue[i] + 587 * green[i] + 299 * red[i] + 500) / 1000);
        }
    }
    if (!drift) {
        Render(0);
    }
}

SceneCanvas CImageScene::Render(std::uint64_t frame) {
    int planes = m_bColor ? 3 : 1;
    if (m_bDrift || frame == 0) {
        double phase = double(frame % 1000000);
        int margin = CSceneImage::kDriftMargin;
        int dx =
            margin + (m_bDrift ? int(std::lround(margin * std::sin(phase * kDriftSpeedX))) : 0);
        int dy =
            margin + (m_bDrift ? int(std::lround(margin * std::sin(phase * kDriftSpeedY + 1))) : 0);
        for (int plane = 0; plane < planes; ++plane) {
            const std::uint8_t* source = m_source[std::size_t(plane)].data();
            std::uint8_t* out = m_planes[std::size_t(plane)].data();
            for (int y = 0; y < kCanvasSize; ++y) {
                std::memcpy(out + std::size_t(y) * kCanvasSize,
                            source + std::size_t(y + dy) * CSceneImage::Side() + dx, kCanvasSize);
            }
        }
    }
    SceneCanvas canvas;
    for (int plane = 0; plane < 3; ++plane) {
        canvas.plane[plane] = m_planes[std::size_t(m_bColor ? plane : 0)].data();
    }
    return canvas;
}
