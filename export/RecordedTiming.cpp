#include "export/RecordedTiming.h"

#include "export/RecordedFrames.h"

RecordedTiming RecordedTimingOf(const RecordingMetadata& metadata, std::uint64_t position) {
    RecordedTiming timing{RecordedIndexAt(metadata, position), RecordedTimeAt(metadata, position)};
    if (position < metadata.frames.size()) {
        timing.afterDrop = metadata.frames[position].afterDrop;
        timing.afterFailedRead = metadata.frames[position].afterFailedRead;
    }
    return timing;
}
