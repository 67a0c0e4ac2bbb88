#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "sidecar/RecordingMetadata.h"

// The sidecar's "gaze" list: [{"frame": N, "x": X, "y": Y, "field": F}, ...], present only
// for a recording whose source had a gaze.
void WriteGazeChanges(const std::vector<GazeChange>& changes, nlohmann::json* document);
// Throws nlohmann::json::exception for a list that is not one and SidecarRefusal for a value
// outside what the sources accept (the caller reports either).
void ReadGazeChanges(const nlohmann::json& document, std::vector<GazeChange>* changes);
