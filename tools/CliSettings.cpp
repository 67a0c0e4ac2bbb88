#include "tools/CliSettings.h"

#include <vector>

#include "tools/CliOptions.h"

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
            "Side of the picture (default the recording's, or 256)")
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
            "-999 to 999 (default the recording's, or 80)")
        ->transform(WholeNumber(-999, 999))
        ->option_text("N");
    command
        .add_option_function<int>(
            "--gain", [given](int gain) { given->gain = gain; },
            "-99 to 999 (default the recording's, or 3)")
        ->transform(WholeNumber(-99, 999))
        ->option_text("N");
    command
        .add_option_function<std::string>(
            "--calibration", [given](const std::string& path) { given->calibration = path; },
            "Dark image (default the recording's, or calimage.data; none: no dark level)")
        ->option_text("FILE|none");
}

void AddCameraOption(CLI::App& command, std::string* camera) {
    command.add_option("--camera", *camera, "Camera source (default PANDRY_CAMERA)")
        ->option_text("SOURCE");
}

bool ReadRenderSettings(const RenderOptions& options, RenderSettings* settings,
                        std::string* error) {
    return SettingsFromOverrides(options.given, settings, error);
}
