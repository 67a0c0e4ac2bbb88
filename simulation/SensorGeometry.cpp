#include "simulation/SensorGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"

namespace {

// The sensor's layout as the remap table draws it (512 scale).
constexpr double kFoveaRingPitch = 0.4675;
constexpr double kRingGrowth = 1.02365;
constexpr double kOuterRadius = 256.0;
constexpr std::size_t kMostPixelsPerCell = CSensorGeometry::kMostPixelsPerCell;

bool IsPhysical(int sector, int ring) {
    return ring >= kFoveaRings || (ring > 0 && sector < 6 * ring);
}

// The canvas pixel nearest the middle of a cell in compact fovea layout.
std::uint32_t CellCentre(int sector, int ring) {
    double rho = 0;
    double theta = 0;
    if (ring < kFoveaRings) {
        rho = (ring + 0.5) * kFoveaRingPitch;
        theta = (sector + 0.5) * 2 * std::numbers::pi / (6 * ring);
    } else {
        rho = kOuterRadius * std::pow(kRingGrowth, ring + 0.5 - kRings);
        double stagger = ring % 2 == 0 ? 0.5 : 0.0;
        theta = (sector + 0.5 - stagger) * 2 * std::numbers::pi / kSectors;
    }
    int x = int(std::lround(kOuterRadius + rho * std::cos(theta)));
    int y = int(std::lround(kOuterRadius - rho * std::sin(theta)));
    x = std::clamp(x, 0, kCanvasSize - 1);
    y = std::clamp(y, 0, kCanvasSize - 1);
    return std::uint32_t(y * kCanvasSize + x);
}

std::uint32_t RawIndexOf(int sector, int ring) {
    if (ring >= kFoveaRings) {
        return std::uint32_t(FrameIndex(sector, ring));
    }
    int rawSector = FoveaTable()[FoveaIndex(sector, ring)];
    return std::uint32_t(FrameIndex(rawSector, ring));
}

// Keeps kMostPixelsPerCell pixels, each the middle one of an equal share of the cell's
// pixels in row order.
void ThinOut(std::vector<std::uint32_t>& pixels) {
    const std::size_t count = pixels.size();
    if (count <= kMostPixelsPerCell) {
        return;
    }
    // In place: pixel k is taken from at or after position k.
    for (std::size_t k = 0; k < kMostPixelsPerCell; ++k) {
        pixels[k] = pixels[(2 * k + 1) * count / (2 * kMostPixelsPerCell)];
    }
    pixels.resize(kMostPixelsPerCell);
}

}  // namespace

const CSensorGeometry& CSensorGeometry::Instance() {
    static const CSensorGeometry geometry;
    return geometry;
}

CanvasPlane CSensorGeometry::MosaicColor(int sector, int ring) {
    // One table indexed by parity: GCC 12 at -O0 with the arithmetic sanitizers reads
    // `(odd ? a : b)[i]` over two static arrays wrongly.
    static constexpr CanvasPlane kByParity[2][3] = {{kGreenPlane, kBluePlane, kRedPlane},
                                                    {kRedPlane, kGreenPlane, kBluePlane}};
    const bool odd = ring >= kFoveaRings && ring % 2 == 1;
    return kByParity[odd][sector % 3];
}

