#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "ProcessingTestSupport.h"
#include "processing/FrameProcessor.h"

namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
}

std::vector<std::uint8_t> Pixels(int width, int height) {
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = std::uint8_t(i * 31 + 5);
    }
    return pixels;
}

class BmpSize : public ::testing::TestWithParam<std::tuple<int, int, std::size_t>> {};

// Catches any header field out of place, a nonzero file-size field or a missing filler.
TEST_P(BmpSize, HeaderAndPixelsAreByteExact) {
    const auto [width, height, fileBytes] = GetParam();
    CScratchDirectory directory;
    const auto pixels = Pixels(width, height);
    const std::string path = directory.File("picture.bmp");
    ASSERT_TRUE(CFrameProcessor::WriteBmp(pixels.data(), width, height, path.c_str()));
    const auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), fileBytes);
    const std::vector<std::uint8_t> expectedHeader = {'B',
                                                      'M',
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      58,
                                                      0,
                                                      0,
                                                      0,  // file header
                                                      40,
                                                      0,
                                                      0,
                                                      0,  // info header size
                                                      std::uint8_t(width),
                                                      std::uint8_t(width >> 8),
                                                      0,
                                                      0,
                                                      std::uint8_t(height),
                                                      std::uint8_t(height >> 8),
                                                      0,
                                                      0,
                                                      1,
                                                      0,
                                                      24,
                                                      0,  // planes, bits per pixel
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,  // compression, image size
                                                      0x10,
                                                      0x27,
                                                      0,
                                                      0,
                                                      0x10,
                                                      0x27,
                                                      0,
                                                      0,  // 10000 pixels per metre
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,
                                                      0,  // colours
                                                      0,
                                                      0,
                                                      0,
                                                      0};  // filler
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 58), expectedHeader);
    EXPECT_EQ(Read32(bytes, 10), 58u);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), bytes.begin() + 58));
}

INSTANTIATE_TEST_SUITE_P(Pictures, BmpSize,
                         ::testing::Values(std::tuple{152, 252, std::size_t{114970}},
                                           std::tuple{256, 256, std::size_t{196666}},
                                           std::tuple{512, 512, std::size_t{786490}}));

// Catches a save that appends to or keeps parts of an existing file.
TEST(WriteBmp, ReplacesAnExistingFile) {
    CScratchDirectory directory;
    const std::string path = directory.File("picture.bmp");
    WriteBytes(path, std::vector<std::uint8_t>(1000000, 0xAB));
    const auto pixels = Pixels(256, 256);
    ASSERT_TRUE(CFrameProcessor::WriteBmp(pixels.data(), 256, 256, path.c_str()));
    EXPECT_EQ(ReadBytes(path).size(), 196666u);
    EXPECT_EQ(directory.Entries(), std::vector<std::string>{"picture.bmp"});
}

// Catches a failure to create reported as success, or a stray file left behind.
TEST(WriteBmp, MissingDirectoryReturnsZeroAndCreatesNothing) {
    CScratchDirectory directory;
    const auto pixels = Pixels(256, 256);
    const std::string path = directory.File("no-such-dir/picture.bmp");
    EXPECT_FALSE(CFrameProcessor::WriteBmp(pixels.data(), 256, 256, path.c_str()));
    EXPECT_TRUE(directory.Entries().empty());
}

// Catches a failed write (here: the file-size limit) reported as written, or a truncated
// file left in place of the previous one.
TEST(WriteBmp, FailedWriteReturnsZeroAndKeepsThePreviousFile) {
    CScratchDirectory directory;
    const std::string path = directory.File("picture.bmp");
    const std::vector<std::uint8_t> previous(300, 0x5A);
    WriteBytes(path, previous);
    const auto pixels = Pixels(512, 512);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool result = bool(CFrameProcessor::WriteBmp(pixels.data(), 512, 512, path.c_str()));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(result);
    EXPECT_EQ(ReadBytes(path), previous);
    EXPECT_EQ(directory.Entries(), std::vector<std::string>{"picture.bmp"});
}

// Catches unchecked arguments reaching the file system.
TEST(WriteBmp, RefusesEmptyPictureAndMissingArguments) {
    CScratchDirectory directory;
    const std::string path = directory.File("picture.bmp");
    const auto pixels = Pixels(4, 4);
    EXPECT_FALSE(CFrameProcessor::WriteBmp(pixels.data(), 0, 4, path.c_str()));
    EXPECT_FALSE(CFrameProcessor::WriteBmp(pixels.data(), 4, -4, path.c_str()));
    EXPECT_FALSE(CFrameProcessor::WriteBmp(nullptr, 4, 4, path.c_str()));
    EXPECT_FALSE(CFrameProcessor::WriteBmp(pixels.data(), 4, 4, nullptr));
    EXPECT_FALSE(CFrameProcessor::WriteBmp(pixels.data(), 4, 4, ""));
    EXPECT_TRUE(directory.Entries().empty());
}

}  // namespace
