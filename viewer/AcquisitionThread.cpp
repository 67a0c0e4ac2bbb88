#include "viewer/AcquisitionThread.h"

#include <chrono>

#include "statistics/StageTimes.h"
#include "viewer/AcquisitionHost.h"
#include "viewer/SharedState.h"
#include "viewer/TimingReport.h"

namespace {

std::int64_t Nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void AcquisitionThread(CAcquisitionHost* pHost) {
    pHost->BeginRun(g_pProcessor.load());
    CStageTimes& times = pHost->RunStageTimes();
    const std::int64_t start = pHost->NowMilliseconds();
    int frames = 0;
    bool bLastDrawn = true;
    while (!pHost->StopRequested()) {
        ++frames;
        CFrameProcessor* pProcessor = g_pProcessor.load();
        // Taken before calibrating, so a request made meanwhile is served next pass.
        if (g_bCalibrate.exchange(0) != 0) {
            pHost->ServeCalibration(*pProcessor);
        }
        const std::int64_t acquireStart = Nanoseconds();
        if (pProcessor->Acquire() == 0) {
            if (pHost->StopRequested()) {
                --frames;  // a stop cancelled this pass's read: it ends as a stop
                break;
            }
            pHost->FailRun();  // no frame: the window is left Idle, without a report
            return;
        }
        const std::int64_t acquired = Nanoseconds();
        const std::int64_t read = pHost->LastReadNanoseconds();
        times.Record(FrameStage::kRead, read);
        times.Record(FrameStage::kCorrect, acquired - acquireStart - read);
        pHost->HoldFrame(*pProcessor);
        if (pHost->ServeAutoLevels(*pProcessor)) {
            pHost->CountPasses(frames);
            continue;  // corrected with the old levels: the next frame shows the new ones
        }
        std::int64_t converted = 0;
        if (pHost->RemapWanted()) {
            pProcessor->Remap();
            const std::int64_t remapped = Nanoseconds();
            times.Record(FrameStage::kRemap, remapped - acquired);
            pProcessor->RemappedToRgb(pHost->FrameBuffer());
            converted = Nanoseconds();
            times.Record(FrameStage::kConvert, converted - remapped);
        } else {
            pProcessor->RawToRgb(pHost->FrameBuffer());
            converted = Nanoseconds();
            times.Record(FrameStage::kConvert, converted - acquired);
        }
        bLastDrawn = pHost->ShowFrame(*pProcessor);
        // Read before the flag: a hide that lands while this plot is made drops it.
        const std::uint64_t histogramGeneration = pHost->HistogramGeneration();
        if (g_bHistogramHidden == 0) {
            pHost->ShowHistogram(histogramGeneration);
        }
        times.Record(FrameStage::kDraw, Nanoseconds() - converted);
        pHost->CountPasses(frames);
    }
    const std::int64_t end = pHost->NowMilliseconds();
    // The screen may have skipped the last frames; the one left showing is the last made.
    if (!bLastDrawn) {
        pHost->DrawLastFrame(g_pProcessor.load());  // the inspector reads this frame's values
    }
    if (const FileResult written = WriteTimingReport(pHost->TimingPath(), int(end - start), frames);
        !written) {
        pHost->PostNotice(written.Error());
    }
    pHost->EndRun(frames, end - start);
}
