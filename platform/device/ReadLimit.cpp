#include "platform/device/ReadLimit.h"

#include <thread>

#include "platform/device/ReadCancel.h"

ReadLimit ReadLimit::Within(std::chrono::milliseconds timeout, CReadCancel* pCancel) {
    return {Clock::now() + timeout, pCancel};
}

bool ReadLimit::IsCancelled() const {
    return pCancel != nullptr && pCancel->IsCancelled();
}

bool ReadLimit::SleepUntil(Clock::time_point until) const {
    if (pCancel == nullptr) {
        std::this_thread::sleep_until(until);
        return true;
    }
    return pCancel->WaitUntil(until);
}
