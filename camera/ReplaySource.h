#pragma once

#include <cstdint>
#include <string>

#include "platform/device/FrameSource.h"

// The frames of a recorded file (whole frames back to back, no header), in order, once
// or round and round.
class CReplaySource : public IFrameSource {
  public:
    CReplaySource(const std::string& path, bool loop);
    ~CReplaySource() override;
    CReplaySource(const CReplaySource&) = delete;
    CReplaySource& operator=(const CReplaySource&) = delete;

    bool NextFrame(std::uint8_t* pFrame) override;

    // The file's frame count; 0 with a reason in *error when it cannot be replayed
    // (unreadable, empty, or not a whole number of frames).
    static std::uint64_t CountFrames(const std::string& path, std::string* error);

  private:
    int m_nFd = -1;
    bool m_bLoop;
    std::uint64_t m_nFrames = 0;
    std::uint64_t m_nNext = 0;
};
