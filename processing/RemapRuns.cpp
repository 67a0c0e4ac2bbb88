#include "processing/RemapRuns.h"

#include <array>

#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"

namespace {

// At most one run per pixel; static storage keeps the build free of the heap.
template <int kSize>
struct RunStorage {
    std::array<RemapRow, kSize> rows;
    std::array<std::uint32_t, std::size_t{kSize} * kSize> runs;
    std::array<std::uint16_t, std::size_t{kSize} * kSize> sources;
    int rowCount = 0;
};

// Counts the leading runs of a row that are at most `longest` pixels and begin at least
// `room` pixels before the row's end.
template <typename Storage>
std::uint16_t LeadingRunsWithRoom(const Storage& storage, const RemapRow& row, std::uint32_t rowEnd,
                                  std::uint32_t room, std::uint32_t longest) {
    std::uint16_t count = 0;
    std::uint32_t start = row.firstPixel;
    for (std::uint32_t k = row.firstRun; k < row.firstRun + row.runs; ++k) {
        const std::uint32_t length = storage.runs[k] >> kRunLengthShift;
        if (start + room > rowEnd || length > longest) {
            break;
        }
        ++count;
        start += length;
    }
    return count;
}

// Output pixel (x, y) of a size x size picture uses table entry (x * step, y * step).
template <int kSize>
void Build(RunStorage<kSize>& storage) {
    const std::uint16_t* pTable = RemapTable();
    constexpr int kStep = kRemapTableSize / kSize;
    std::uint32_t runCount = 0;
    std::uint32_t sourceCount = 0;
    for (int y = 0; y < kSize; ++y) {
        const std::uint16_t* pRow = pTable + std::size_t(y) * kStep * kRemapTableSize;
        RemapRow row{0, runCount, 0, 0, 0, sourceCount, 0};
        std::uint32_t rowEnd = 0;  // one past the row's last disc pixel
        std::uint16_t previous = kNoSource;
        for (int x = 0; x < kSize; ++x) {
            const std::uint16_t entry = pRow[x * kStep];
            if (entry == kNoSource) {
                continue;
            }
            const std::uint32_t pixel = std::uint32_t(y) * kSize + std::uint32_t(x);
            if (row.runs == 0) {
                row.firstPixel = pixel;
            }
            if (row.runs > 0 && entry == previous) {
                storage.runs[runCount - 1] += 1u << kRunLengthShift;
            } else {
                storage.runs[runCount++] = entry | 1u << kRunLengthShift;
                ++row.runs;
            }
            previous = entry;
            rowEnd = pixel + 1;
            storage.sources[sourceCount++] = entry;
            ++row.pixels;
        }
        row.wideGreyRuns = LeadingRunsWithRoom(storage, row, rowEnd, kWideGreyPixels, kSize);
        row.wideColorRuns =
            LeadingRunsWithRoom(storage, row, rowEnd, kWideColorPixels, kWideColorRunLength);
        if (row.runs > 0) {
            storage.rows[storage.rowCount++] = row;
        }
    }
}

template <int kSize>
const RunStorage<kSize>& Runs() {
    static RunStorage<kSize> storage;
    static const bool built = (Build(storage), true);
    (void)built;
    return storage;
}

template <int kSize>
RemapRunList ListOf() {
    const auto& storage = Runs<kSize>();
    return {storage.rows.data(), storage.rowCount, storage.runs.data(), storage.sources.data()};
}

}  // namespace

RemapRunList RemapRunsFor(std::uint32_t pixelCount) {
    if (pixelCount == kZoomedPixelCount) {
        return ListOf<kZoomedSize>();
    }
    if (pixelCount == kNormalPixelCount) {
        return ListOf<kNormalSize>();
    }
    return {};
}

void PrepareRemapRuns() {
    RemapRunsFor(kNormalPixelCount);
    RemapRunsFor(kZoomedPixelCount);
}
