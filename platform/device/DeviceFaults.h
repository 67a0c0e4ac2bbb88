#pragma once

#include <cstddef>
#include <cstdint>

// How an in-process device misbehaves, in the manner of a kernel's virtual test devices.
// Frame counts are of whole frames delivered since the device was opened.
struct DeviceFaults {
    std::uint32_t probeCount = 2;        // byte count the 2-byte probe reports (0 or 5: no camera)
    std::int64_t failAfterFrames = -1;   // every read after this many frames fails (disconnect)
    std::int64_t stallAfterFrames = -1;  // every read after this many frames never answers
    std::int64_t corruptEvery = 0;       // every n-th frame arrives with a garbled band
    std::size_t chunkBytes = 0;          // at most this many bytes per read (0: as asked)
    double framesPerSecond = 0;          // pace of frame delivery (0: as fast as asked)
};
