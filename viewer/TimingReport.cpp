#include "viewer/TimingReport.h"

#include <chrono>
#include <cstdio>

std::int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool WriteTimingReport(const std::string& path, int milliseconds, int frames) {
    std::FILE* pFile = std::fopen(path.c_str(), "w");
    if (pFile == nullptr) {
        return false;
    }
    const bool bWritten = std::fprintf(pFile, "Time = %d    Frames = %d", milliseconds, frames) > 0;
    return std::fclose(pFile) == 0 && bWritten;
}
