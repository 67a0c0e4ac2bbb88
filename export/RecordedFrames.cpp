#include "export/RecordedFrames.h"

#include <cstdlib>
#include <limits>

namespace {

constexpr std::uint64_t kToTheEnd = std::numeric_limits<std::uint64_t>::max();

std::string RangeText(std::uint64_t first, std::uint64_t last) {
    return std::to_string(first) + "-" + (last == kToTheEnd ? "" : std::to_string(last));
}

}  // namespace

std::uint64_t RecordedIndexAt(const RecordingMetadata& metadata, std::uint64_t position) {
    return position < metadata.frames.size() ? metadata.frames[position].index : position;
}

std::int64_t RecordedTimeAt(const RecordingMetadata& metadata, std::uint64_t position) {
    return position < metadata.frames.size() ? metadata.frames[position].timeUs : -1;
}

bool SelectRecordedFrames(const RecordingMetadata& metadata, std::uint64_t fileFrames,
                          std::uint64_t first, std::uint64_t last, const std::string& input,
                          std::vector<std::uint64_t>* positions, std::string* error) {
    positions->clear();
    const std::uint64_t lowest = RecordedIndexAt(metadata, 0);
    const std::uint64_t highest = RecordedIndexAt(metadata, fileFrames - 1);
    const std::string holds =
        input + ", which holds frames " + std::to_string(lowest) + "-" + std::to_string(highest);
    if (first > last || first < lowest || first > highest ||
        (last != kToTheEnd && last > highest)) {
        *error = "frames " + RangeText(first, last) + " are not in " + holds;
        return false;
    }
    for (std::uint64_t position = 0; position < fileFrames; ++position) {
        const std::uint64_t index = RecordedIndexAt(metadata, position);
        if (index >= first && index <= last) {
            positions->push_back(position);
        }
    }
    if (positions->empty()) {
        *error = "no frame of " + RangeText(first, last) + " was recorded (they were dropped) in " +
                 holds;
        return false;
    }
    return true;
}

bool HasEvenRate(const RecordingMetadata& metadata) {
    const auto& frames = metadata.frames;
    if (frames.size() < 3) {
        return true;
    }
    const double mean =
        double(frames.back().timeUs - frames.front().timeUs) / double(frames.size() - 1);
    for (std::size_t k = 1; k < frames.size(); ++k) {
        const double step = double(frames[k].timeUs - frames[k - 1].timeUs);
        if (std::abs(step - mean) > mean / 10 || frames[k].index != frames[k - 1].index + 1) {
            return false;
        }
    }
    return true;
}
