#pragma once

#include <chrono>

class CReadCancel;

// What bounds one device read: the moment it gives up, and the cancel that ends it early.
struct ReadLimit {
    using Clock = std::chrono::steady_clock;

    Clock::time_point deadline;
    CReadCancel* pCancel = nullptr;  // none: only the deadline ends a wait

    // A limit of `timeout` from now.
    static ReadLimit Within(std::chrono::milliseconds timeout, CReadCancel* pCancel = nullptr);

    bool IsCancelled() const;
    // Sleeps until `until`; false when cancelled before (or while) waiting.
    bool SleepUntil(Clock::time_point until) const;
};
