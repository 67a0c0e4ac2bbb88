#include "sidecar/RecordingMetadata.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <nlohmann/json.hpp>

#include "platform/files/BoundedRead.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/GazeChanges.h"
#include "sidecar/SidecarNumbers.h"
#include "sidecar/StreamedJson.h"

using nlohmann::json;

namespace {

constexpr const char* kSoftwareName = "pandry";

// The layout a frame's bytes follow, so that a reader needs nothing but the sidecar.
json Geometry() {
    return {{"rings", kRings},
            {"sectors", kSectors},
            {"fovea_rings", kFoveaRings},
            {"frame_bytes", kFrameBytes},
            {"sample_bytes", 1},
            {"index", "sector * 152 + ring"}};
}

// The latest frame time a sidecar may give: a year after the start.
constexpr std::int64_t kLatestTimeUs = std::int64_t{366} * 24 * 3600 * 1000000;

// What a recording plan may say (the recorder's own limits, with room to spare).
constexpr double kLongestPlanInterval = 366.0 * 24 * 3600;
constexpr std::int64_t kMostPlanAverage = 1000000;

int SmallNumber(const json& object, const char* key) {
    return int(WholeNumber(object.at(key), key, INT32_MIN, INT32_MAX));
}

int FormatVersionOf(const json& document) {
    const int version = SmallNumber(document, "format_version");
    if (version < 1 || version > RecordingMetadata::kFormatVersion) {
        throw SidecarRefusal{"format version " + std::to_string(version) + " is not supported"};
    }
    return version;
}

// One entry of the "frames" list, appended to *frames; its time may not go back from the
// frame before.
void ReadFrame(const json& entry, int formatVersion, std::vector<RecordedFrame>* frames) {
    // Version 1 kept whole milliseconds.
    const char* timeKey = formatVersion >= 2 ? "time_us" : "time_ms";
    const std::int64_t timeScale = formatVersion >= 2 ? 1 : 1000;
    const std::string name = "frame " + std::to_string(frames->size());
    RecordedFrame frame;
    frame.index = std::uint64_t(WholeNumber(entry.at("index"), name + ": index", 0, INT64_MAX));
    frame.timeUs =
        WholeNumber(entry.at(timeKey), name + ": " + timeKey, 0, kLatestTimeUs / timeScale) *
        timeScale;
    if (const std::int64_t previousUs = frames->empty() ? 0 : frames->back().timeUs;
        frame.timeUs < previousUs) {
        throw SidecarRefusal{name + ": time goes back from " + std::to_string(previousUs) + " to " +
                             std::to_string(frame.timeUs) + " us"};
    }
    frame.afterFailedRead = entry.value("after_failed_read", false);
    frame.afterDrop = entry.value("after_drop", false);
    frames->push_back(frame);
}

// The "frames" list in the layout json's dump(1) gives a value of the top-level object, written
// directly: a tree of a million entries would take seconds and a gigabyte.
std::string FramesText(const std::vector<RecordedFrame>& frames) {
    if (frames.empty()) {
        return "[]";
    }
    std::string text = "[\n";
    text.reserve(frames.size() * 112);
    const auto flag = [](bool value) { return value ? "true" : "false"; };
    for (const RecordedFrame& f : frames) {
        text += "  {\n   \"after_drop\": ";
        text += flag(f.afterDrop);
        text += ",\n   \"after_failed_read\": ";
        text += flag(f.afterFailedRead);
        text += ",\n   \"index\": ";
        text += std::to_string(f.index);
        text += ",\n   \"time_us\": ";
        text += std::to_string(f.timeUs);
        text += "\n  },\n";
    }
    text.replace(text.size() - 2, 2, "\n ]");
    return text;
}

}  // namespace

std::string SidecarPathFor(const std::string& recordingPath) {
    return recordingPath + ".json";
}

std::string SidecarText(const RecordingMetadata& m) {
    json calibration = nullptr;
    if (!m.calibrationPath.empty()) {
        calibration = {{"path", m.calibrationPath}, {"sha256", m.calibrationSha256}};
        if (!m.calibrationCopy.empty()) {
            calibration["copy"] = m.calibrationCopy;
        }
    }
    json document = {
        {"format_version", RecordingMetadata::kFormatVersion},
        {"software", {{"name", kSoftwareName}, {"version", PANDRY_VERSION}}},
        {"sensor", m.sensor},
        {"geometry", Geometry()},
        {"configuration",
         {{"median", m.median},
          {"offset", m.offset},
          {"aux1", m.aux1},
          {"aux2", m.aux2},
          {"gain", m.gain},
          {"width", m.width},
          {"height", m.height}}},
        {"view", m.view},
        {"auto_levels", m.autoLevels},
        {"source", m.source},
        {"calibration", calibration},
        {"start_time", m.startTime},
        {"frame_bytes", kFrameBytes},
        {"frame_count", m.frames.size()},
        {"dropped_frames", m.droppedFrames},
        {"failed_reads", m.failedReads},
        {"end", m.end},
        {"frames", json::array()},  // filled in below
    };
    WriteGazeChanges(m.gazeChanges, &document);
    if (m.everySeconds > 0 || m.averagedFrames > 1) {
        document["plan"] = {{"every_s", m.everySeconds}, {"average", m.averagedFrames}};
    }
    if (!m.flatPath.empty()) {
        document["flat"] = {{"path", m.flatPath}, {"sha256", m.flatSha256}};
    }
    std::string text = document.dump(1) + "\n";
    // Only a key of the top-level object starts a line with one space and a quote.
    const std::string emptyList = "\n \"frames\": []";
    text.replace(text.find(emptyList), emptyList.size(), "\n \"frames\": " + FramesText(m.frames));
    return text;
}

