#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "processing/FlatField.h"

// Tools > Calibrate Flat: the raw frames after the request summed on the worker and, after
// the last, stored less the dark image in force as a flat image. The window asks; the worker
// sums and writes, so the window never waits on the disk or the camera.
class CFlatCalibration {
  public:
    static constexpr std::uint32_t kFrames = 16;  // as pandry-cli calibrate --flat

    // Window's thread: a new flat for path, from the next frame on (one not finished is
    // dropped).
    void Begin(std::string path);
    // Until the flat asked for is stored (or refused).
    bool IsBusy() const { return m_bBusy.load(); }
    // Worker: adds the frame while collecting. After the last, stores the flat and returns
    // what to tell the operator (the flat's summary and file, or why it was not written);
    // empty otherwise.
    std::string Take(const std::uint8_t* pRaw, const std::int32_t* pDark);

  private:
    mutable std::mutex m_mutex;  // guards all below: the window begins, the worker sums
    std::string m_path;          // empty while not collecting
    CFlatSums m_sums;
    std::atomic<bool> m_bBusy{false};  // set by Begin, cleared by the worker once stored
};