CSensorGeometry::CSensorGeometry() : m_pixelCounts(kFrameBytes, 0) {
    const std::uint16_t* table = RemapTable();
    std::vector<std::vector<std::uint32_t>> pixelsOf(kFrameBytes);
    for (std::size_t i = 0; i < kRemapTableEntries; ++i) {
        if (table[i] != kNoSource && table[i] % kRings != 0) {
            pixelsOf[table[i]].push_back(std::uint32_t(i));
        }
    }
    // Cells of one size after another keep the summing loop's length predictable; within
    // a size, taking them down the canvas keeps its rows in the cache. The sort key packs
    // the pixel count above the first pixel's canvas offset (below 2^18).
    struct Placed {
        std::uint64_t key;
        Cell cell;
        std::size_t compact;
    };
    std::vector<Placed> cells;
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 1; ring < kRings; ++ring) {
            if (!IsPhysical(sector, ring)) {
                continue;
            }
            std::size_t compact = FrameIndex(sector, ring);
            // A cell the table never shows sees its centre pixel.
            if (pixelsOf[compact].empty()) {
                pixelsOf[compact].push_back(CellCentre(sector, ring));
            }
            ThinOut(pixelsOf[compact]);
            Cell cell{RawIndexOf(sector, ring), std::uint16_t(pixelsOf[compact].size()),
                      std::uint8_t(MosaicColor(sector, ring))};
            m_pixelCounts[cell.rawIndex] = cell.count;
            const std::uint64_t key = std::uint64_t{cell.count} << 32 | pixelsOf[compact].front();
            cells.push_back({key, cell, compact});
        }
    }
    std::sort(cells.begin(), cells.end(),
              [](const Placed& a, const Placed& b) { return a.key < b.key; });
    for (const auto& [key, cell, compact] : cells) {
        m_cells.push_back(cell);
        m_pixels.insert(m_pixels.end(), pixelsOf[compact].begin(), pixelsOf[compact].end());
        m_cellsEnd[cell.count] = m_cells.size();
    }
    for (std::size_t count = 1; count <= kMostPixelsPerCell; ++count) {
        m_cellsEnd[count] = std::max(m_cellsEnd[count], m_cellsEnd[count - 1]);
    }
}

void CSensorGeometry::Sample(const SceneCanvas& canvas, bool color, std::uint8_t* rawFrame) const {
    static const std::array<std::uint8_t, 256> kIdentity = [] {
        std::array<std::uint8_t, 256> levels{};
        for (int v = 0; v < 256; ++v) {
            levels[std::size_t(v)] = std::uint8_t(v);
        }
        return levels;
    }();
    Sample(canvas, color, kIdentity, rawFrame);
}

void CSensorGeometry::Sample(const SceneCanvas& canvas, bool color,
                             const std::array<std::uint8_t, 256>& levels,
                             std::uint8_t* rawFrame) const {
    std::fill(rawFrame, rawFrame + kFrameBytes, levels[0]);
    const Cell* pCell = m_cells.data();
    const std::uint32_t* pPixel = m_pixels.data();
    static_assert(CSensorGeometry::kMostPixelsPerCell == 4, "one call per cell size");
    SampleCells<1>(canvas, color, levels, pCell, m_cellsEnd[1], pPixel, rawFrame);
    SampleCells<2>(canvas, color, levels, pCell, m_cellsEnd[2], pPixel, rawFrame);
    SampleCells<3>(canvas, color, levels, pCell, m_cellsEnd[3], pPixel, rawFrame);
    SampleCells<4>(canvas, color, levels, pCell, m_cellsEnd[4], pPixel, rawFrame);
}

// The cells of one size, which the sort put together: the sum unrolls fully.
template <int kCount>
void CSensorGeometry::SampleCells(const SceneCanvas& canvas, bool color,
                                  const std::array<std::uint8_t, 256>& levels, const Cell*& pCell,
                                  std::size_t end, const std::uint32_t*& pPixel,
                                  std::uint8_t* rawFrame) const {
    constexpr float kReciprocal = 1.0f / float(kCount);
    for (const Cell* pEnd = m_cells.data() + end; pCell != pEnd; ++pCell, pPixel += kCount) {
        const std::uint8_t* plane = canvas.plane[color ? pCell->color : 0];
        std::uint32_t sum = 0;
        for (int k = 0; k < kCount; ++k) {
            sum += plane[pPixel[k]];
        }
        rawFrame[pCell->rawIndex] = levels[std::uint8_t(float(sum) * kReciprocal + 0.5f)];
    }
}

std::uint32_t CSensorGeometry::PixelCount(std::size_t rawIndex) const {
    return m_pixelCounts[rawIndex];
}

std::vector<CSensorGeometry::PixelRead> CSensorGeometry::PixelsRead() const {
    std::vector<PixelRead> reads;
    reads.reserve(m_pixels.size());
    const std::uint32_t* pPixel = m_pixels.data();
    for (const Cell& cell : m_cells) {
        for (std::uint16_t k = 0; k < cell.count; ++k) {
            reads.push_back({*pPixel++, CanvasPlane(cell.color)});
        }
    }
    return reads;
}
