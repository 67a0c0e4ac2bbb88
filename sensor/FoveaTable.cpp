#include "sensor/FoveaTable.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kSpokes = 6;
constexpr int kSpokeStep = kSectors / kSpokes;  // 42

using Table = std::array<std::int32_t, kFoveaTableEntries>;

Table Generate() {
    Table table;
    table.fill(kNoFoveaSector);
    for (int ring = 1; ring < kFoveaRings; ++ring) {
        // r neighbouring sectors around each spoke; sorted, they are the ring's layout.
        std::array<std::int32_t, kSpokes * kFoveaRings> sectors{};
        int count = 0;
        for (int k = 0; k < kSpokes; ++k) {
            for (int j = -((ring - 1) / 2); j <= ring / 2; ++j) {
                sectors[count++] = (kSpokeStep * k + j + kSectors) % kSectors;
            }
        }
        std::sort(sectors.begin(), sectors.begin() + count);
        for (int s = 0; s < count; ++s) {
            table[FoveaIndex(s, ring)] = sectors[s];
        }
    }
    return table;
}

}  // namespace

const std::int32_t* FoveaTable() {
    static const Table table = Generate();
    return table.data();
}
