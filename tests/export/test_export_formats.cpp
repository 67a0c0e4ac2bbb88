#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PictureDecoders.h"
#include "export/ExportFormats.h"
#include "export/Exporter.h"
#include "export/PictureWriter.h"
#include "tests/tools/CliRunner.h"

namespace {

struct Settings {
    const char* name;
    const char* options;
    bool color;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const Settings& c, std::ostream* os) {
    *os << c.name;
}

class ExportFormats : public CliFixture, public ::testing::WithParamInterface<Settings> {
  protected:
    void SetUp() override {
        m_frames = {PatternFrame(3, 7), PatternFrame(40, 3), PatternFrame(200, 11)};
        WriteFrames("in.raw", m_frames);
    }
    // What convert makes of frame k alone: the viewer's picture of that frame.
    Decoded ConvertOneFrame(std::size_t k) {
        const std::string single = "single" + std::to_string(k) + ".raw";
        WriteFrames(single, {m_frames[k]});
        const std::string bmp = "single" + std::to_string(k) + ".bmp";
        EXPECT_EQ(Run(std::string("convert ") + GetParam().options + " " + single + " " + bmp), 0)
            << m_strError;
        return DecodeBmp(Path(bmp));
    }

    std::vector<FrameBytes> m_frames;
};

// Catches an exporter whose pictures differ from the viewer's (orientation, colour order,
// settings, frame order) in any format: each exported frame must decode to exactly what
// convert saves for that frame alone, and the BMP must be byte for byte convert's.
TEST_P(ExportFormats, EveryFormatHoldsTheViewersPicture) {
    const std::string options = GetParam().options;
    std::vector<std::string> formats = {"png", "tif", "bmp", "ppm"};
    if (!GetParam().color) {
        formats.push_back("pgm");
    }
    for (const std::string& format : formats) {
        ASSERT_EQ(Run("export " + options + " in.raw " + format + "-%02d." + format), 0)
            << format << ": " << m_strError;
    }
    for (std::size_t k = 0; k < m_frames.size(); ++k) {
        const Decoded expected = ConvertOneFrame(k);
        ASSERT_GT(expected.width, 0);
        const std::string number = (k < 10 ? "0" : "") + std::to_string(k);
        EXPECT_EQ(ReadBytes(Path("bmp-" + number + ".bmp")),
                  ReadBytes(Path("single" + std::to_string(k) + ".bmp")));
        for (const std::string& format : formats) {
            const std::string name = format + "-" + number + "." + format;
            const Decoded got = format == "png"   ? DecodePng(Path(name))
                                : format == "tif" ? DecodeTiff(Path(name))
                                : format == "bmp" ? DecodeBmp(Path(name))
                                                  : DecodePnm(Path(name));
            EXPECT_EQ(got.width, expected.width) << name;
            EXPECT_EQ(got.height, expected.height) << name;
            EXPECT_TRUE(got.rgb == expected.rgb) << name << " differs from convert's picture";
        }
    }
}

// Catches convert writing BMP bytes under another extension, or a PNG/TIFF picture that
// differs from the BMP of the same frames.
TEST_P(ExportFormats, ConvertWritesTheFormatItsExtensionNames) {
    const std::string options = GetParam().options;
    ASSERT_EQ(Run("convert " + options + " in.raw last.bmp"), 0) << m_strError;
    ASSERT_EQ(Run("convert " + options + " in.raw last.png"), 0) << m_strError;
    ASSERT_EQ(Run("convert " + options + " in.raw last.TIFF"), 0) << m_strError;
    ASSERT_EQ(Run("convert " + options + " in.raw last.ppm"), 0) << m_strError;
    const std::vector<std::uint8_t> png = ReadBytes(Path("last.png"));
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
    const Decoded bmp = DecodeBmp(Path("last.bmp"));
    EXPECT_TRUE(DecodePng(Path("last.png")).rgb == bmp.rgb);
    EXPECT_TRUE(DecodeTiff(Path("last.TIFF")).rgb == bmp.rgb);
    EXPECT_TRUE(DecodePnm(Path("last.ppm")).rgb == bmp.rgb);
}

INSTANTIATE_TEST_SUITE_P(
    All, ExportFormats,
    ::testing::Values(Settings{"mono_256_remapped", "--calibration none", false},
                      Settings{"color_256_remapped", "--sensor color --calibration none", true},
                      Settings{"mono_unmapped_gain5", "--view unmapped --gain 5 --calibration none",
                               false},
                      Settings{"color_512_unmapped_offset40",
                               "--sensor color --size 512 --view unmapped --offset 40 "
                               "--calibration none",
                               true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// Test listings name the format instead of printing its bytes.
std::string FormatName(const ::testing::TestParamInfo<const ExportFormat*>& info) {
    return info.param->extension;
}

class FormatTableEntry : public CliFixture,
                         public ::testing::WithParamInterface<const ExportFormat*> {};

// Catches a format that one place knows and another does not: every entry of the table must
// reach export's and convert's help, their refusals of an unknown name, and the writer choice.
TEST_P(FormatTableEntry, ReachesHelpErrorsAndWriter) {
    const ExportFormat& format = *GetParam();
    const std::string dotted = std::string(".") + format.extension;
    const std::string name = std::string("out-%03d") + dotted;
    EXPECT_EQ(PictureWriterFor(name) != nullptr, format.makeWriter != nullptr);
    ASSERT_EQ(Run("export --help"), 0);
    EXPECT_EQ(m_strOutput.find(dotted + ",") != std::string::npos ||
                  m_strOutput.find(dotted + " ") != std::string::npos,
              format.bExported)
        << m_strOutput;
    Run("export in.raw out.unknown");
    EXPECT_EQ(m_strError.find(dotted) != std::string::npos, format.bExported) << m_strError;
    ASSERT_EQ(Run("convert --help"), 0);
    EXPECT_EQ(m_strOutput.find(dotted) != std::string::npos, format.bConverted) << m_strOutput;
    std::string error;
    EXPECT_EQ(CheckExportOutput(name, false, SampleValues::kRaw, &error), format.bExported)
        << error;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FormatTableEntry, ::testing::ValuesIn([] {
                             std::vector<const ExportFormat*> entries;
                             for (const ExportFormat& format : ::ExportFormats()) {
                                 entries.push_back(&format);
                             }
                             return entries;
                         }()),
                         FormatName);

}  // namespace
