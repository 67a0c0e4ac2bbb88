#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "export/TiffStackWriter.h"
#include "tests/export/OurTiff.h"

namespace {

Picture GreyPicture(std::uint8_t level) {
    Picture picture;
    picture.width = 4;
    picture.height = 3;
    picture.grey = true;
    picture.rgb.assign(4 * 3 * 3, level);
    return picture;
}

StackDescription ThreePages(bool bigTiff) {
    StackDescription description;
    description.width = 4;
    description.height = 3;
    description.bigTiff = bigTiff;
    description.pages = {{7, 0}, {8, 40000}, {10, 80000}};
    return description;
}

std::string TemporaryPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "-" + name))
        .string();
}

// Catches BigTIFF not being written when asked (a stack past 4 GB would wrap its offsets),
// pages losing their order or recorded index and time, and our reader not knowing the tags
// we write (libtiff warns of each unknown field on every page).
class TiffStack : public ::testing::TestWithParam<bool> {};

TEST_P(TiffStack, PagesReadBackInOrderWithTheirTiming) {
    const std::string path = TemporaryPath("stack.tif");
    std::unique_ptr<CTiffStackWriter> writer;
    const FileResult opened = CTiffStackWriter::Open(path, ThreePages(GetParam()), &writer);
    ASSERT_TRUE(opened && writer) << opened.Error();
    for (std::uint8_t level : {10, 20, 30}) {
        const FileResult added = writer->Add(GreyPicture(level));
        ASSERT_TRUE(added) << added.Error();
    }
    const FileResult finished = writer->Finish();
    ASSERT_TRUE(finished) << finished.Error();
    static int warnings = 0;
    warnings = 0;
    const TIFFErrorHandler previous =
        TIFFSetWarningHandler([](const char*, const char*, va_list) { ++warnings; });
    TIFF* tiff = OpenOurTiff(path);
    ASSERT_NE(tiff, nullptr);
    EXPECT_EQ(TIFFIsBigTIFF(tiff) != 0, GetParam());
    EXPECT_EQ(TIFFNumberOfDirectories(tiff), 3);
    ASSERT_TRUE(TIFFSetDirectory(tiff, 2));
    char* name = nullptr;
    ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_PAGENAME, &name));
    EXPECT_STREQ(name, "index=10 time_us=80000");
    std::uint8_t row[4] = {};
    ASSERT_EQ(TIFFReadScanline(tiff, row, 1), 1);
    EXPECT_EQ(row[3], 30);
    TIFFClose(tiff);
    TIFFSetWarningHandler(previous);
    EXPECT_EQ(warnings, 0);
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(ClassicAndBig, TiffStack, ::testing::Values(false, true));

// Catches a stack cut short (a failed or interrupted export) being left in place, or an
// existing file of that name being lost to it.
TEST(TiffStackWriter, UnfinishedStackLeavesNothingAndKeepsTheOldFile) {
    const std::string path = TemporaryPath("kept.tif");
    std::FILE* old = std::fopen(path.c_str(), "w");
    std::fputs("old", old);
    std::fclose(old);
    {
        std::unique_ptr<CTiffStackWriter> writer;
        const FileResult opened = CTiffStackWriter::Open(path, ThreePages(false), &writer);
        ASSERT_TRUE(opened && writer) << opened.Error();
        const FileResult added = writer->Add(GreyPicture(1));
        ASSERT_TRUE(added) << added.Error();
        const FileResult finished = writer->Finish();
        EXPECT_FALSE(finished);
        EXPECT_NE(finished.Error().find(path), std::string::npos) << finished.Error();
    }
    EXPECT_EQ(std::filesystem::file_size(path), 3u);
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
    std::remove(path.c_str());
}

// Catches the switch to BigTIFF coming too late (offsets past 4 GB) or for small stacks.
TEST(TiffStackWriter, BigTiffOnlyPastFourGigabytes) {
    const std::uint64_t page512Rgb = 512 * 512 * 3;
    EXPECT_FALSE(CTiffStackWriter::NeedsBigTiff(page512Rgb, 5000));  // 3.9 GB
    EXPECT_TRUE(CTiffStackWriter::NeedsBigTiff(page512Rgb, 5500));   // 4.3 GB
}

}  // namespace
