#include "python/ModuleSettings.h"

#include <pybind11/pybind11.h>

#include "export/RecordingSettings.h"
#include "sensor/Defaults.h"

namespace py = pybind11;

void CheckOffset(int offset) {
    if (offset < kLeastOffset || offset > kMostOffset) {
        throw py::value_error("offset must be from " + std::to_string(kLeastOffset) + " to " +
                              std::to_string(kMostOffset));
    }
}

void CheckGain(int gain) {
    if (gain < kLeastGain || gain > kMostGain) {
        throw py::value_error("gain must be from " + std::to_string(kLeastGain) + " to " +
                              std::to_string(kMostGain));
    }
}

RenderSettings SettingsFrom(const std::string& sensor, int size, int offset, int gain,
                            bool remapped) {
    if (sensor != "mono" && sensor != "color") {
        throw py::value_error("sensor must be 'mono' or 'color', not '" + sensor + "'");
    }
    if (size != kNormalSize && size != kZoomedSize) {
        throw py::value_error("size must be 256 or 512, not " + std::to_string(size));
    }
    CheckOffset(offset);
    CheckGain(gain);
    RenderSettings settings;
    settings.color = sensor == "color";
    settings.size = size;
    settings.offset = offset;
    settings.gain = gain;
    settings.remapped = remapped;
    return settings;
}

void CheckCalibrationFile(const std::string& path) {
    if (std::string error; !IsDarkImage(path, &error)) {
        throw py::value_error(error);
    }
}
