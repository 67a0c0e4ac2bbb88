#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CFrameProcessor;
class CStageTimes;

// What the acquisition worker may see and do of the window it serves, and nothing more.
// Every member runs on the worker; the window (CViewerCore) implements it and keeps the
// run's cross-thread state, each piece atomic or guarded there.
class CAcquisitionHost {
  public:
    // Sizes the frame and histogram buffers; with a processor, starts the inspector's snapshots.
    virtual void BeginRun(const CFrameProcessor* pProcessor) = 0;
    // The window's stop request, or the worker's own after a failed read.
    virtual bool StopRequested() const = 0;
    virtual std::int64_t NowMilliseconds() const = 0;
    virtual CStageTimes& RunStageTimes() = 0;
    // The camera's share of the last Acquire (zero without a camera).
    virtual std::int64_t LastReadNanoseconds() const = 0;
    virtual void ServeCalibration(CFrameProcessor& processor) = 0;
    // Adds the pass's raw frame to a flat calibration asked for, if any.
    virtual void ServeFlatCalibration(const CFrameProcessor& processor) = 0;
    // True when the pass ends here: corrected with the old levels, the next shows the new.
    virtual bool ServeAutoLevels(CFrameProcessor& processor) = 0;
    // A read failed: no frame shown, the window Idle, the failure counted; no report follows.
    virtual void FailRun() = 0;
    // The processor holds this pass's frame (the recorder, fed first, has its copy).
    virtual void HoldFrame() = 0;
    virtual bool RemapWanted() const = 0;
    // The buffer a pass converts into, sized by BeginRun.
    virtual std::uint8_t* FrameBuffer() = 0;
    // How many pictures the live picture is the mean of (1: each as it came).
    virtual std::size_t AveragedPictures() const = 0;
    // Publishes the converted frame and draws it if the screen wants it; true when drawn.
    virtual bool ShowFrame(const CFrameProcessor& processor) = 0;
    // Draws the frame left showing, with the processor's values for the inspector if any.
    virtual void DrawLastFrame(const CFrameProcessor* pProcessor) = 0;
    virtual std::uint64_t HistogramGeneration() const = 0;
    virtual void ShowHistogram(std::uint64_t generation) = 0;
    // Passes completed so far in this run.
    virtual void CountPasses(int frames) = 0;
    virtual const std::string& TimingPath() const = 0;
    virtual void PostNotice(std::string text) = 0;
    // The run ended on a stop: its frame count and length, for the window's summary.
    virtual void EndRun(int frames, std::int64_t milliseconds) = 0;

  protected:
    ~CAcquisitionHost() = default;
};
