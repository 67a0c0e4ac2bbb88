#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Lets one thread end another's device read at once. A reader that polls a file waits on
// Fd() beside it; an in-process device sleeps through WaitUntil.
class CReadCancel {
  public:
    CReadCancel();
    CReadCancel(const CReadCancel&) = delete;
    CReadCancel& operator=(const CReadCancel&) = delete;
    ~CReadCancel();

    // Any thread: the read in progress and every later one return at once.
    void Cancel();
    // Lets reads wait again; call only while no read runs.
    void Reset();
    bool IsCancelled() const;
    // Readable while cancelled (-1 when the system gave no descriptor: polling then
    // sees the cancel only at the deadline).
    int Fd() const { return m_nEventFd; }
    // Sleeps until `until`; false at once, or as soon as, a cancel arrives.
    bool WaitUntil(std::chrono::steady_clock::time_point until);

  private:
    int m_nEventFd = -1;
    mutable std::mutex m_mutex;  // guards m_bCancelled
    std::condition_variable m_wake;
    bool m_bCancelled = false;
};
