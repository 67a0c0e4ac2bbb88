#pragma once

#include "acquisition/AcquisitionSession.h"

class CRecorder;

// Hands each raw frame of a run to a recorder (which copies it into its ring; whether a
// full ring drops or waits is the recorder's policy).
class CRecorderFeed : public IFrameConsumer {
  public:
    explicit CRecorderFeed(CRecorder& recorder) : m_recorder(recorder) {}
    void TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) override;

  private:
    CRecorder& m_recorder;
};
