#pragma once

#include <cstdint>

// The test binary replaces the global operator new: it counts allocations while counting
// is switched on and can be told to fail one of them (the nothrow forms then return null).
namespace allocation {

void StartCounting();
// The number of allocations since StartCounting; counting stops.
std::int64_t StopCounting();
// Makes the allocation `countFromNow` allocations ahead fail (0: the very next one).
void FailAfter(std::int64_t countFromNow);
void StopFailing();

}  // namespace allocation
