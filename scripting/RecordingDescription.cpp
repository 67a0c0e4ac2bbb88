#include "scripting/RecordingDescription.h"

#include <filesystem>

RecordingMetadata DescribeRecording(const ProcessorSettings& settings, const std::string& source,
                                    const RecordingPlan& plan) {
    RecordingMetadata metadata;
    metadata.sensor = settings.color ? "color" : "mono";
    metadata.offset = settings.offset;
    metadata.gain = settings.gain;
    metadata.width = metadata.height = settings.size;
    metadata.view = settings.remapped ? "remapped" : "unmapped";
    metadata.source = source;
    metadata.everySeconds = plan.every;
    metadata.averagedFrames = plan.average;
    if (!settings.calibration.empty()) {
        metadata.calibrationPath = std::filesystem::absolute(settings.calibration).string();
        metadata.calibrationSha256 = settings.calibrationSha256;
    }
    return metadata;
}
