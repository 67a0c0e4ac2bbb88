#pragma once

#include <cstddef>
#include <cstdint>

// Three-byte pixels with their first and third bytes swapped (BGR to RGB and back); the
// buffers must not overlap.
void SwapRedAndBlue(const std::uint8_t* pFrom, std::uint8_t* pTo, std::size_t pixels);
