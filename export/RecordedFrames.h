#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sidecar/RecordingMetadata.h"

// A recording's frames by the index the recorder gave them. A frame's position in the file
// and its recorded index differ once a frame was dropped; names, text and ranges use the
// index. Without a sidecar that lists every frame, the index is the position.

// The recorded index of the frame at a position in the file.
std::uint64_t RecordedIndexAt(const RecordingMetadata& metadata, std::uint64_t position);
// Its time in microseconds since the start; -1 when the sidecar does not give it.
std::int64_t RecordedTimeAt(const RecordingMetadata& metadata, std::uint64_t position);

// The positions of the frames whose recorded index lies in first..last (both included; last
// may be UINT64_MAX for "to the end") in a file of fileFrames frames. False with *error
// giving the range the file holds when first..last reaches outside it or holds no frame.
bool SelectRecordedFrames(const RecordingMetadata& metadata, std::uint64_t fileFrames,
                          std::uint64_t first, std::uint64_t last, const std::string& input,
                          std::vector<std::uint64_t>* positions, std::string* error);

// True when the frames' times are as even as one frame rate can say: every step within a
// tenth of the mean step (a drop or a stall makes it uneven).
bool HasEvenRate(const RecordingMetadata& metadata);
