#pragma once

#include <cstdint>
#include <vector>

#include "recording/FrameSum.h"

// What a recording stores of the frames read, as its caller (the command line, the viewer,
// Python) fills it in: how many frames or for how long, one time point every so often, and
// each stored frame the mean of several read in a row.
struct RecordingPlan {
    std::uint64_t frames = 0;  // stored frames; 0: no count
    double seconds = 0;        // no time point starts this long after the first; 0: no limit
    double every = 0;          // seconds between time points; 0: every frame read is one
    unsigned average = 1;      // frames read in a row averaged into each stored frame

    bool IsPlain() const { return every == 0 && average == 1; }
};
// The most frames one stored frame averages (their sum fits 32 bits many times over).
inline constexpr unsigned kMostAveragedFrames = 10000;
// The longest interval of a time-lapse.
inline constexpr double kLongestInterval = 24.0 * 3600;

// Picks the frames a plan stores from the frames read, in order, on their own clock: time
// point k starts with the first frame read at or after k * every from the first frame (one
// that comes due while the point before is still being averaged starts with the next frame,
// so no point is skipped), and takes that frame and the average - 1 read after it.
class CPlannedFrames {
  public:
    explicit CPlannedFrames(const RecordingPlan& plan = {});

    // Takes a frame read at timeUs (microseconds, never going back). Returns the frame to
    // store when this one completes it (valid until the next call; the frame itself for a
    // plain plan), else nullptr; *pFirstUs then is the time of its first frame.
    const std::uint8_t* Take(const std::uint8_t* pFrame, std::int64_t timeUs,
                             std::int64_t* pFirstUs);
    // Every frame asked for is stored, or the time is up.
    bool Done() const { return m_bDone; }
    std::uint64_t Stored() const { return m_nStored; }

  private:
    bool Due(std::int64_t timeUs) const;

    RecordingPlan m_plan;
    CFrameSum m_sum;
    std::vector<std::uint8_t> m_mean;
    bool m_bStarted = false;  // the first frame was seen; m_nFirstUs holds its time
    std::int64_t m_nFirstUs = 0;
    std::int64_t m_nPointUs = 0;  // the first frame of the time point being averaged
    std::uint64_t m_nStored = 0;
    bool m_bDone = false;
};
