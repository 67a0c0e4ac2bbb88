#pragma once

#include <chrono>
#include <thread>

// Waits for an event rather than a fixed time: polls until pred holds, and is false only
// when it still does not after the time-out, which is generous enough to mean a hang
// however loaded the machine.
template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}
