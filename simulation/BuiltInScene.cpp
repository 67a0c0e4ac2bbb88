#include "simulation/BuiltInScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "simulation/Luminance.h"

namespace {

constexpr int kAngleSteps = 4096;
constexpr double kStarRadius = 150;
constexpr int kStarSegments = 32;
constexpr int kTurnPerFrame = 8;    // angle steps: a full turn in about 20 s at 25 frames/s
constexpr int kScrollPerFrame = 2;  // pixels
constexpr double kBallOrbit = 170;
constexpr double kBallRadius = 20;
constexpr double kBallSpeed = 0.05;  // radians per frame
constexpr int kBarsTop = 300;
constexpr int kBarsBottom = 400;

enum Paint : std::uint8_t {
    kBlack,
    kRed,
    kYellow,
    kGreen,
    kCyan,
    kBlue,
    kMagenta,
    kWhite,
    kGrey,
    kDarkGrey,
};

constexpr int kPaintCount = 10;
// Blue, green, red of each paint; the grey scene uses the luminance.
constexpr std::uint8_t kPaints[kPaintCount][3] = {
    {10, 10, 10},  {40, 40, 230},  {30, 230, 230},  {40, 210, 40},   {230, 220, 40},
    {230, 60, 40}, {220, 40, 220}, {255, 255, 255}, {120, 120, 120}, {50, 50, 50},
};

std::uint32_t Hash(std::uint32_t value) {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    value ^= value >> 16;
    return value;
}

// Rows of word-like blocks whose height halves from row to row, then bars whose width
// does: structure at every scale from the outer rings inwards.
std::vector<std::uint8_t> PaintBand() {
    std::vector<std::uint8_t> band(kCanvasPixels, kDarkGrey);
    int top = 6;
    for (int height = 32, line = 0; top + height < kBarsTop; ++line) {
        int x = 4;
        for (int word = 0; x < kCanvasSize - 4; ++word) {
            int width = height * int(1 + Hash(std::uint32_t(line * 1000 + word)) % 5);
            std::uint8_t paint = word % 3 == 2 ? kCyan : kWhite;
            for (int y = top; y < top + height; ++y) {
                for (int i = x; i < std::min(x + width, kCanvasSize - 4); ++i) {
                    band[std::size_t(y) * kCanvasSize + std::size_t(i)] = paint;
                }
            }
            x += width + std::max(2, height / 2);
        }
        top += height + std::max(3, height / 2);
        height = height > 2 ? height / 2 : 32;
    }
    int x = 0;
    for (int width = 24; x < kCanvasSize; width = std::max(1, width * 3 / 4)) {
        for (int y = kBarsTop; y < kBarsBottom; ++y) {
            for (int i = x; i < std::min(x + width, kCanvasSize); ++i) {
                band[std::size_t(y) * kCanvasSize + std::size_t(i)] = kWhite;
            }
        }
        x += 2 * width;
        if (width == 1) {
            width = 32;  // start the sweep again
        }
    }
    for (int y = kBarsBottom + 16; y < kCanvasSize; ++y) {
        for (int i = 0; i < kCanvasSize; ++i) {
            band[std::size_t(y) * kCanvasSize + std::size_t(i)] =
                (i / 64 + y / 46) % 2 ? kRed : kGreen;
        }
    }
    return band;
}

// Copies count bytes in 32-byte pieces (the last one overlapping): the compiler's own
// expansion of a short copy of unknown length is a string instruction, slow to start.
void CopyBytes(std::uint8_t* pTo, const std::uint8_t* pFrom, std::size_t count) {
    constexpr std::size_t kPiece = 32;
    if (count < kPiece) {
        std::memcpy(pTo, pFrom, count);
        return;
    }
    for (std::size_t i = 0; i + kPiece < count; i += kPiece) {
        std::memcpy(pTo + i, pFrom + i, kPiece);
    }
    std::memcpy(pTo + count - kPiece, pFrom + count - kPiece, kPiece);
}

// Columns [from, to) of a canvas row from the band row scrolled left by `scroll`.
void CopyBand(std::uint8_t* pRow, const std::uint8_t* pBand, std::size_t scroll, std::size_t from,
              std::size_t to) {
    const std::size_t wrap = std::size_t(kCanvasSize) - scroll;  // first column taken from 0
    if (from < wrap) {
        const std::size_t end = std::min(to, wrap);
        CopyBytes(pRow + from, pBand + from + scroll, end - from);
        from = end;
    }
    if (from < to) {
        CopyBytes(pRow + from, pBand + from - wrap, to - from);
    }
}

}  // namespace

