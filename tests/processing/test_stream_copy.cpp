#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "processing/StreamCopy.h"

// Catches a head or tail lost, doubled or shifted around the aligned middle, and bytes written
// outside the destination, at every alignment a numpy array can have.
TEST(StreamCopy, CopiesExactlyTheBytesAtAnyAlignment) {
    std::vector<std::uint8_t> from(4096);
    std::iota(from.begin(), from.end(), std::uint8_t(7));
    for (std::size_t offset = 0; offset < 17; ++offset) {
        for (std::size_t bytes : {0, 1, 15, 16, 17, 31, 100, 4000}) {
            std::vector<std::uint8_t> to(4096 + 64, 0xEE);
            StreamCopy(to.data() + offset, from.data() + 3, bytes);
            for (std::size_t i = 0; i < to.size(); ++i) {
                const bool inside = i >= offset && i < offset + bytes;
                ASSERT_EQ(to[i], inside ? from[3 + i - offset] : 0xEE)
                    << "offset " << offset << ", " << bytes << " bytes, at " << i;
            }
        }
    }
}
