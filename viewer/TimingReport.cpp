#include "viewer/TimingReport.h"

#include <chrono>
#include <cstdio>

#include "platform/files/AtomicFile.h"

std::int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

FileResult WriteTimingReport(const std::string& path, int milliseconds, int frames) {
    char text[64];
    const int length =
        std::snprintf(text, sizeof text, "Time = %d    Frames = %d", milliseconds, frames);
    // Replaced whole, so a reader never sees half a line and a FIFO or device is refused.
    return WriteFileAtomically(path, text, std::size_t(length));
}
