#pragma once

#include <chrono>

// How long one device read may wait for the device to answer before it is given up as
// failed. A camera delivers a frame within tens of milliseconds; a read that has not
// answered after five seconds comes from a device that hangs, and acquisition must end
// rather than wait for ever.
inline constexpr std::chrono::milliseconds kDefaultReadTimeout{5000};

// The time-out in force for every backend; tests shorten it.
std::chrono::milliseconds DeviceReadTimeout();
void SetDeviceReadTimeout(std::chrono::milliseconds timeout);
