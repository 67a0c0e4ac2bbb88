#include "viewer/ProcessorFactory.h"

#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"

std::unique_ptr<CFrameProcessor> MakeFrameProcessor(bool bColor) {
    if (bColor) {
        return std::make_unique<CColorProcessor>();
    }
    return std::make_unique<CMonoProcessor>();
}
