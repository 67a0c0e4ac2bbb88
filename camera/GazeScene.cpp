#include "camera/GazeScene.h"

#include <algorithm>
#include <cmath>

#include "simulation/Luminance.h"
#include "simulation/SensorGeometry.h"

namespace {

// The Gaze window needs no more than this many pixels across to show the picture.
constexpr int kWidestCopy = 640;

// Drift: how far the view wanders from the gaze (canvas pixels) and how fast.
constexpr int kDriftMargin = 24;
constexpr double kDriftSpeedX = 0.013;  // radians per frame
constexpr double kDriftSpeedY = 0.017;

// Means are rounded to nearest by a multiplication: with R = ceil(2^40 / count) the product
// (sum + count / 2) * R >> 40 is exact for sums of 8-bit pixels while count < 65536, which
// the picture limit keeps (at most 65 x 65 pixels under a canvas pixel).
constexpr int kReciprocalShift = 40;

std::uint8_t Mean(std::uint32_t sum, std::uint32_t count, std::uint64_t reciprocal) {
    return std::uint8_t(((sum + count / 2) * reciprocal) >> kReciprocalShift);
}

// The picture pixels under each canvas column (or row) along an axis of `length` pixels.
// The canvas is the middle kCanvasSize pixels of a grid of kCanvasSize / field pixels laid
// over the picture's shorter side, centred at `centre` (a fraction of `length`) and moved
// by `shift` of its pixels. At the default field the grid is 560 pixels and the bounds
// come out as the picture file's view always computed them.
template <std::size_t kSize, typename Span>
void SpansAlong(int length, int shorter, double centre, double field, int shift, std::size_t step,
                std::array<Span, kSize>* spans) {
    const double across = kCanvasSize / field;
    const double scale = double(shorter) / across;  // picture pixels per canvas pixel
    const double start = centre * length - across / 2 * scale;
    const double margin = (across - kCanvasSize) / 2;
    for (int c = 0; c < kCanvasSize; ++c) {
        const double k = c + margin + shift;
        const double from = start + k * scale;
        const double to = start + (k + 1) * scale;
        const double middle = (from + to) / 2;
        if (middle < 0 || middle >= length) {
            (*spans)[std::size_t(c)] = {};
            continue;
        }
        const int first = std::clamp(int(std::floor(from)), 0, length - 1);
        const int end = std::clamp(int(std::floor(to)), first + 1, length);
        (*spans)[std::size_t(c)] = {std::size_t(first) * step, std::uint32_t(end - first)};
    }
}

// What the scene fills: every (canvas pixel, plane) a sample reads, once, in canvas order
// (which is the picture's order too, so that the fill reads the picture down its rows).
const std::vector<CSensorGeometry::PixelRead>& CanvasReads(bool color) {
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

// Calls `call.template operator()<kAcross, kDown>()` for the picture's chroma spreads (GStreamer
// spreads no chroma down between cosited rows: they repeat).
template <typename Call>
void WithSpreads(const SourcePicture& picture, const Call& call) {
    auto down = [&]<ChromaSpread kAcross>() {
        if (picture.down == ChromaSpread::kCentred) {
            call.template operator()<kAcross, ChromaSpread::kCentred>();
        } else {
            call.template operator()<kAcross, ChromaSpread::kRepeated>();
        }
    };
    switch (picture.across) {
        case ChromaSpread::kCentred:
            return down.template operator()<ChromaSpread::kCentred>();
        case ChromaSpread::kCosited:
            return down.template operator()<ChromaSpread::kCosited>();
        case ChromaSpread::kRepeated:
            return down.template operator()<ChromaSpread::kRepeated>();
    }
}

// Hands `take` the luma and chroma of every pixel in a box of the picture (luma is never
// subsampled). Repeated chroma is read straight from its rows.
template <ChromaSpread kAcross, ChromaSpread kDown, typename Take>
void ForEachYuv(const SourcePicture& picture, int left, int columns, int top, int rows,
                const Take& take) {
    const auto& [luma, cb, cr] = picture.channel;
    for (int y = top; y < top + rows; ++y) {
        const std::uint8_t* lumaRow = luma.origin + std::size_t(y) * luma.rowStride;
        if constexpr (kAcross == ChromaSpread::kRepeated && kDown == ChromaSpread::kRepeated) {
            const std::uint8_t* cbRow = cb.origin + std::size_t(y >> cb.yShift) * cb.rowStride;
            const std::uint8_t* crRow = cr.origin + std::size_t(y >> cr.yShift) * cr.rowStride;
            for (int x = left; x < left + columns; ++x) {
                take(lumaRow[std::size_t(x) * luma.step],
                     cbRow[std::size_t(x >> cb.xShift) * cb.step],
                     crRow[std::size_t(x >> cr.xShift) * cr.step]);
            }
        } else {
            for (int x = left; x < left + columns; ++x) {
                take(lumaRow[std::size_t(x) * luma.step],
                     ChromaAt<kAcross, kDown>(cb, x, y, picture.width, picture.height),
                     ChromaAt<kAcross, kDown>(cr, x, y, picture.width, picture.height));
            }
        }
    }
}

}  // namespace

CGazeScene::CGazeScene(std::shared_ptr<CSourceGaze> gaze, Options options)
    : m_pGaze(std::move(gaze)),
      m_options(options),
      m_canvas(kCanvasPixels * (options.color ? 3 : 1), 0) {}

void CGazeScene::SetPicture(const SourcePicture& picture) {
    m_pHeld.reset();
    m_picture = picture;
    m_bPictureNew = true;
    if (picture.encoding == SourcePicture::Encoding::kYuv &&
        (!m_yuv || !(m_yuv->Colorimetry() == picture.colorimetry))) {
        m_yuv.emplace(picture.colorimetry);
    }
}

void CGazeScene::SetPicture(std::shared_ptr<const BgrPicture> picture) {
    SetPicture(
        SourcePicture::Bgr(picture->bgr.data(), picture->width, picture->height, picture->stride));
    m_pHeld = std::move(picture);
}

SceneCanvas CGazeScene::Render(std::uint64_t frame) {
    // The generation first: a gaze set between the two calls is aimed at next frame.
    const Aim aim = [&] {
        const bool packed = m_picture.encoding == SourcePicture::Encoding::kBgr;
        Aim next{m_pGaze->Generation(),
                 m_picture.width,
                 m_picture.height,
                 packed ? m_picture.RowStride() : 0,
                 packed ? m_picture.PixelStep() : std::uint8_t{0},
                 0,
                 0};
        if (m_options.drift) {
            const double phase = double(frame % 1000000);
            next.driftX = int(std::lround(kDriftMargin * std::sin(phase * kDriftSpeedX)));
            next.driftY = int(std::lround(kDriftMargin * std::sin(phase * kDriftSpeedY + 1)));
        }
        return next;
    }();
    const Gaze gaze = m_pGaze->Get();
    if (m_picture.channel[0].origin != nullptr) {
        if (aim != m_aimed) {
            AimAt(gaze, aim);
        }
        if (m_bPictureNew) {
            m_bPictureNew = false;
            if (aim.step == 0) {
                WithSpreads(m_picture, [this]<ChromaSpread kAcross, ChromaSpread kDown>() {
                    FillYuv<kAcross, kDown>();
                });
            } else if (aim.step == 3) {
                FillPacked<3>();
            } else {
                FillPacked<4>();
            }
        }
    }
    if (m_options.quietUntilMoved && aim.generation == 0) {
        m_pGaze->NotePictureSize(m_picture.width, m_picture.height);
    } else {
        m_pGaze->NoteUsed(gaze, m_picture.width, m_picture.height);
    }
    LeaveCopyOfPicture();
    SceneCanvas scene;
    for (int plane = 0; plane < 3; ++plane) {
        scene.plane[plane] =
            m_canvas.data() + (m_options.color ? std::size_t(plane) * kCanvasPixels : 0);
    }
    return scene;
}

// The gaze puts the canvas's centre on the picture and its diameter (the sensor's disc) at
// `field` times the picture's shorter side; canvas pixels off the picture stay black.
void CGazeScene::AimAt(const Gaze& gaze, const Aim& aim) {
    m_aimed = aim;
    m_bPictureNew = true;
    std::fill(m_canvas.begin(), m_canvas.end(), std::uint8_t{0});
    const int shorter = std::min(aim.width, aim.height);
    // A packed picture is addressed in bytes, any other by pixel.
    const std::size_t across = aim.step == 0 ? 1 : aim.step;
    const std::size_t down = aim.step == 0 ? 1 : aim.stride;
    SpansAlong(aim.width, shorter, gaze.x, gaze.field, aim.driftX, across, &m_columns);
    SpansAlong(aim.height, shorter, gaze.y, gaze.field, aim.driftY, down, &m_rows);
    auto most = [](const std::array<Span, kCanvasSize>& spans) {
        std::uint32_t count = 0;
        for (const Span& span : spans) {
            count = std::max(count, span.count);
        }
        return count;
    };
    const std::size_t mostPixels = std::size_t(most(m_columns)) * most(m_rows);
    if (m_reciprocals.size() <= mostPixels) {
        m_reciprocals.resize(mostPixels + 1);
        for (std::size_t count = 1; count <= mostPixels; ++count) {
            m_reciprocals[count] = ((std::uint64_t{1} << kReciprocalShift) + count - 1) / count;
        }
    }
}

// Sums one channel (`kPlanes` 1) or all three (3, each `offsets` bytes from the first) of the
// pixels under a canvas pixel, pixels `kStep` bytes apart.
template <std::size_t kPlanes, std::size_t kStep>
void SumBox(const std::uint8_t* corner, std::uint32_t columns, std::uint32_t rows,
            std::size_t stride, const std::ptrdiff_t* offsets, std::uint32_t* sums) {
    for (std::uint32_t y = 0; y < rows; ++y, corner += stride) {
        const std::uint8_t* pixel = corner;
        for (std::uint32_t x = 0; x < columns; ++x, pixel += kStep) {
            for (std::size_t p = 0; p < kPlanes; ++p) {
                sums[p] += pixel[offsets[p]];
            }
        }
    }
}

// A picture not much larger than the canvas puts one or two pixels each way under most
// canvas pixels: those boxes are summed with their size known, unrolled.
template <std::size_t kPlanes, std::size_t kStep>
void SumSmallOrAnyBox(const std::uint8_t* corner, std::uint32_t columns, std::uint32_t rows,
                      std::size_t stride, const std::ptrdiff_t* offsets, std::uint32_t* sums) {
    switch ((columns << 2) | rows) {
        case (1 << 2) | 1:
            return SumBox<kPlanes, kStep>(corner, 1, 1, stride, offsets, sums);
        case (1 << 2) | 2:
            return SumBox<kPlanes, kStep>(corner, 1, 2, stride, offsets, sums);
        case (2 << 2) | 1:
            return SumBox<kPlanes, kStep>(corner, 2, 1, stride, offsets, sums);
        case (2 << 2) | 2:
            return SumBox<kPlanes, kStep>(corner, 2, 2, stride, offsets, sums);
        default:
            return SumBox<kPlanes, kStep>(corner, columns, rows, stride, offsets, sums);
    }
}

template <std::size_t kStep>
void CGazeScene::FillPacked() {
    const bool color = m_options.color;
    const std::uint8_t* blue = m_picture.channel[kBluePlane].origin;
    const std::ptrdiff_t offsets[3] = {0, m_picture.channel[kGreenPlane].origin - blue,
                                       m_picture.channel[kRedPlane].origin - blue};
    const std::size_t stride = m_picture.RowStride();
    for (const CSensorGeometry::PixelRead& read : CanvasReads(color)) {
        const Span& column = m_columns[read.pixel % kCanvasSize];
        const Span& row = m_rows[read.pixel / kCanvasSize];
        if (column.count == 0 || row.count == 0) {
            continue;
        }
        const std::uint8_t* corner = blue + row.offset + column.offset;
        const std::uint32_t count = column.count * row.count;
        const std::uint64_t reciprocal = m_reciprocals[count];
        std::uint32_t sums[3] = {0, 0, 0};
        if (color) {
            const std::size_t plane = std::size_t(read.color);
            SumSmallOrAnyBox<1, kStep>(corner + offsets[plane], column.count, row.count, stride,
                                       offsets, sums);
            m_canvas[plane * kCanvasPixels + read.pixel] = Mean(sums[0], count, reciprocal);
        } else {
            SumSmallOrAnyBox<3, kStep>(corner, column.count, row.count, stride, offsets, sums);
            m_canvas[read.pixel] =
                Luminance(Mean(sums[0], count, reciprocal), Mean(sums[1], count, reciprocal),
                          Mean(sums[2], count, reciprocal));
        }
    }
}

// Luma and chroma: each pixel under the canvas pixel is converted, then averaged, as the
// picture converted whole would have been.
template <ChromaSpread kAcross, ChromaSpread kDown>
void CGazeScene::FillYuv() {
    const bool color = m_options.color;
    const CYuvToBgr& yuv = *m_yuv;
    for (const CSensorGeometry::PixelRead& read : CanvasReads(color)) {
        const Span& column = m_columns[read.pixel % kCanvasSize];
        const Span& row = m_rows[read.pixel / kCanvasSize];
        if (column.count == 0 || row.count == 0) {
            continue;
        }
        const std::uint32_t count = column.count * row.count;
        const std::uint64_t reciprocal = m_reciprocals[count];
        std::uint32_t sums[3] = {0, 0, 0};
        auto sum = [&](const auto& take) {
            ForEachYuv<kAcross, kDown>(m_picture, int(column.offset), int(column.count),
                                       int(row.offset), int(row.count), take);
        };
        if (!color) {
            sum([&](std::uint8_t l, std::uint8_t b, std::uint8_t r) {
                sums[0] += yuv.Blue(l, b);
                sums[1] += yuv.Green(l, b, r);
                sums[2] += yuv.Red(l, r);
            });
            m_canvas[read.pixel] =
                Luminance(Mean(sums[0], count, reciprocal), Mean(sums[1], count, reciprocal),
                          Mean(sums[2], count, reciprocal));
            continue;
        }
        if (read.color == kBluePlane) {
            sum([&](std::uint8_t l, std::uint8_t b, std::uint8_t) { sums[0] += yuv.Blue(l, b); });
        } else if (read.color == kGreenPlane) {
            sum([&](std::uint8_t l, std::uint8_t b, std::uint8_t r) {
                sums[0] += yuv.Green(l, b, r);
            });
        } else {
            sum([&](std::uint8_t l, std::uint8_t, std::uint8_t r) { sums[0] += yuv.Red(l, r); });
        }
        m_canvas[std::size_t(read.color) * kCanvasPixels + read.pixel] =
            Mean(sums[0], count, reciprocal);
    }
}

void CGazeScene::ReadBgr(int x, int y, std::uint8_t* bgr) const {
    if (m_picture.encoding == SourcePicture::Encoding::kBgr) {
        for (std::size_t c = 0; c < 3; ++c) {
            bgr[c] = SampleAt(m_picture.channel[c], x, y);
        }
        return;
    }
    WithSpreads(m_picture, [&]<ChromaSpread kAcross, ChromaSpread kDown>() {
        ForEachYuv<kAcross, kDown>(m_picture, x, 1, y, 1,
                                   [&](std::uint8_t l, std::uint8_t b, std::uint8_t r) {
                                       bgr[0] = m_yuv->Blue(l, b);
                                       bgr[1] = m_yuv->Green(l, b, r);
                                       bgr[2] = m_yuv->Red(l, r);
                                   });
    });
}

void CGazeScene::LeaveCopyOfPicture() {
    if (!m_pGaze->PictureWanted() || m_picture.channel[0].origin == nullptr) {
        return;
    }
    if (m_pHeld) {
        m_pGaze->LeavePicture(m_pHeld);
        return;
    }
    const int step = (m_picture.width + kWidestCopy - 1) / kWidestCopy;
    auto copy = std::make_shared<BgrPicture>();
    copy->width = m_picture.width / step;
    copy->height = m_picture.height / step;
    copy->stride = std::size_t(copy->width) * 3;
    copy->bgr.resize(copy->stride * std::size_t(copy->height));
    for (int y = 0; y < copy->height; ++y) {
        std::uint8_t* to = copy->bgr.data() + std::size_t(y) * copy->stride;
        for (int x = 0; x < copy->width; ++x, to += 3) {
            ReadBgr(x * step, y * step, to);
        }
    }
    m_pGaze->LeavePicture(std::move(copy));
}
