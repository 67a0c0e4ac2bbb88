#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "export/FrameRenderer.h"
#include "sensor/LogPolarFrame.h"

namespace {

// Catches a picture written into the caller's buffer, streamed past the caches or not,
// differing from the renderer's own (a line streamed before it was made, the first or last
// part line lost where the buffer starts within a line) or touching a byte around it.
TEST(FrameRenderer, PicturesIntoABufferEqualItsOwnStreamedOrNot) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> raw(kFrameBytes);
    for (const bool color : {false, true}) {
        for (const int size : {256, 512}) {
            RenderSettings settings;
            settings.color = color;
            settings.size = size;
            settings.calibration.clear();
            CFrameRenderer renderer(settings);
            const std::size_t bytes = std::size_t(size) * size * 3;
            for (const std::size_t offset : {0, 5, 63}) {
                std::generate(raw.begin(), raw.end(), [&] { return std::uint8_t(random()); });
                Picture picture;
                ASSERT_TRUE(renderer.Render(raw.data(), &picture));
                for (const bool streamed : {false, true}) {
                    std::vector<std::uint8_t> buffer(bytes + 128, 0x5A);
                    const std::size_t start =
                        (64 - std::uintptr_t(buffer.data()) % 64 + offset) % 64;
                    ASSERT_TRUE(renderer.RenderInto(raw.data(), buffer.data() + start, streamed));
                    EXPECT_TRUE(std::equal(picture.rgb.begin(), picture.rgb.end(),
                                           buffer.begin() + std::ptrdiff_t(start)))
                        << "colour " << color << " size " << size << " offset " << offset
                        << " streamed " << streamed;
                    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + std::ptrdiff_t(start),
                                            [](std::uint8_t b) { return b == 0x5A; }));
                    EXPECT_TRUE(std::all_of(buffer.begin() + std::ptrdiff_t(start + bytes),
                                            buffer.end(),
                                            [](std::uint8_t b) { return b == 0x5A; }));
                }
            }
        }
    }
}

}  // namespace
