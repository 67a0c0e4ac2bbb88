#pragma once

#include <cstdint>
#include <string>

// Milliseconds on a clock that never goes back.
std::int64_t MonotonicMilliseconds();

// Rewrites path with "Time = <ms>    Frames = <n>", no line end; false when it could not,
// with "cannot write PATH: reason" in *error.
bool WriteTimingReport(const std::string& path, int milliseconds, int frames,
                       std::string* error = nullptr);