bool ParseSidecar(const std::string& text, RecordingMetadata* metadata, std::string* error) {
    // Every lookup below may meet a wrong type in a damaged file: report, never throw.
    try {
        RecordingMetadata m;
        // The frames are read as they are parsed; those listed before the format version
        // (not by our writers, whose keys come sorted) wait until it is known.
        json document;
        json waiting = json::array();
        const auto readFrame = [&](const json& entry) {
            if (document.contains("format_version")) {
                ReadFrame(entry, FormatVersionOf(document), &m.frames);
            } else {
                waiting.push_back(entry);
            }
        };
        if (!ParseWithStreamedList(text, "frames", readFrame, &document, error)) {
            return false;
        }
        if (!document.is_object()) {
            *error = "not a JSON object";
            return false;
        }
        m.formatVersion = FormatVersionOf(document);
        for (const json& entry : waiting) {
            ReadFrame(entry, m.formatVersion, &m.frames);
        }
        if (!document.at("frames").is_array()) {
            throw SidecarRefusal{"frames is not a list"};
        }
        m.sensor = document.at("sensor").get<std::string>();
        if (m.sensor != "mono" && m.sensor != "color") {
            *error = "unknown sensor '" + m.sensor + "'";
            return false;
        }
        const json& c = document.at("configuration");
        m.median = SmallNumber(c, "median");
        // Values the programs refuse from the operator are no settings a recording was made
        // with: every reader (replay, export, Python) refuses them alike.
        m.offset = int(WholeNumber(c.at("offset"), "offset", kLeastOffset, kMostOffset));
        m.aux1 = SmallNumber(c, "aux1");
        m.aux2 = SmallNumber(c, "aux2");
        m.gain = int(WholeNumber(c.at("gain"), "gain", kLeastGain, kMostGain));
        m.width = SmallNumber(c, "width");
        m.height = SmallNumber(c, "height");
        if (m.width != m.height || (m.width != kNormalSize && m.width != kZoomedSize)) {
            throw SidecarRefusal{"a picture of " + std::to_string(m.width) + " x " +
                                 std::to_string(m.height) + " is neither 256 x 256 nor 512 x 512"};
        }
        m.source = document.value("source", "");
        const json& calibration = document.value("calibration", json());
        if (calibration.is_object()) {
            m.calibrationPath = calibration.at("path").get<std::string>();
            m.calibrationSha256 = calibration.value("sha256", "");
            m.calibrationCopy = calibration.value("copy", "");
            // A name beside the recording, as the writers give it: never a way out of its folder.
            if (m.calibrationCopy.find('/') != std::string::npos || m.calibrationCopy == "." ||
                m.calibrationCopy == "..") {
                throw SidecarRefusal{"the calibration copy '" + m.calibrationCopy +
                                     "' is not a file name beside the recording"};
            }
        }
        if (const json& flat = document.value("flat", json()); !flat.is_null()) {
            m.flatPath = flat.at("path").get<std::string>();
            m.flatSha256 = flat.value("sha256", "");
        }
        m.startTime = document.value("start_time", "");
        m.droppedFrames = document.value("dropped_frames", std::uint64_t{0});
        m.failedReads = document.value("failed_reads", std::uint64_t{0});
        if (m.formatVersion >= 2) {
            const json& software = document.at("software");
            m.softwareName = software.at("name").get<std::string>();
            m.softwareVersion = software.at("version").get<std::string>();
            m.view = document.at("view").get<std::string>();
            if (m.view != "remapped" && m.view != "unmapped") {
                *error = "unknown view '" + m.view + "'";
                return false;
            }
            m.autoLevels = document.at("auto_levels").get<bool>();
            m.end = document.at("end").get<std::string>();
        }
        ReadGazeChanges(document, &m.gazeChanges);
        if (const json& plan = document.value("plan", json()); !plan.is_null()) {
            m.everySeconds =
                RealNumber(plan.at("every_s"), "plan: every_s", 0, kLongestPlanInterval);
            m.averagedFrames =
                unsigned(WholeNumber(plan.at("average"), "plan: average", 1, kMostPlanAverage));
        }
        if (document.at("frame_count").get<std::uint64_t>() != m.frames.size()) {
            *error = "frame_count does not match the frames listed";
            return false;
        }
        *metadata = std::move(m);
        return true;
    } catch (const json::exception& e) {
        *error = std::string("damaged: ") + e.what();
        return false;
    } catch (const SidecarRefusal& refused) {
        *error = refused.reason;
        return false;
    }
}

std::size_t SidecarLimitFor(std::uint64_t recordingBytes) {
    const std::uint64_t frames = recordingBytes / kFrameBytes;
    const std::uint64_t ceilingFrames = kSidecarCeilingBytes / kSidecarBytesPerFrame;
    return std::min(kSidecarCeilingBytes,
                    kLargestSidecarBytes +
                        std::size_t(std::min(frames, ceilingFrames)) * kSidecarBytesPerFrame);
}

FileResult ReadSidecarOf(const std::string& recordingPath, RecordingMetadata* metadata) {
    const std::string path = SidecarPathFor(recordingPath);
    std::string text;
    struct stat recording {};
    const std::uint64_t recordingBytes =
        ::stat(recordingPath.c_str(), &recording) == 0 && S_ISREG(recording.st_mode)
            ? std::uint64_t(recording.st_size)
            : 0;
    if (FileResult read = ReadSmallRegularFile(path, SidecarLimitFor(recordingBytes), &text);
        !read) {
        return read;
    }
    if (std::string problem; !ParseSidecar(text, metadata, &problem)) {
        return FileResult::Failure(path + ": " + problem);
    }
    return {};
}

std::string IsoTimeNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto micros = duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(micros));
    return text;
}

std::int64_t MicrosecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}
