#pragma once

#include <cstdint>
#include <string>

#include "platform/files/FileResult.h"

// Milliseconds on a clock that never goes back.
std::int64_t MonotonicMilliseconds();

// Rewrites path with "Time = <ms>    Frames = <n>", no line end.
FileResult WriteTimingReport(const std::string& path, int milliseconds, int frames);
