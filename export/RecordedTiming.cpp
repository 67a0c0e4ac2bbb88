#include "export/RecordedTiming.h"

RecordedTiming RecordedTimingOf(const RecordingMetadata& metadata, std::uint64_t position) {
    if (position >= metadata.frames.size()) {
        return {position, -1};
    }
    const RecordedFrame& frame = metadata.frames[position];
    return {frame.index, frame.timeMs * 1000};
}
