#include "tools/CliSettings.h"

#include <string>
#include <vector>

#include "sensor/Defaults.h"
#include "tools/CliOptions.h"

namespace {

// "-999 to 999 (default the recording's, or 80)": the range and default from the one place
// that holds them.
std::string RangeHelp(int least, int most, int fallback) {
    return std::to_string(least) + " to " + std::to_string(most) +
           " (default the recording's, or " + std::to_string(fallback) + ")";
}

}  // namespace

void AddRenderOptions(CLI::App& command, RenderOptions* options) {
    SettingsOverrides* given = &options->given;
    command
        .add_option_function<std::string>(
            "--sensor", [given](const std::string& sensor) { given->color = sensor == "color"; },
            "Sensor of the frames (default the recording's, mono, or the camera's)")
        ->check(CLI::IsMember(std::vector<std::string>{"mono", "color"}))
        ->option_text("mono|color");
    command
        .add_option_function<int>(
            "--size", [given](int size) { given->size = size; },
            "Side of the picture (default the recording's, or " + std::to_string(kDefaultSize) +
                ")")
        ->check(CLI::IsMember(std::vector<std::string>{"256", "512"}))
        ->option_text("256|512");
    command
        .add_option_function<std::string>(
            "--view", [given](const std::string& view) { given->remapped = view == "remapped"; },
            "Picture wanted (default the recording's, or remapped)")
        ->check(CLI::IsMember(std::vector<std::string>{"remapped", "unmapped"}))
        ->option_text("remapped|unmapped");
    command
        .add_option_function<int>(
            "--offset", [given](int offset) { given->offset = offset; },
            RangeHelp(kLeastOffset, kMostOffset, kDefaultOffset))
        ->transform(WholeNumber(kLeastOffset, kMostOffset))
        ->option_text("N");
    command
        .add_option_function<int>(
            "--gain", [given](int gain) { given->gain = gain; },
            RangeHelp(kLeastGain, kMostGain, kDefaultGain))
        ->transform(WholeNumber(kLeastGain, kMostGain))
        ->option_text("N");
    command
        .add_option_function<std::string>(
            "--calibration", [given](const std::string& path) { given->calibration = path; },
            std::string("Dark image (default the recording's, or ") + kDefaultCalibrationFile +
                "; none: no dark level)")
        ->option_text("FILE|none");
    command
        .add_option_function<std::string>(
            "--flat", [given](const std::string& path) { given->flat = path; },
            "Flat image from calibrate --flat, applied after the dark image (default the "
            "recording's, or none)")
        ->option_text("FILE|none");
}

void AddCameraOption(CLI::App& command, std::string* camera) {
    command.add_option("--camera", *camera, "Camera source (default PANDRY_CAMERA)")
        ->option_text("SOURCE");
}

void AddIgnoreSidecarOption(CLI::App& command, RenderOptions* options) {
    command.add_flag("--ignore-sidecar", options->given.ignoreSidecar,
                     "Set aside the recording's .json (even one that cannot be read): the "
                     "defaults and the options given instead, frame times unknown");
}

bool ReadRenderSettings(const RenderOptions& options, RenderSettings* settings,
                        std::string* error) {
    return SettingsFromOverrides(options.given, settings, error);
}
