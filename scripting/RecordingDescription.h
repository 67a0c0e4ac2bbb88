#pragma once

#include <string>

#include "processing/ProcessorFactory.h"
#include "recording/RecordingPlan.h"
#include "sidecar/RecordingMetadata.h"

// The head of a recording's sidecar, everything known before its first frame, the same for
// pandry-cli record and a script: the settings the frames are to be shown with, the source
// they come from and the plan that picks them.
RecordingMetadata DescribeRecording(const ProcessorSettings& settings, const std::string& source,
                                    const RecordingPlan& plan);
