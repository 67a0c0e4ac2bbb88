#include "tools/CliSettings.h"

#include <cstdint>
#include <vector>

#include "processing/CalibrationFile.h"
#include "tools/CliOptions.h"

void AddRenderOptions(CLI::App& command, RenderOptions* options) {
    command
        .add_option("--sensor", options->sensor,
                    "Sensor of the frames (default mono, or the camera's)")
        ->check(CLI::IsMember(std::vector<std::string>{"mono", "color"}))
        ->option_text("mono|color");
    command.add_option("--size", options->settings.size, "Side of the picture (default 256)")
        ->check(CLI::IsMember(std::vector<std::string>{"256", "512"}))
        ->option_text("256|512");
    command.add_option("--view", options->view, "Picture wanted (default remapped)")
        ->check(CLI::IsMember(std::vector<std::string>{"remapped", "unmapped"}))
        ->option_text("remapped|unmapped");
    command.add_option("--offset", options->settings.offset, "-999 to 999 (default 80)")
        ->transform(WholeNumber(-999, 999))
        ->option_text("N");
    command.add_option("--gain", options->settings.gain, "-99 to 999 (default 3)")
        ->transform(WholeNumber(-99, 999))
        ->option_text("N");
    command
        .add_option_function<std::string>(
            "--calibration",
            [options](const std::string& path) {
                options->calibration = path;
                options->bCalibrationGiven = true;
            },
            "Dark image (default calimage.data; none: no dark level)")
        ->option_text("FILE|none");
}

void AddCameraOption(CLI::App& command, std::string* camera) {
    command.add_option("--camera", *camera, "Camera source (default PANDRY_CAMERA)")
        ->option_text("SOURCE");
}

bool ReadRenderSettings(const RenderOptions& options, RenderSettings* settings,
                        std::string* error) {
    *settings = options.settings;
    settings->color = options.sensor == "color";
    settings->remapped = options.view == "remapped";
    if (!options.bCalibrationGiven) {
        return true;
    }
    if (options.calibration == "none") {
        settings->calibration.clear();  // a path nothing loads from: all-zero dark levels
        return true;
    }
    // Read whole here, so a FIFO, a missing file or one of the wrong length is named before
    // any work rather than taken as an uncalibrated camera.
    std::vector<std::int32_t> darkLevels(kFrameBytes);
    if (LoadCalibrationFile(options.calibration.c_str(), darkLevels.data(), error) !=
        CalibrationLoad::kLoaded) {
        if (error->empty()) {
            *error = "cannot read calibration file " + options.calibration +
                     ": No such file or directory";
        }
        return false;
    }
    settings->calibration = options.calibration;
    return true;
}
