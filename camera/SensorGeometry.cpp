#include "camera/SensorGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "processing/FoveaTable.h"
#include "processing/LogPolarFrame.h"
#include "processing/RemapTable.h"

namespace {

// The sensor's layout as the remap table draws it (512 scale).
constexpr double kFoveaRingPitch = 0.4675;
constexpr double kRingGrowth = 1.02365;
constexpr double kOuterRadius = 256.0;

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

}  // namespace

const CSensorGeometry& CSensorGeometry::Instance() {
    static const CSensorGeometry geometry;
    return geometry;
}

CanvasPlane CSensorGeometry::MosaicColor(int sector, int ring) {
    static constexpr CanvasPlane kEvenRing[3] = {kGreenPlane, kBluePlane, kRedPlane};
    static constexpr CanvasPlane kOddRing[3] = {kRedPlane, kGreenPlane, kBluePlane};
    bool odd = ring >= kFoveaRings && ring % 2 == 1;
    return (odd ? kOddRing : kEvenRing)[sector % 3];
}

CSensorGeometry::CSensorGeometry() : m_pixelCounts(kFrameBytes, 0) {
    const std::uint16_t* table = RemapTable();
    std::vector<std::uint32_t> counts(kFrameBytes, 0);
    for (std::size_t i = 0; i < kRemapTableEntries; ++i) {
        if (table[i] != kNoSource) {
            ++counts[table[i]];
        }
    }
    // Cells in compact order; a cell the table never shows sees its centre pixel.
    std::vector<std::uint32_t> firstOf(kFrameBytes, 0);
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 0; ring < kRings; ++ring) {
            if (!IsPhysical(sector, ring)) {
                continue;
            }
            std::size_t compact = FrameIndex(sector, ring);
            std::uint32_t count = std::max<std::uint32_t>(counts[compact], 1);
            firstOf[compact] = std::uint32_t(m_pixels.size());
            m_pixels.resize(m_pixels.size() + count, CellCentre(sector, ring));
            std::uint32_t rawIndex = RawIndexOf(sector, ring);
            m_cells.push_back({rawIndex, firstOf[compact], count, 1.0f / float(count),
                               std::uint8_t(MosaicColor(sector, ring))});
            m_pixelCounts[rawIndex] = count;
            counts[compact] = 0;  // from here on: pixels placed so far
        }
    }
    for (std::size_t i = 0; i < kRemapTableEntries; ++i) {
        std::uint16_t compact = table[i];
        if (compact != kNoSource && compact % kRings != 0) {
            m_pixels[firstOf[compact] + counts[compact]++] = std::uint32_t(i);
        }
    }
}

void CSensorGeometry::Sample(const SceneCanvas& canvas, bool color, std::uint8_t* rawFrame) const {
    std::fill(rawFrame, rawFrame + kFrameBytes, std::uint8_t{0});
    const std::uint32_t* pixels = m_pixels.data();
    for (const Cell& cell : m_cells) {
        const std::uint8_t* plane = canvas.plane[color ? cell.color : 0];
        std::uint32_t sum = 0;
        for (std::uint32_t k = cell.first; k < cell.first + cell.count; ++k) {
            sum += plane[pixels[k]];
        }
        rawFrame[cell.rawIndex] = std::uint8_t(float(sum) * cell.reciprocal + 0.5f);
    }
}

std::uint32_t CSensorGeometry::PixelCount(std::size_t rawIndex) const {
    return m_pixelCounts[rawIndex];
}
