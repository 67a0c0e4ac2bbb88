#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

class CFrameProcessor;

// Now on the steady clock every stage of a pass is timed on, in nanoseconds.
inline std::int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One frame as the session hands it on: its number in the run and when it was read.
struct AcquiredFrame {
    std::uint64_t index = 0;  // 0 for the run's first frame
    // Microseconds since the run began, on the steady clock the sidecar's times use.
    std::int64_t timeUs = 0;
    std::int64_t acquireNs = 0;  // how long Acquire took
    std::int64_t readNs = 0;     // the camera's share of it
};

// Something that takes every frame of a run: the screen, the recorder, a caller waiting for
// the next frame. Called on the session's thread, in the order added; the processor holds
// the frame (raw and corrected) until the call returns, so a consumer copies what it keeps
// and never waits long.
class IFrameConsumer {
  public:
    virtual void TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) = 0;
    // The run is over (failed: a read failed, not a stop); no frame follows.
    virtual void RunEnded(bool /*failed*/) {}

  protected:
    ~IFrameConsumer() = default;
};

// What the owner of a run decides beyond reading and handing on frames. Every member runs
// on the session's thread.
class ISessionHost {
  public:
    // Before the first pass (and before the run's clock starts).
    virtual void RunStarting() {}
    // The processor of the next pass; a stop request may come from the owner's own flag.
    virtual CFrameProcessor& PassProcessor() = 0;
    virtual bool StopRequested() const = 0;
    // Work a pass does before its Acquire (a calibration).
    virtual void BeforeAcquire(CFrameProcessor& /*processor*/) {}
    // The camera's share of the last Acquire, in nanoseconds.
    virtual std::int64_t LastReadNanoseconds() const { return 0; }
    // After the consumers had the pass's frame; passes counts this run's passes so far.
    virtual void PassEnded(std::uint64_t /*passes*/) {}
    // A read failed that no stop explains; passes is the frames read before it.
    virtual void RunFailed(std::uint64_t passes) = 0;
    // The run ended on a stop after passes frames.
    virtual void RunStopped(std::uint64_t passes) = 0;

  protected:
    ~ISessionHost() = default;
};

// One acquisition run on its own thread: pass after pass, Acquire on the host's processor,
// each frame numbered, timed and handed to the consumers, until a stop is asked for
// (checked between passes, so a pass always finishes) or a read fails. Stop also ends a
// read that waits for the camera at once, through the cancel the owner gave.
class CAcquisitionSession {
  public:
    // cancelRead ends a read in progress (from any thread); resumeReads lets reads run
    // again once the thread is joined. Either may be empty.
    CAcquisitionSession(std::function<void()> cancelRead, std::function<void()> resumeReads);
    ~CAcquisitionSession();  // stops a run still going
    CAcquisitionSession(const CAcquisitionSession&) = delete;
    CAcquisitionSession& operator=(const CAcquisitionSession&) = delete;

    // Owner's thread, while no run goes; the consumers outlive the run.
    void AddConsumer(IFrameConsumer* pConsumer);
    void RemoveConsumer(IFrameConsumer* pConsumer);
    // Starts a run on a new thread; a run still going is stopped first.
    void Start(ISessionHost* pHost);
    // Asks the run to end after its pass, ends a waiting read, and joins the thread.
    void Stop();
    // Joins a run that ends by itself (a frame limit, a failure), without asking it to stop.
    void Join();
    // Any thread: asks the run to end after its pass and ends a waiting read; no join.
    void RequestStop();
    bool IsRunning() const { return m_thread.joinable(); }
    // Frames handed on in the current (or last) run.
    std::uint64_t Frames() const { return m_nFrames.load(); }

  private:
    void Run(ISessionHost* pHost);
    bool StopAsked(const ISessionHost& host) const;

    std::function<void()> m_cancelRead;
    std::function<void()> m_resumeReads;
    std::vector<IFrameConsumer*> m_consumers;  // owner's thread while idle; the run's while running
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<std::uint64_t> m_nFrames{0};
};
