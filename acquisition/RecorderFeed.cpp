#include "acquisition/RecorderFeed.h"

#include "processing/FrameProcessor.h"
#include "recording/Recorder.h"

void CRecorderFeed::TakeFrame(const AcquiredFrame&, CFrameProcessor& processor) {
    m_recorder.Push(processor.RawFrame());
}
