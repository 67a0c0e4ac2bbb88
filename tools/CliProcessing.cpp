#include "tools/CliProcessing.h"

#include <vector>

#include "camera/ReplaySource.h"

std::unique_ptr<CFrameProcessor> ProcessRecording(const RenderSettings& settings,
                                                  const std::string& input, std::string* error) {
    std::string cutOff;  // whole frames are processed; the caller tells of the cut
    std::uint64_t frames = 0;
    if (const FileResult counted = CReplaySource::CountWholeFrames(input, &frames, &cutOff);
        !counted) {
        *error = counted.Error();
        return nullptr;
    }
    CReplaySource recording(input, false);
    std::unique_ptr<CFrameProcessor> processor = MakeConfiguredProcessor(settings);
    std::vector<std::uint8_t> raw(kFrameBytes);
    for (std::uint64_t k = 0; k < frames; ++k) {
        if (!recording.NextFrame(raw.data()) || !processor->TakeFrame(raw.data())) {
            *error = "cannot read frame " + std::to_string(k + 1) + " of " + input;
            return nullptr;
        }
        if (settings.remapped) {
            processor->Remap();
        }
    }
    return processor;
}
