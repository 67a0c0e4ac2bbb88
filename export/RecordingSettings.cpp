#include "export/RecordingSettings.h"

#include <filesystem>
#include <vector>

#include "processing/CalibrationFile.h"
#include "processing/FlatField.h"
#include "recording/FileDigest.h"

namespace {

constexpr const char* kDefaultCalibration = "calimage.data";
constexpr const char* kWayOut =
    "; give --calibration FILE to use another dark image, or "
    "--calibration none";

bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

// A link that leads nowhere is a sidecar that cannot be read, not a missing one.
bool IsThere(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

constexpr const char* kSidecarWayOut =
    " (--ignore-sidecar uses the defaults and the options given instead)";

// Checks a dark image named by the operator before any work, and takes its digest for the
// pictures' text.
bool UseGivenCalibration(const std::string& path, RenderSettings* settings, std::string* error) {
    if (path == "none") {
        settings->calibration.clear();
        settings->calibrationSha256.clear();
        return true;
    }
    if (!IsDarkImage(path, error)) {
        return false;
    }
    settings->calibration = path;
    if (const FileResult digested = Sha256OfFile(path, &settings->calibrationSha256); !digested) {
        *error = digested.Error();
        return false;
    }
    return true;
}

// The recorded dark image: the stored copy, else the recorded file unchanged.
bool UseRecordedCalibration(const RecordingMetadata& metadata, const std::string& recordingPath,
                            RenderSettings* settings, std::string* error) {
    settings->calibration.clear();
    settings->calibrationSha256.clear();
    if (metadata.calibrationPath.empty()) {
        return true;  // recorded without one
    }
    std::vector<std::string> candidates;
    if (!metadata.calibrationCopy.empty()) {
        candidates.push_back(
            (std::filesystem::path(recordingPath).parent_path() / metadata.calibrationCopy)
                .string());
    }
    candidates.push_back(metadata.calibrationPath);
    std::string changed;
    for (const std::string& candidate : candidates) {
        if (!Exists(candidate)) {
            continue;
        }
        std::string digest;
        if (const FileResult digested = Sha256OfFile(candidate, &digest); !digested) {
            *error = digested.Error();  // a FIFO or device as much as an unreadable file
            return false;
        }
        if (metadata.calibrationSha256.empty() || digest == metadata.calibrationSha256) {
            settings->calibration = candidate;
            settings->calibrationSha256 = digest;
            return true;
        }
        changed = candidate;
    }
    if (!changed.empty()) {
        *error = "the calibration " + changed + " has changed since " + recordingPath +
                 " was recorded (its SHA-256 differs)" + kWayOut;
    } else {
        *error = "the calibration " + recordingPath + " was recorded with, " +
                 metadata.calibrationPath + ", is missing" + kWayOut;
    }
    return false;
}

// The recorded flat image, unchanged since it was recorded.
bool UseRecordedFlat(const RecordingMetadata& metadata, const std::string& recordingPath,
                     RenderSettings* settings, std::string* error) {
    if (metadata.flatPath.empty()) {
        return true;
    }
    constexpr const char* kFlatWayOut =
        "; give --flat FILE to use another flat image, or --flat none";
    if (!Exists(metadata.flatPath)) {
        *error = "the flat image " + recordingPath + " was recorded with, " + metadata.flatPath +
                 ", is missing" + kFlatWayOut;
        return false;
    }
    if (!UseFlatImage(metadata.flatPath, settings, error)) {
        return false;
    }
    if (!metadata.flatSha256.empty() && settings->flatSha256 != metadata.flatSha256) {
        *error = "the flat image " + metadata.flatPath + " has changed since " + recordingPath +
                 " was recorded (its SHA-256 differs)" + kFlatWayOut;
        return false;
    }
    return true;
}

void ApplyOverrides(const SettingsOverrides& overrides, RenderSettings* settings) {
    settings->color = overrides.color.value_or(settings->color);
    settings->size = overrides.size.value_or(settings->size);
    settings->remapped = overrides.remapped.value_or(settings->remapped);
    settings->offset = overrides.offset.value_or(settings->offset);
    settings->gain = overrides.gain.value_or(settings->gain);
}

}  // namespace

bool IsDarkImage(const std::string& path, std::string* error) {
    std::vector<std::int32_t> darkLevels(kFrameBytes);
    const FileResult loaded = LoadCalibrationFile(path, darkLevels.data());
    if (!loaded) {
        *error = CalibrationIsMissing(loaded)
                     ? "cannot read calibration file " + path + ": No such file or directory"
                     : loaded.Error();
    }
    return bool(loaded);
}

bool UseFlatImage(const std::string& path, ProcessorSettings* settings, std::string* error) {
    settings->flat.clear();
    settings->flatSha256.clear();
    settings->flatFactors.reset();
    if (path == "none") {
        return true;
    }
    FlatImage flat;
    if (const FileResult loaded = LoadFlatFile(path, &flat); !loaded) {
        *error = loaded.Error();
        return false;
    }
    if (const FileResult digested = Sha256OfFile(path, &settings->flatSha256); !digested) {
        *error = digested.Error();
        return false;
    }
    settings->flat = path;
    settings->flatFactors = std::make_shared<const std::vector<std::int32_t>>(FlatFactors(flat));
    return true;
}

bool SettingsFromOverrides(const SettingsOverrides& overrides, RenderSettings* settings,
                           std::string* error) {
    *settings = RenderSettings{};
    ApplyOverrides(overrides, settings);
    if (overrides.flat && !UseFlatImage(*overrides.flat, settings, error)) {
        return false;
    }
    if (overrides.calibration) {
        return UseGivenCalibration(*overrides.calibration, settings, error);
    }
    // The default dark image when the folder holds one; the text then says what was applied.
    settings->calibration.clear();
    if (Exists(kDefaultCalibration)) {
        return UseGivenCalibration(kDefaultCalibration, settings, error);
    }
    return true;
}

bool SettingsFromSidecar(const RecordingMetadata& metadata, const std::string& recordingPath,
                         const SettingsOverrides& overrides, RenderSettings* settings,
                         std::string* error) {
    *settings = RenderSettings{};
    // The sidecar's reader has refused sizes and levels no program takes.
    settings->color = metadata.IsColor();
    settings->size = metadata.width;
    settings->remapped = metadata.view != "unmapped";
    settings->offset = metadata.offset;
    settings->gain = metadata.gain;
    ApplyOverrides(overrides, settings);
    const bool flatTaken = overrides.flat
                               ? UseFlatImage(*overrides.flat, settings, error)
                               : UseRecordedFlat(metadata, recordingPath, settings, error);
    if (!flatTaken) {
        return false;
    }
    if (overrides.calibration) {
        return UseGivenCalibration(*overrides.calibration, settings, error);
    }
    return UseRecordedCalibration(metadata, recordingPath, settings, error);
}

bool SettingsForRecording(const std::string& recordingPath, const SettingsOverrides& overrides,
                          RenderSettings* settings, RecordingMetadata* metadata,
                          std::string* warning, std::string* error) {
    RecordingMetadata read;
    if (metadata != nullptr) {
        *metadata = read;
    }
    const std::string sidecarPath = SidecarPathFor(recordingPath);
    if (!IsThere(sidecarPath)) {
        return SettingsFromOverrides(overrides, settings, error);
    }
    if (overrides.ignoreSidecar) {
        *warning = sidecarPath + " ignored (settings from the options, frame times unknown)";
        const bool made = SettingsFromOverrides(overrides, settings, error);
        settings->sidecarIgnored = true;
        return made;
    }
    if (const FileResult sidecar = ReadSidecarOf(recordingPath, &read); !sidecar) {
        *error = sidecar.Error() + kSidecarWayOut;
        return false;
    }
    if (metadata != nullptr) {
        *metadata = read;
    }
    return SettingsFromSidecar(read, recordingPath, overrides, settings, error);
}
