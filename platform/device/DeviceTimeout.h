#pragma once

#include <chrono>

// How long one whole frame read may take, from its start to its last byte, before it is
// given up as failed. A camera delivers a frame within tens of milliseconds; a frame that
// has not arrived after five seconds, however its bytes trickle in, comes from a device
// that hangs, and acquisition must end rather than wait for ever.
inline constexpr std::chrono::milliseconds kDefaultReadTimeout{5000};

// The probe at open time answers at once from a live camera; a silent one must not hold
// up whoever opens it.
inline constexpr std::chrono::milliseconds kProbeTimeout{500};

// The time-out in force for every backend; tests shorten it.
std::chrono::milliseconds DeviceReadTimeout();
void SetDeviceReadTimeout(std::chrono::milliseconds timeout);
// The probe's deadline: kProbeTimeout, or the read time-out when that is shorter.
std::chrono::milliseconds DeviceProbeTimeout();
