#include "tools/CliSettings.h"

#include <cstdint>
#include <vector>

#include "processing/CalibrationFile.h"

bool ReadRenderSettings(const CliArguments& arguments, RenderSettings* settings,
                        std::string* error) {
    std::string sensor = arguments.Get("sensor", settings->color ? "color" : "mono");
    if (sensor != "mono" && sensor != "color") {
        *error = "--sensor must be mono or color, not '" + sensor + "'";
        return false;
    }
    settings->color = sensor == "color";
    std::string size = arguments.Get("size", "256");
    if (size != "256" && size != "512") {
        *error = "--size must be 256 or 512, not '" + size + "'";
        return false;
    }
    settings->size = std::stoi(size);
    std::string view = arguments.Get("view", "remapped");
    if (view != "remapped" && view != "unmapped") {
        *error = "--view must be remapped or unmapped, not '" + view + "'";
        return false;
    }
    settings->remapped = view == "remapped";
    long number = 0;
    if (arguments.Has("offset")) {
        if (!ParseCliInteger(arguments.Get("offset", ""), -999, 999, &number)) {
            *error = "--offset must be a whole number from -999 to 999";
            return false;
        }
        settings->offset = int(number);
    }
    if (arguments.Has("gain")) {
        if (!ParseCliInteger(arguments.Get("gain", ""), -99, 999, &number)) {
            *error = "--gain must be a whole number from -99 to 999";
            return false;
        }
        settings->gain = int(number);
    }
    std::string calibration = arguments.Get("calibration", settings->calibration);
    if (calibration == "none") {
        settings->calibration.clear();  // a path nothing loads from: all-zero dark levels
    } else if (arguments.Has("calibration")) {
        // Read whole here, so a FIFO, a missing file or one of the wrong length is named
        // before any work rather than taken as an uncalibrated camera.
        std::vector<std::int32_t> darkLevels(kFrameBytes);
        if (LoadCalibrationFile(calibration.c_str(), darkLevels.data(), error) !=
            CalibrationLoad::kLoaded) {
            if (error->empty()) {
                *error =
                    "cannot read calibration file " + calibration + ": No such file or directory";
            }
            return false;
        }
        settings->calibration = calibration;
    }
    return true;
}
