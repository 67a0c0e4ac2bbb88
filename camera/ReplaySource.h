#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device/FrameSource.h"
#include "platform/files/FileResult.h"

// The frames of a recorded file (whole frames back to back, no header), in order, once
// or round and round. Given the frames' recorded times (ms since the first), it hands each
// out at its time, so the recording plays at the rate it was recorded.
class CReplaySource : public IFrameSource {
  public:
    CReplaySource(const std::string& path, bool loop, std::vector<std::int64_t> frameTimesMs = {});
    ~CReplaySource() override;
    CReplaySource(const CReplaySource&) = delete;
    CReplaySource& operator=(const CReplaySource&) = delete;

    bool NextFrame(std::uint8_t* pFrame) override;

    // The whole frames of a file that may end in a cut-off frame; then *warning says so.
    // A file that holds no whole frame or cannot be read fails, *frames then untouched.
    static FileResult CountWholeFrames(const std::string& path, std::uint64_t* frames,
                                       std::string* warning);

  private:
    void WaitForRecordedTime();

    int m_nFd = -1;
    bool m_bLoop;
    std::uint64_t m_nFrames = 0;
    std::uint64_t m_nNext = 0;
    std::vector<std::int64_t> m_frameTimesMs;
    std::chrono::steady_clock::time_point m_passStart{};
};
