#pragma once

#include <cstddef>
#include <cstdint>

// The remap walk of one picture size, taken apart once into runs: consecutive output
// pixels of a row that show the same frame sample. Pixels without a source belong to no
// run, so a remap never writes them.
struct RemapRun {
    std::uint32_t destination;  // first output pixel
    std::uint16_t source;       // frame index
    std::uint16_t length;       // pixels, 1..512
    bool wideStoreSafe;         // the 8 pixels from `destination` end inside the row's disc
};

struct RemapRunList {
    const RemapRun* pRuns = nullptr;
    std::size_t count = 0;
};

// The runs for a 256 x 256 or 512 x 512 picture (by pixel count); empty for any other.
RemapRunList RemapRunsFor(std::uint32_t pixelCount);
// Builds both lists ahead of the first frame (they use static storage, no heap).
void PrepareRemapRuns();
