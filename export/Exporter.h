#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "export/FrameRenderer.h"

// What to export: a range of a recording's frames, processed with the given settings, to
// OUTPUT, whose extension picks the format: a picture sequence (.png, .tif, .tiff, .bmp, .pgm,
// .ppm, named by a pattern with one frame number), a YUV4MPEG2 stream (.y4m, or "-" for
// standard output) or a video (.mp4, .mkv, through ffmpeg, each frame at its recorded
// time).
struct ExportRequest {
    std::string input;
    std::string output;
    RenderSettings render;
    // Recorded frame indices (the sidecar's; positions without one), both ends included.
    std::uint64_t first = 0;
    std::uint64_t last = std::numeric_limits<std::uint64_t>::max();
    unsigned jobs = 0;       // frames processed at once; 0: one per core, up to 16
    bool bLossless = false;  // video as FFV1 in Matroska, equal to the pictures
};

// Called after each frame with the frames done and the frames to do.
using ExportProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Streams the frames through the processor into the output, several at once, in order; nothing the
// export created is left behind when it fails or is interrupted (the flag is polled between
// frames). False with *error (one line naming the file) otherwise; *warning tells of a cut-off
// recording or an unreadable sidecar.
bool RunExport(const ExportRequest& request, const ExportProgress& progress,
               const std::atomic<bool>& interrupted, std::string* warning, std::string* error);

// False with *error when OUTPUT's extension names no format export writes, no format that
// holds lossless video when lossless is asked for, or a format that does not take values.
bool CheckExportOutput(const std::string& output, bool lossless, SampleValues values,
                       std::string* error);

// The formats export writes and how a name picks one, for help and error texts.
std::string ExportFormatsText();
