#include "sensor/RemapTable.h"

#include <array>
#include <cmath>

namespace {

// The sensor's own value of pi; the band boundaries depend on it.
constexpr double kSensorPi = 3.141592;
constexpr double kFoveaRingPitch = 0.4675;
constexpr double kRingGrowth = 1.02365;
constexpr double kDiscRadius = 256.0;

std::uint16_t EntryFor(int x, int y) {
    const double dx = x - 256;
    const double dy = 256 - y;
    const double rho = std::sqrt(dx * dx + dy * dy);
    if (rho >= kDiscRadius) {
        return kNoSource;
    }
    if (rho == 0.0) {
        return 0;
    }
    int ring = 0;
    int sectors = kSectors;
    double stagger = 0.0;
    if (rho < kFoveaRings * kFoveaRingPitch) {
        ring = static_cast<int>(std::floor(rho / kFoveaRingPitch));
        sectors = 6 * ring;
    } else {
        ring = static_cast<int>(
            std::floor(kRings + std::log(rho / kDiscRadius) / std::log(kRingGrowth)));
        stagger = ring % 2 == 0 ? 0.5 : 0.0;
    }
    double theta = std::atan2(dy, dx);
    if (theta < 0) {
        theta += 2 * kSensorPi;
    }
    const int sector =
        static_cast<int>(std::floor(theta * sectors / (2 * kSensorPi) + stagger)) % sectors;
    return static_cast<std::uint16_t>(FrameIndex(sector, ring));
}

using Table = std::array<std::uint16_t, kRemapTableEntries>;

Table Generate() {
    Table table{};
    for (int y = 0; y < kRemapTableSize; ++y) {
        for (int x = 0; x < kRemapTableSize; ++x) {
            table[std::size_t(y) * kRemapTableSize + x] = EntryFor(x, y);
        }
    }
    return table;
}

}  // namespace

const std::uint16_t* RemapTable() {
    static const Table table = Generate();
    return table.data();
}
