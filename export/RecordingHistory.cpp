#include "export/RecordingHistory.h"

NamedValues RunHistory(const RecordingMetadata& metadata, bool sidecarRead) {
    NamedValues history;
    if (sidecarRead) {
        history = {
            {"recording_start", metadata.startTime},
            {"recording_end", metadata.end.empty() ? "unknown" : metadata.end},
            {"dropped_frames", std::to_string(metadata.droppedFrames)},
            {"failed_reads", std::to_string(metadata.failedReads)},
            {"source", metadata.source},
            {"recorded_with", metadata.softwareName.empty()
                                  ? "unknown"
                                  : metadata.softwareName + " " + metadata.softwareVersion},
        };
    }
    history.emplace_back("exported_with", std::string("pandry ") + PANDRY_VERSION);
    return history;
}

std::string JoinedPairs(const NamedValues& pairs) {
    std::string text;
    for (const auto& [key, value] : pairs) {
        text += (text.empty() ? "" : " ") + key + "=" + value;
    }
    return text;
}
