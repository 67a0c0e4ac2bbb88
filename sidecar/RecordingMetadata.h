#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/FileResult.h"
#include "sensor/Defaults.h"

// One recorded frame as the sidecar describes it.
struct RecordedFrame {
    std::uint64_t index = 0;       // the camera's frame number since recording started
    std::int64_t timeUs = 0;       // microseconds since the start, from a monotonic clock
    bool afterFailedRead = false;  // a read failed between this frame and the one before
    bool afterDrop = false;        // frames were dropped (not written) just before this one
};

// Where a source's gaze was from this recorded frame on (sources with a gaze), as fractions
// of its picture; a recording lists its first frame and every frame in which it moved.
struct GazeChange {
    // The fields the sources accept, as fractions of the picture's shorter side.
    static constexpr double kLeastField = 0.05;
    static constexpr double kMostField = 4.0;

    std::uint64_t frame = 0;  // RecordedFrame::index
    double x = 0.5;
    double y = 0.5;
    double field = 1.0;

    bool operator==(const GazeChange&) const = default;
};
// Adds the gaze of frame `now.frame` to the list when it differs from the last one listed.
void AppendGazeChange(std::vector<GazeChange>* changes, const GazeChange& now);

// Everything a recording's sidecar holds: what recorded it, with which settings and
// calibration, when, and each frame's timing.
struct RecordingMetadata {
    // 2: microsecond times, the software, geometry, view, Auto Levels flag and how it ended.
    static constexpr int kFormatVersion = 2;

    int formatVersion = kFormatVersion;  // as read; always written as kFormatVersion
    // What wrote it, as read; SidecarText always names this program.
    std::string softwareName;
    std::string softwareVersion;
    std::string sensor = "mono";  // "mono" or "color"
    // The seven configuration values, in the order the processor takes them.
    int median = kDefaultMedian;
    int offset = kDefaultOffset;
    int aux1 = kDefaultAux;
    int aux2 = kDefaultAux;
    int gain = kDefaultGain;
    int width = kDefaultSize;
    int height = kDefaultSize;
    std::string view = "remapped";  // "remapped" or "unmapped"
    bool autoLevels = false;        // offset and gain were chosen by Auto Levels
    std::string source;
    std::string calibrationPath;    // empty: no calibration in force
    std::string calibrationSha256;  // of the calibration file's bytes, lower-case hex
    std::string calibrationCopy;    // a copy stored beside the recording, if any
    // "flat", written only when one was in force: the flat image's path and its SHA-256.
    std::string flatPath;
    std::string flatSha256;
    std::string startTime;  // ISO 8601, UTC, microseconds
    std::uint64_t droppedFrames = 0;
    std::uint64_t failedReads = 0;
    std::vector<RecordedFrame> frames;
    // How the run ended: "complete", "interrupted", "camera failed after N frames: ...",
    // "disk full" ...; empty in a version-1 sidecar.
    std::string end;
    std::vector<GazeChange> gazeChanges;  // "gaze", written only when there are any
    // "plan", written only when used: one frame stored every so many seconds (0: each frame
    // read), each the mean of so many frames read in a row; a frame's time is its first one's.
    double everySeconds = 0;
    unsigned averagedFrames = 1;

    bool IsColor() const { return sensor == "color"; }
};

// "run.raw" -> "run.raw.json".
std::string SidecarPathFor(const std::string& recordingPath);

// The sidecar's text (JSON, indented).
std::string SidecarText(const RecordingMetadata& metadata);
// False with a one-line reason in *error for text that is not a sidecar we can read.
bool ParseSidecar(const std::string& text, RecordingMetadata* metadata, std::string* error);
// A sidecar is read whole: anything larger than its recording can need is refused rather
// than filling the memory. It needs the settings and each frame's entry (and a gaze change
// at most as often), so the limit grows with the recording's frames up to a hard ceiling.
inline constexpr std::size_t kLargestSidecarBytes = std::size_t(64) << 20;
inline constexpr std::size_t kSidecarBytesPerFrame = 512;
inline constexpr std::size_t kSidecarCeilingBytes = std::size_t(1) << 30;
// The limit for a recording of that many bytes.
std::size_t SidecarLimitFor(std::uint64_t recordingBytes);

// Reads and parses the sidecar of a recording (a regular file only); the result names the
// file when it is missing, unreadable or damaged.
FileResult ReadSidecarOf(const std::string& recordingPath, RecordingMetadata* metadata);

// The current time as ISO 8601 UTC with microseconds ("2026-12-08T11:44:10.123456Z").
std::string IsoTimeNow();

// Microseconds from start to now on the monotonic clock, as frames' times are kept.
std::int64_t MicrosecondsSince(std::chrono::steady_clock::time_point start);
