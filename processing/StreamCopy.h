#pragma once

#include <cstddef>
#include <cstdint>

// Copies bytes to memory that is not read again soon (a batch of pictures larger than the
// caches) with stores that bypass them: the lines filled need not be read in first, which
// on a large destination halves the memory traffic of an ordinary copy.
void StreamCopy(std::uint8_t* pTo, const std::uint8_t* pFrom, std::size_t bytes);