CBuiltInScene::CBuiltInScene(bool color)
    : m_bColor(color), m_angle(kCanvasPixels, 0), m_starSpan(kCanvasSize, {0, 0}) {
    for (int y = 0; y < kCanvasSize; ++y) {
        int first = kCanvasSize;
        int last = 0;
        for (int x = 0; x < kCanvasSize; ++x) {
            double dx = x - 256.0;
            double dy = 256.0 - y;
            if (std::hypot(dx, dy) >= kStarRadius) {
                continue;
            }
            double theta = std::atan2(dy, dx);
            if (theta < 0) {
                theta += 2 * std::numbers::pi;
            }
            m_angle[std::size_t(y) * kCanvasSize + std::size_t(x)] =
                std::uint16_t(int(theta / (2 * std::numbers::pi) * kAngleSteps) % kAngleSteps);
            first = std::min(first, x);
            last = x + 1;
        }
        m_starSpan[std::size_t(y)] = {std::min(first, last), last};
    }
    std::vector<std::uint8_t> band = PaintBand();
    for (int plane = 0; plane < 3; ++plane) {
        std::array<std::uint8_t, kPaintCount> palette{};
        for (int paint = 0; paint < kPaintCount; ++paint) {
            const std::uint8_t* bgr = kPaints[paint];
            palette[std::size_t(paint)] = color ? bgr[plane] : Luminance(bgr[0], bgr[1], bgr[2]);
        }
        auto& bandPlane = m_bandPlanes[std::size_t(plane)];
        bandPlane.resize(kCanvasPixels);
        for (std::size_t i = 0; i < kCanvasPixels; ++i) {
            bandPlane[i] = palette[band[i]];
        }
        // Dark spokes between coloured (or light) ones.
        for (int segment = 0; segment < kStarSegments; ++segment) {
            int paint = segment % 2 ? kBlack : kRed + (segment / 2) % 6;
            m_segmentPaints[std::size_t(plane)][std::size_t(segment)] = palette[std::size_t(paint)];
        }
        m_ballPaint[std::size_t(plane)] = {palette[kWhite], palette[kYellow]};
        m_planes[std::size_t(plane)].resize(kCanvasPixels);
    }
}

void CBuiltInScene::PaintBall(std::uint64_t frame, int plane) {
    double phase = double(frame % 100000) * kBallSpeed;
    double cx = 256 + kBallOrbit * std::cos(phase);
    double cy = 256 - kBallOrbit * std::sin(phase);
    int x0 = std::max(0, int(cx - kBallRadius));
    int x1 = std::min(kCanvasSize - 1, int(cx + kBallRadius) + 1);
    int y0 = std::max(0, int(cy - kBallRadius));
    int y1 = std::min(kCanvasSize - 1, int(cy + kBallRadius) + 1);
    std::uint8_t* out = m_planes[std::size_t(plane)].data();
    const auto& paint = m_ballPaint[std::size_t(plane)];
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (r2 <= kBallRadius * kBallRadius) {
                out[std::size_t(y) * kCanvasSize + std::size_t(x)] =
                    r2 < kBallRadius * kBallRadius / 4 ? paint[0] : paint[1];
            }
        }
    }
}

SceneCanvas CBuiltInScene::Render(std::uint64_t frame) {
    unsigned turn = unsigned(frame * kTurnPerFrame) % kAngleSteps;
    std::size_t scroll = std::size_t(frame * kScrollPerFrame) % kCanvasSize;
    int planes = m_bColor ? 3 : 1;
    for (std::size_t y = 0; y < std::size_t(kCanvasSize); ++y) {
        auto [first, last] = m_starSpan[y];
        std::uint8_t* rows[3] = {};
        for (int plane = 0; plane < planes; ++plane) {
            std::uint8_t* row = m_planes[std::size_t(plane)].data() + y * kCanvasSize;
            const std::uint8_t* band = m_bandPlanes[std::size_t(plane)].data() + y * kCanvasSize;
            // The star covers the band between first and last.
            CopyBand(row, band, scroll, 0, std::size_t(first));
            CopyBand(row, band, scroll, std::size_t(last), kCanvasSize);
            rows[plane] = row + first;
        }
        if (first < last) {
            PaintStarRow(&m_angle[y * kCanvasSize + std::size_t(first)], last - first, turn,
                         m_segmentPaints.data(), rows, planes);
        }
    }
    for (int plane = 0; plane < planes; ++plane) {
        PaintBall(frame, plane);
    }
    SceneCanvas canvas;
    for (int plane = 0; plane < 3; ++plane) {
        canvas.plane[plane] = m_planes[std::size_t(m_bColor ? plane : 0)].data();
    }
    return canvas;
}
