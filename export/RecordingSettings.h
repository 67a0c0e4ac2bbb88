#pragma once

#include <optional>
#include <string>

#include "export/FrameRenderer.h"
#include "sidecar/RecordingMetadata.h"

// What the operator gave on the command line or in a script; each field given wins over the
// recording's sidecar (or the defaults) for that field alone.
struct SettingsOverrides {
    std::optional<bool> color;
    std::optional<int> size;  // 256 or 512
    std::optional<bool> remapped;
    std::optional<int> offset;
    std::optional<int> gain;
    std::optional<std::string> calibration;  // a dark image file, or "none"
    std::optional<std::string> flat;         // a flat image file, or "none"
    // Set the recording's sidecar aside, readable or not, and use the defaults under the
    // options: the operator's way past a damaged sidecar.
    bool ignoreSidecar = false;
};

// Whether the file the operator named is a dark image the processor can load; if not, false
// with *error naming the file and the reason, in the words every program uses.
bool IsDarkImage(const std::string& path, std::string* error);

// Takes the flat image at path into *settings (its path, SHA-256 and factors), or none for
// "none"; false with *error naming the file and the reason when it is no flat image.
bool UseFlatImage(const std::string& path, ProcessorSettings* settings, std::string* error);

// The settings without a recording: the defaults (the viewer's, with "calimage.data" when
// the current folder holds one) under the overrides. False with *error naming a calibration
// file given that is no dark image.
bool SettingsFromOverrides(const SettingsOverrides& overrides, RenderSettings* settings,
                           std::string* error);

// The settings a recording was made with, read from its sidecar (sensor, size, view, offset,
// gain, calibration, flat), under the overrides; without a sidecar, SettingsFromOverrides. The
// recorded calibration is its stored copy when present, else the recorded path when its
// SHA-256 still matches; when neither is there unchanged, false with *error naming it and the
// way out (--calibration FILE|none). A sidecar that is there but cannot be read (no regular
// file, too large, not JSON, values no program would write) is refused: false with *error
// naming it, the reason and the way out (--ignore-sidecar), since its defaults would make
// other pictures than the recording's. Without a sidecar, or with ignoreSidecar, the
// defaults under the overrides, and *warning says which. *metadata (may be null) receives
// the sidecar read, or has no frames without one.
bool SettingsForRecording(const std::string& recordingPath, const SettingsOverrides& overrides,
                          RenderSettings* settings, RecordingMetadata* metadata,
                          std::string* warning, std::string* error);

// The same from a sidecar already read; recordingPath places the stored copy.
bool SettingsFromSidecar(const RecordingMetadata& metadata, const std::string& recordingPath,
                         const SettingsOverrides& overrides, RenderSettings* settings,
                         std::string* error);
