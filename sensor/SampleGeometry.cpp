#include "sensor/SampleGeometry.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "sensor/FoveaTable.h"
#include "sensor/RemapTable.h"

namespace {

// The same constants as the remap table's rule, which draws the bands this describes.
constexpr double kFoveaRingPitch = 0.4675;
constexpr double kRingGrowth = 1.02365;
constexpr double kDiscRadius = 256.0;
constexpr int kFoveaSpokes = 6;

// Sector centre in degrees for a ring of `sectors` sectors whose sector boundaries are moved
// on by `stagger` sectors (even periphery rings start half a sector early).
double SectorCentre(int sector, int sectors, double stagger) {
    const double degrees = (sector + 0.5 - stagger) * 360.0 / sectors;
    return degrees < 0 ? degrees + 360.0 : degrees;
}

std::unique_ptr<SampleGeometry> Compute() {
    auto geometry = std::make_unique<SampleGeometry>();
    const std::int32_t* fovea = FoveaTable();
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 0; ring < kRings; ++ring) {
            const std::size_t i = FrameIndex(sector, ring);
            geometry->radius[i] = float((RingInnerRadius(ring) + RingOuterRadius(ring)) / 2);
            if (ring >= kFoveaRings) {
                const double stagger = ring % 2 == 0 ? 0.5 : 0.0;
                geometry->angle[i] = float(SectorCentre(sector, kSectors, stagger));
                geometry->physical[i] = true;
            }
        }
    }
    // A fovea pixel read at sector fovea[s, r] is shown where sector s of the ring's 6r lies.
    for (int ring = 1; ring < kFoveaRings; ++ring) {
        for (int shown = 0; shown < kFoveaSpokes * ring; ++shown) {
            const std::int32_t read = fovea[FoveaIndex(shown, ring)];
            if (read == kNoFoveaSector) {
                continue;
            }
            const std::size_t i = FrameIndex(read, ring);
            geometry->physical[i] = true;
            geometry->angle[i] = float(SectorCentre(shown, kFoveaSpokes * ring, 0.0));
        }
    }
    const std::uint16_t* remap = RemapTable();
    for (std::size_t pixel = 0; pixel < kRemapTableEntries; ++pixel) {
        const std::uint16_t shown = remap[pixel];
        if (shown == kNoSource || shown >= kFrameBytes) {
            continue;
        }
        const int ring = int(shown % kRings);
        std::size_t read = shown;
        if (ring < kFoveaRings) {
            const std::int32_t sector = fovea[FoveaIndex(int(shown / kRings), ring)];
            if (sector == kNoFoveaSector) {
                continue;  // a fovea cell no pixel is gathered into shows the fill
            }
            read = FrameIndex(sector, ring);
        }
        ++geometry->area[read];
    }
    return geometry;
}

}  // namespace

const SampleGeometry& SensorSampleGeometry() {
    static const std::unique_ptr<SampleGeometry> geometry = Compute();
    return *geometry;
}

double RingInnerRadius(int ring) {
    if (ring < kFoveaRings) {
        return ring * kFoveaRingPitch;
    }
    // The fovea ends where the periphery's first band would start by the growth law.
    return std::max(kFoveaRings * kFoveaRingPitch,
                    kDiscRadius * std::pow(kRingGrowth, ring - kRings));
}

double RingOuterRadius(int ring) {
    if (ring < kFoveaRings - 1) {
        return (ring + 1) * kFoveaRingPitch;
    }
    return std::max(kFoveaRings * kFoveaRingPitch,
                    kDiscRadius * std::pow(kRingGrowth, ring + 1 - kRings));
}

int RingAtRadius(double distance) {
    if (distance >= kDiscRadius) {
        return kRings;
    }
    if (distance < kFoveaRings * kFoveaRingPitch) {
        return int(std::floor(distance / kFoveaRingPitch));
    }
    const int ring =
        int(std::floor(kRings + std::log(distance / kDiscRadius) / std::log(kRingGrowth)));
    return std::max(ring, kFoveaRings);
}
