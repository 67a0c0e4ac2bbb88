#include "export/RecordedTiming.h"

#include "export/RecordedFrames.h"

RecordedTiming RecordedTimingOf(const RecordingMetadata& metadata, std::uint64_t position) {
    return {RecordedIndexAt(metadata, position), RecordedTimeAt(metadata, position)};
}
