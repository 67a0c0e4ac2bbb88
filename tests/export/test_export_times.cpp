#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"
#include "tests/export/OurTiff.h"
#include "tests/tools/CliRunner.h"

namespace {

// A recording of four frames at 0, 40, 85 and 120 ms that ended after a failed read.
class ExportTimes : public CliFixture {
  protected:
    void SetUp() override {
        WriteFrames("in.raw", {UniformFrame(1), UniformFrame(2), UniformFrame(3), UniformFrame(4)});
        RecordingMetadata metadata;
        metadata.startTime = "2026-12-09T08:00:00.250000Z";
        metadata.end = "camera failed after 4 frames: no whole frame came";
        metadata.failedReads = 1;
        metadata.source = "sim,fail-after=4";
        const std::int64_t times[] = {0, 40000, 85000, 120000};
        for (std::uint64_t k = 0; k < 4; ++k) {
            metadata.frames.push_back({k, times[k], false, false});
        }
        std::ofstream(Path("in.raw.json")) << SidecarText(metadata);
    }
    // The first page's ImageDescription and ImageJ's metadata tag read as Latin-1 text (its
    // UTF-16 with the zero bytes dropped).
    void ReadFirstPage(const std::string& name, std::string* description, std::string* ij) {
        TIFF* tiff = OpenOurTiff(Path(name));
        ASSERT_NE(tiff, nullptr);
        char* text = nullptr;
        ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &text));
        *description = text;
        std::uint32_t count = 0;
        const std::uint8_t* bytes = nullptr;
        ASSERT_TRUE(TIFFGetField(tiff, 50839, &count, &bytes));
        for (std::uint32_t i = 0; i < count; ++i) {
            if (bytes[i] != 0) {
                ij->push_back(char(bytes[i]));
            }
        }
        TIFFClose(tiff);
    }
};

// Catches a part of a recording whose times count from its own first frame (AcquisitionDate +
// DeltaT early by the part's offset), and stacks that forget how the run ended.
TEST_F(ExportTimes, StacksKeepTimesSinceTheStartAndTheRunsHistory) {
    ASSERT_EQ(Run("export --calibration none --frames 2-3 in.raw part.ome.tif"), 0) << m_strError;
    ASSERT_EQ(Run("export --calibration none --frames 2-3 in.raw part.tif"), 0) << m_strError;
    std::string ome, omeTags, imagej, imagejTags;
    ReadFirstPage("part.ome.tif", &ome, &omeTags);
    ReadFirstPage("part.tif", &imagej, &imagejTags);
    EXPECT_NE(ome.find("<AcquisitionDate>2026-12-09T08:00:00.250000Z<"), std::string::npos);
    EXPECT_NE(ome.find("DeltaT=\"0.085000\""), std::string::npos) << ome;
    EXPECT_NE(ome.find("DeltaT=\"0.120000\""), std::string::npos) << ome;
    EXPECT_NE(ome.find("<M K=\"recording_end\">camera failed after 4 frames"), std::string::npos);
    EXPECT_NE(ome.find("<M K=\"failed_reads\">1<"), std::string::npos);
    for (const std::string& tags : {omeTags, imagejTags}) {
        EXPECT_NE(tags.find("recording_end = camera failed after 4 frames"), std::string::npos)
            << tags;
        EXPECT_NE(tags.find("index=3 t=0.120000 s"), std::string::npos) << tags;
        EXPECT_NE(tags.find("source"), std::string::npos);
    }
}

// Catches a video that does not say when the recording started, where in it the video
// begins, or how the run went.
TEST_F(ExportTimes, VideoCarriesTheStartTheOffsetAndTheHistory) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null") != 0) {
        GTEST_SKIP() << "needs ffmpeg (scripts/install-deps.sh installs it)";
    }
    for (const char* name : {"part.mkv", "part.mp4"}) {
        ASSERT_EQ(Run(std::string("export --calibration none --frames 2-3 in.raw ") + name), 0)
            << m_strError;
        const std::string probe = "cd '" + m_dir.Path().string() +
                                  "' && ffprobe -v error -show_entries format_tags -of "
                                  "default=nw=1 " +
                                  name + " >tags.txt";
        ASSERT_EQ(std::system(probe.c_str()), 0);
        std::string tags;
        std::getline(std::ifstream(Path("tags.txt")), tags, '\0');
        for (const char* wanted : {"creation_time=2026-12-09T08:00:00.250000Z", "=85000\n",
                                   "=camera failed after 4 frames"}) {
            EXPECT_NE(tags.find(wanted), std::string::npos) << name << ": " << tags;
        }
    }
}

// Catches convert's one picture forgetting the run's history that export's pictures carry.
TEST_F(ExportTimes, ConvertedPictureCarriesTheRunsHistory) {
    ASSERT_EQ(Run("convert --calibration none in.raw last.pgm"), 0) << m_strError;
    std::ifstream in(Path("last.pgm"), std::ios::binary);
    const std::string header(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(header.find("recording_end=camera failed after 4 frames"), std::string::npos);
    EXPECT_NE(header.find("failed_reads=1"), std::string::npos);
}

// Catches a video export without the exact times beside it, or with the part's pictures
// given other frames' indices or times.
TEST_F(ExportTimes, VideoHasItsExactTimesBesideIt) {
    ASSERT_EQ(Run("export --calibration none --frames 2-3 in.raw part.y4m"), 0) << m_strError;
    std::ifstream in(Path("part.y4m.times.csv"));
    const std::string table(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(table, "picture,index,time_us\n0,2,85000\n1,3,120000\n");
}

}  // namespace
