#include "processing/ProcessorFactory.h"

#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"

std::vector<std::pair<std::string, std::string>> ProcessorSettings::Pairs() const {
    std::vector<std::pair<std::string, std::string>> pairs = {
        {"sensor", color ? "color" : "mono"},
        {"size", std::to_string(size)},
        {"view", remapped ? "remapped" : "unmapped"},
        {"offset", std::to_string(offset)},
        {"gain", std::to_string(gain)},
        {"calibration", calibration.empty() ? "none" : calibration}};
    if (!calibration.empty() && !calibrationSha256.empty()) {
        pairs.emplace_back("calibration_sha256", calibrationSha256.substr(0, 12));
    }
    if (!flat.empty()) {
        pairs.emplace_back("flat", flat);
        if (!flatSha256.empty()) {
            pairs.emplace_back("flat_sha256", flatSha256.substr(0, 12));
        }
    }
    return pairs;
}

std::unique_ptr<CFrameProcessor> MakeFrameProcessor(bool bColor) {
    if (bColor) {
        return std::make_unique<CColorProcessor>();
    }
    return std::make_unique<CMonoProcessor>();
}

std::unique_ptr<CFrameProcessor> MakeConfiguredProcessor(const ProcessorSettings& settings) {
    std::unique_ptr<CFrameProcessor> processor = MakeFrameProcessor(settings.color);
    processor->SetCalibrationPath(settings.calibration);
    processor->SetFlatFactors(settings.flatFactors);
    processor->Configure(kDefaultMedian, settings.offset, kDefaultAux, kDefaultAux, settings.gain,
                         settings.size, settings.size);
    return processor;
}
