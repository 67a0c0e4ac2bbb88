#include "processing/RemapRuns.h"

#include <array>

#include "processing/LogPolarFrame.h"
#include "processing/RemapTable.h"

namespace {

constexpr std::uint32_t kWideStore = 8;

// At most one run per pixel; static storage keeps the build free of the heap.
template <std::uint32_t kPixels>
struct RunStorage {
    std::array<RemapRun, kPixels> runs;
    std::size_t count = 0;
};

// Output pixel (x, y) of a size x size picture uses table entry (x * step, y * step).
template <std::uint32_t kPixels>
void Build(RunStorage<kPixels>& storage, int size) {
    const std::uint16_t* pTable = RemapTable();
    const int step = kRemapTableSize / size;
    for (int y = 0; y < size; ++y) {
        const std::uint16_t* pRow = pTable + std::size_t(y) * step * kRemapTableSize;
        const std::size_t firstRunOfRow = storage.count;
        std::uint32_t rowSourcedEnd = 0;
        for (int x = 0; x < size; ++x) {
            const std::uint16_t entry = pRow[x * step];
            if (entry == kNoSource) {
                continue;
            }
            const std::uint32_t pixel = std::uint32_t(y) * size + x;
            RemapRun* pLast =
                storage.count > firstRunOfRow ? &storage.runs[storage.count - 1] : nullptr;
            if (pLast != nullptr && pLast->source == entry &&
                pLast->destination + pLast->length == pixel) {
                ++pLast->length;
            } else {
                storage.runs[storage.count++] = RemapRun{pixel, entry, 1, false};
            }
            rowSourcedEnd = pixel + 1;
        }
        // A wide store may spill into later pixels of the same sourced stretch only: the
        // runs are written in order, so the spilled bytes are overwritten by their own.
        for (std::size_t k = firstRunOfRow; k < storage.count; ++k) {
            RemapRun& run = storage.runs[k];
            const bool contiguousToEnd =
                run.destination + kWideStore <= rowSourcedEnd &&
                (k + 1 == storage.count ||
                 storage.runs[k + 1].destination == run.destination + run.length);
            run.wideStoreSafe = contiguousToEnd && run.length <= kWideStore;
        }
    }
}

template <std::uint32_t kPixels>
const RunStorage<kPixels>& Runs(int size) {
    static RunStorage<kPixels> storage;
    static const bool built = (Build(storage, size), true);
    (void)built;
    return storage;
}

}  // namespace

RemapRunList RemapRunsFor(std::uint32_t pixelCount) {
    if (pixelCount == kZoomedPixelCount) {
        const auto& storage = Runs<kZoomedPixelCount>(kZoomedSize);
        return {storage.runs.data(), storage.count};
    }
    if (pixelCount == kNormalPixelCount) {
        const auto& storage = Runs<kNormalPixelCount>(kNormalSize);
        return {storage.runs.data(), storage.count};
    }
    return {};
}

void PrepareRemapRuns() {
    RemapRunsFor(kNormalPixelCount);
    RemapRunsFor(kZoomedPixelCount);
}
