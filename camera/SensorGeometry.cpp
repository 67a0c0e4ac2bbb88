#include "camera/SensorGeometry.h"

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
    std::vector<std::pair<Cell, std::size_t>> cells;  // with their compact index
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
            Cell cell{RawIndexOf(sector, ring), std::uint16_t(pixelsOf[compact].size()),
                      std::uint8_t(MosaicColor(sector, ring))};
            m_pixelCounts[cell.rawIndex] = cell.count;
            cells.emplace_back(cell, compact);
        }
    }
    // Cells of one size after another keep the summing loop's length predictable.
    std::stable_sort(cells.begin(), cells.end(),
                     [](const auto& a, const auto& b) { return a.first.count < b.first.count; });
    for (const auto& [cell, compact] : cells) {
        m_cells.push_back(cell);
        m_pixels.insert(m_pixels.end(), pixelsOf[compact].begin(), pixelsOf[compact].end());
        if (m_reciprocals.size() <= cell.count) {
            m_reciprocals.resize(cell.count + 1u, 0.0f);
        }
        m_reciprocals[cell.count] = 1.0f / float(cell.count);
    }
}

void CSensorGeometry::Sample(const SceneCanvas& canvas, bool color, std::uint8_t* rawFrame) const {
    std::fill(rawFrame, rawFrame + kFrameBytes, std::uint8_t{0});
    const std::uint32_t* pixel = m_pixels.data();
    const float* reciprocals = m_reciprocals.data();
    for (const Cell& cell : m_cells) {
        const std::uint8_t* plane = canvas.plane[color ? cell.color : 0];
        std::uint32_t sum = 0;
        for (const std::uint32_t* end = pixel + cell.count; pixel != end; ++pixel) {
            sum += plane[*pixel];
        }
        rawFrame[cell.rawIndex] = std::uint8_t(float(sum) * reciprocals[cell.count] + 0.5f);
    }
}

std::uint32_t CSensorGeometry::PixelCount(std::size_t rawIndex) const {
    return m_pixelCounts[rawIndex];
}
