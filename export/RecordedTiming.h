#pragma once

#include <cstdint>

#include "sidecar/RecordingMetadata.h"

// What a recording says of the frame at a position in its file: the camera's frame number
// and the time since the recording started, in microseconds, and what the run lost before it.
struct RecordedTiming {
    std::uint64_t index = 0;
    std::int64_t timeUs = -1;  // -1: unknown
    bool afterDrop = false;
    bool afterFailedRead = false;
};

// The sidecar's record of the frame at position; without one, the position itself and an
// unknown time.
RecordedTiming RecordedTimingOf(const RecordingMetadata& metadata, std::uint64_t position);
