#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "platform/device/MemoryDevice.h"
#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"
#include "sidecar/RecordingMetadata.h"
#include "simulation/SimulatedCamera.h"
#include "tests/WaitUntil.h"
#include "tests/platform/device/ScopedDeviceResolver.h"
#include "tests/tools/CliRunner.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concatenate(const std::vector<FrameBytes>& frames) {
    Bytes all;
    for (const FrameBytes& frame : frames) {
        all.insert(all.end(), frame.begin(), frame.end());
    }
    return all;
}

class CliTest : public CliFixture {};

struct BadConvert {
    const char* arguments;
    const char* mentions;  // what the one error line must name
};

void PrintTo(const BadConvert& c, std::ostream* os) {
    *os << '"' << c.arguments << '"';
}

class BadConvertInput : public CliTest, public ::testing::WithParamInterface<BadConvert> {
  protected:
    void SetUp() override {
        WriteAll(Path("good.raw"), UniformFrame(50));
        WriteAll(Path("empty.raw"), {});
        WriteAll(Path("cut.raw"), Bytes(kFrameBytes * 2 - 1, 1));
        std::filesystem::create_directory(Path("folder.bmp"));
        ::mkfifo(Path("in.fifo").c_str(), 0600);
        ::mkfifo(Path("dark.fifo").c_str(), 0600);
        WriteAll(Path("short.data"), Bytes(3, 1));
        WriteAll(Path("half.data"), Bytes(kFrameBytes * 2, 1));
    }
};

// Catches bad input that is not reported in one line, exits with 0, or leaves a file.
TEST_P(BadConvertInput, FailsWithOneLineAndNoOutput) {
    EXPECT_NE(Run(GetParam().arguments), 0);
    ASSERT_FALSE(m_strError.empty());
    EXPECT_EQ(m_strError.find('\n'), m_strError.size() - 1) << m_strError;
    EXPECT_NE(m_strError.find(GetParam().mentions), std::string::npos) << m_strError;
    EXPECT_FALSE(Exists("out.bmp"));
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
        EXPECT_EQ(entry.path().filename().string().find("out.bmp"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, BadConvertInput,
    ::testing::Values(
        BadConvert{"convert missing.raw out.bmp", "missing.raw"},
        BadConvert{"convert empty.raw out.bmp", "empty.raw"},
        BadConvert{"convert good.raw", "OUTPUT.bmp"},
        BadConvert{"convert good.raw out.bmp extra", "extra"},
        BadConvert{"convert --bogus 1 good.raw out.bmp", "--bogus"},
        BadConvert{"convert --size 300 good.raw out.bmp", "300"},
        BadConvert{"convert --sensor grey good.raw out.bmp", "grey"},
        BadConvert{"convert --view sideways good.raw out.bmp", "sideways"},
        BadConvert{"convert --offset 1x good.raw out.bmp", "--offset"},
        BadConvert{"convert --gain good.raw out.bmp", "--gain"},
        BadConvert{"convert --calibration nothere.data good.raw out.bmp", "nothere.data"},
        BadConvert{"convert good.raw folder.bmp", "folder.bmp"},
        BadConvert{"convert good.raw no/such/dir/out.bmp", "out.bmp"},
        BadConvert{"convert in.fifo out.bmp", "in.fifo: it is a FIFO"},
        BadConvert{"convert --calibration dark.fifo good.raw out.bmp", "FIFO"},
        BadConvert{"convert --calibration short.data good.raw out.bmp", "short.data holds 3 bytes"},
        BadConvert{"convert --calibration half.data good.raw out.bmp",
                   "half.data holds 76608 bytes"}));

// Catches a converted picture renamed over a device node (run as root, it replaced
// /dev/full with a regular file) instead of refused with the reason.
TEST_F(CliTest, ConvertRefusesADeviceAsOutput) {
    WriteAll(Path("in.raw"), UniformFrame(100));
    EXPECT_EQ(Run("convert in.raw /dev/full"), 1);
    EXPECT_EQ(m_strError, "pandry-cli: cannot write /dev/full: it is a device\n");
    struct stat info {};
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

struct Interruption {
    const char* name;
    int signal;
    bool keepsRecording;  // Ctrl-C ends the recording early; the others end the program
};

void PrintTo(const Interruption& c, std::ostream* os) {
    *os << c.name;
}

class InterruptedRecord : public CliTest, public ::testing::WithParamInterface<Interruption> {};

// Catches a recording interrupted part-way that leaves its temporary file behind, or (for
// Ctrl-C) loses the whole frames it had recorded or keeps a part of one.
TEST_P(InterruptedRecord, LeavesWholeFramesOrNothing) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::chdir(m_dir.Path().c_str()) != 0) {
            ::_exit(98);
        }
        ::freopen("/dev/null", "w", stderr);
        ::execl(PANDRY_CLI_PATH, PANDRY_CLI_PATH, "record", "--camera", "sim,fps=50", "--frames",
                "100000", "run.raw", static_cast<char*>(nullptr));
        ::_exit(97);
    }
    // Interrupted once a whole frame is on disk: its handlers are in place by then.
    const auto recordedAFrame = [this] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path(), error)) {
            const std::uintmax_t size = entry.file_size(error);
            if (!error && size >= kFrameBytes) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil(recordedAFrame));
    ::kill(child, GetParam().signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    if (GetParam().keepsRecording) {
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 130);
        std::sort(names.begin(), names.end());
        ASSERT_EQ(names, (std::vector<std::string>{"run.raw", "run.raw.json"}));
        const auto size = std::filesystem::file_size(Path("run.raw"));
        EXPECT_GT(size, 0u);
        EXPECT_EQ(size % kFrameBytes, 0u);
    } else {
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), GetParam().signal);
        EXPECT_TRUE(names.empty()) << names.front();
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedRecord,
                         ::testing::Values(Interruption{"CtrlC", SIGINT, true},
                                           Interruption{"Terminate", SIGTERM, false},
                                           Interruption{"HangUp", SIGHUP, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ConvertCase {
    bool color;
    int size;
    bool remapped;
};

void PrintTo(const ConvertCase& c, std::ostream* os) {
    *os << (c.color ? "color " : "mono ") << c.size << (c.remapped ? " remapped" : " unmapped");
}

class ConvertMatchesSave : public CliTest, public ::testing::WithParamInterface<ConvertCase> {};

// Catches a converter that processes frames differently from the processor the viewer
// drives (settings, frame order, which picture is saved): its file must equal SaveBitmap
// of the same frames through a camera link.
TEST_P(ConvertMatchesSave, OutputEqualsTheProcessorsSave) {
    const ConvertCase& c = GetParam();
    std::vector<FrameBytes> frames = {PatternFrame(3, 7), PatternFrame(40, 3)};
    WriteAll(Path("in.raw"), Concatenate(frames));
    std::string arguments = std::string("convert --sensor ") + (c.color ? "color" : "mono") +
                            " --size " + std::to_string(c.size) + " --view " +
                            (c.remapped ? "remapped" : "unmapped") +
                            " --offset 20 --gain 2 --calibration none in.raw out.bmp";
    ASSERT_EQ(Run(arguments), 0) << m_strError;

    auto resolver = std::make_shared<CMemoryDeviceResolver>();
    resolver->SetDevice(1, {frames, false, {}});
    const CScopedDeviceResolver installed(resolver);
    CPortCamera camera;
    camera.Open(1);
    std::unique_ptr<CFrameProcessor> processor;
    if (c.color) {
        processor = std::make_unique<CColorProcessor>();
    } else {
        processor = std::make_unique<CMonoProcessor>();
    }
    processor->SetCalibrationPath(Path("no-calibration-here"));
    processor->Configure(0, 20, 320, 320, 2, c.size, c.size);
    processor->SetCamera(&camera);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        ASSERT_EQ(processor->Acquire(), 1);
        if (c.remapped) {
            processor->Remap();
        }
    }
    ASSERT_EQ(processor->SaveBitmap(c.remapped ? c.size : 252, c.remapped ? c.size : 152,
                                    Path("expected.bmp").c_str()),
              1);
    EXPECT_EQ(ReadAll(Path("out.bmp")), ReadAll(Path("expected.bmp")));
}

INSTANTIATE_TEST_SUITE_P(All, ConvertMatchesSave,
                         ::testing::Values(ConvertCase{false, 256, true},
                                           ConvertCase{false, 512, true},
                                           ConvertCase{false, 256, false},
                                           ConvertCase{true, 512, true},
                                           ConvertCase{true, 256, false}));

// Catches a conversion that is wrong in the same way as the processor it is compared with
// above: the levels here are worked out by hand. Raw 20 plus offset 80 is index 100 of the
// gain-3 table, (e^(100/255) - 1) * 3 * 255 / (e - 1) = 213.8, truncated to 213; as grey
// luma that shows as (76309 * (213 - 16)) >> 16 = 229. Outside the disc no sample ever
// lands, the luma stays at its neutral 128 and shows as 130. Pixels start after a 58-byte
// header, rows bottom-up.
TEST_F(CliTest, FlatFrameConvertsToTheLevelWorkedOutByHand) {
    WriteAll(Path("in.raw"), UniformFrame(20));
    ASSERT_EQ(Run("convert --calibration none in.raw out.bmp"), 0) << m_strError;
    const Bytes bmp = ReadAll(Path("out.bmp"));
    ASSERT_EQ(bmp.size(), 58u + 256 * 256 * 3);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[18], 0);  // width 256, little-endian
    EXPECT_EQ(bmp[19], 1);
    EXPECT_EQ(bmp[28], 24);
    const auto pixel = [&](int x, int yFromTop) {
        const std::size_t at = 58 + (std::size_t(255 - yFromTop) * 256 + std::size_t(x)) * 3;
        return Bytes(bmp.begin() + long(at), bmp.begin() + long(at) + 3);
    };
    EXPECT_EQ(pixel(128, 20), (Bytes{229, 229, 229}));   // periphery, above the centre
    EXPECT_EQ(pixel(236, 128), (Bytes{229, 229, 229}));  // periphery, right of the centre
    EXPECT_EQ(pixel(0, 0), (Bytes{130, 130, 130}));
    EXPECT_EQ(pixel(255, 255), (Bytes{130, 130, 130}));
}

// Catches the default calibration file of the current directory being ignored, or
// 'none' still reading it.
TEST_F(CliTest, ConvertUsesCalimageDataUnlessToldNone) {
    WriteAll(Path("in.raw"), UniformFrame(100));
    ASSERT_EQ(Run("convert --offset 0 --gain 1 in.raw plain.bmp"), 0) << m_strError;
    std::vector<std::int32_t> dark(kFrameBytes, 100);
    Bytes file(reinterpret_cast<const std::uint8_t*>(dark.data()),
               reinterpret_cast<const std::uint8_t*>(dark.data() + dark.size()));
    WriteAll(Path("calimage.data"), file);
    ASSERT_EQ(Run("convert --offset 0 --gain 1 in.raw dark.bmp"), 0) << m_strError;
    ASSERT_EQ(Run("convert --offset 0 --gain 1 --calibration none in.raw none.bmp"), 0);
    EXPECT_NE(ReadAll(Path("plain.bmp")), ReadAll(Path("dark.bmp")));
    EXPECT_EQ(ReadAll(Path("plain.bmp")), ReadAll(Path("none.bmp")));
}

// Catches a recording that differs from what the camera delivered, and a replay of it
// that does not give the same picture.
TEST_F(CliTest, RecordWritesTheCamerasFramesAndTheyReplay) {
    ASSERT_EQ(Run("record --camera sim,fps=0 --frames 4 run.raw"), 0) << m_strError;
    std::string error;
    const CScopedDeviceResolver restored(CurrentDeviceResolver());
    ASSERT_TRUE(SelectCameraSource("sim,fps=0", &error));
    CPortCamera camera;
    ASSERT_EQ(camera.Open(1), 1);
    std::vector<FrameBytes> frames(4, FrameBytes(kFrameBytes));
    for (FrameBytes& frame : frames) {
        ASSERT_EQ(camera.ReadFrame(frame.data()), 1);
    }
    EXPECT_EQ(ReadAll(Path("run.raw")), Concatenate(frames));
    ASSERT_EQ(Run("record --camera replay:run.raw,fps=0 --frames 4 again.raw"), 0) << m_strError;
    EXPECT_EQ(ReadAll(Path("again.raw")), ReadAll(Path("run.raw")));
}

// Catches time points off the plan's times (too early, or never coming), averages or time
// points miscounted, and a plan the sidecar does not record.
TEST_F(CliTest, RecordTakesATimeLapseOfAverages) {
    ASSERT_EQ(Run("record --camera sim,fps=100 --every 0.05 --average 2 --frames 4 run.raw"), 0)
        << m_strError;
    EXPECT_EQ(std::filesystem::file_size(m_dir.File("run.raw")), 4 * kFrameBytes);
    RecordingMetadata metadata;
    ASSERT_TRUE(ReadSidecarOf(m_dir.File("run.raw"), &metadata));
    EXPECT_EQ(metadata.everySeconds, 0.05);
    EXPECT_EQ(metadata.averagedFrames, 2u);
    ASSERT_EQ(metadata.frames.size(), 4u);
    // Each point starts at or after its time; the upper bound only guards against a hang.
    constexpr std::int64_t kClockSlackUs = 2000;
    for (std::size_t k = 1; k < metadata.frames.size(); ++k) {
        const std::int64_t sinceFirst = metadata.frames[k].timeUs - metadata.frames[0].timeUs;
        EXPECT_GE(sinceFirst, std::int64_t(k) * 50000 - kClockSlackUs) << k;
        EXPECT_LT(sinceFirst, std::int64_t(k) * 50000 + 5000000) << k;
    }
    for (const char* bad : {"--every nan", "--every inf", "--every 0", "--every -1", "--average 0",
                            "--average -2", "--average 1.5", "--average 10001"}) {
        EXPECT_EQ(Run(std::string("record --camera sim,fps=0 --frames 2 ") + bad + " bad.raw"), 2)
            << bad;
        EXPECT_NE(m_strError.find(std::string(bad).substr(0, 7)), std::string::npos) << m_strError;
    }
    EXPECT_FALSE(Exists("bad.raw"));
}

// Catches a failed read losing the frames before it, a failure reported as success, or a
// bad source being accepted or leaving a file.
TEST_F(CliTest, FailedRecordingKeepsWholeFramesAndBadSourcesLeaveNothing) {
    EXPECT_EQ(Run("record --camera sim,fps=0,fail-after=2 --frames 5 run.raw"), 1);
    EXPECT_NE(m_strError.find("frame 3"), std::string::npos) << m_strError;
    EXPECT_EQ(std::filesystem::file_size(m_dir.File("run.raw")), 2 * kFrameBytes);
    std::filesystem::remove(m_dir.File("run.raw"));
    std::filesystem::remove(m_dir.File("run.raw.json"));
    EXPECT_EQ(Run("record --camera none --frames 5 run.raw"), 1);
    EXPECT_NE(Run("record --camera nonsense --frames 5 run.raw"), 0);
    EXPECT_NE(m_strError.find("nonsense"), std::string::npos);
    EXPECT_NE(Run("record --camera sim --frames 0 run.raw"), 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 2);  // out, err
}

// Catches the environment variable not selecting the source.
TEST_F(CliTest, EnvironmentSelectsTheCamera) {
    EXPECT_NE(Run("record --frames 1 run.raw", "PANDRY_CAMERA=none"), 0);
    EXPECT_FALSE(Exists("run.raw"));
}

// Catches a calibration that is not the processor's (ten frames, rounded mean) or that
// reports success without a file.
TEST_F(CliTest, CalibrateStoresTheDarkImage) {
    ASSERT_EQ(Run("calibrate --camera sim,dark,fps=0 --output cal.data"), 0) << m_strError;
    Bytes file = ReadAll(Path("cal.data"));
    ASSERT_EQ(file.size(), kFrameBytes * 4);
    const auto* values = reinterpret_cast<const std::int32_t*>(file.data());
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        ASSERT_LE(std::abs(values[i] - CSimulatedCamera::DarkLevel(i)), 1) << i;
    }
    EXPECT_EQ(Run("calibrate --camera sim,fps=0,fail-after=4 --output bad.data"), 1);
    EXPECT_FALSE(Exists("bad.data"));
    EXPECT_EQ(Run("calibrate --camera sim,fps=0 --output no/such/dir/cal.data"), 1);
    EXPECT_NE(m_strError.find("cal.data"), std::string::npos);
}

// Catches a help or source list that leaves out a command or a source.
TEST_F(CliTest, HelpAndSourcesListEverything) {
    ASSERT_EQ(Run("--help"), 0);
    for (const char* word : {"convert", "record", "calibrate", "sources", "replay:PATH"}) {
        EXPECT_NE(m_strOutput.find(word), std::string::npos) << word;
    }
    ASSERT_EQ(Run("sources"), 0);
    for (const CameraSourceInfo& source : CameraSources()) {
        EXPECT_NE(m_strOutput.find(source.name), std::string::npos) << source.name;
    }
    EXPECT_EQ(Run("frobnicate"), 2);
    EXPECT_NE(m_strError.find("frobnicate"), std::string::npos);
}

struct InformationCase {
    const char* name;
    const char* arguments;
    const char* startsWith;  // the first words on standard output
};

void PrintTo(const InformationCase& c, std::ostream* os) {
    *os << c.name;
}

class Information : public CliTest, public ::testing::WithParamInterface<InformationCase> {};

// Catches a way of asking for help or the version that fails or explains the wrong thing.
TEST_P(Information, IsAnsweredOnStandardOutput) {
    EXPECT_EQ(Run(GetParam().arguments), 0) << m_strError;
    EXPECT_EQ(m_strOutput.rfind(GetParam().startsWith, 0), 0u) << m_strOutput;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Information,
    ::testing::Values(InformationCase{"Version", "--version", "pandry-cli 2."},
                      InformationCase{"HelpConvert", "help convert", "Usage: pandry-cli convert"},
                      InformationCase{"HelpRecord", "help record", "Usage: pandry-cli record"},
                      InformationCase{"HelpInspect", "help inspect", "Usage: pandry-cli inspect"},
                      InformationCase{"CalibrateHelp", "calibrate --help",
                                      "Usage: pandry-cli calibrate"},
                      InformationCase{"ExportShortHelp", "export -h", "Usage: pandry-cli export"},
                      InformationCase{"HelpAlone", "help", "Usage: pandry-cli [OPTIONS]"},
                      InformationCase{"HelpSources", "help sources", "Camera sources"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches usage errors that exit otherwise than with 2 and one "pandry-cli: " line naming
// the culprit: help asked about nothing, a help topic followed by more words, a bare tool.
TEST_F(CliTest, UsageErrorsExitWithTwo) {
    EXPECT_EQ(Run("help frobnicate"), 2);
    EXPECT_EQ(m_strError, "pandry-cli: no help on 'frobnicate' (see pandry-cli --help)\n");
    EXPECT_EQ(Run("help convert record"), 2);
    EXPECT_EQ(m_strError.rfind("pandry-cli: ", 0), 0u) << m_strError;
    EXPECT_NE(m_strError.find("record"), std::string::npos) << m_strError;
    EXPECT_EQ(Run(""), 2);
    EXPECT_NE(m_strOutput.find("convert"), std::string::npos) << m_strOutput;
    EXPECT_EQ(Run("record --camera sim,fps=0 run.raw"), 2);
    EXPECT_NE(m_strError.find("--frames"), std::string::npos) << m_strError;
    // NaN passes every range check (a record without end), infinity any upper bound.
    for (const char* seconds : {"nan", "-nan", "inf", "1e999"}) {
        EXPECT_EQ(Run(std::string("record --camera sim --seconds ") + seconds + " run.raw"), 2)
            << seconds;
        EXPECT_NE(m_strError.find("--seconds"), std::string::npos) << m_strError;
    }
    EXPECT_FALSE(Exists("run.raw"));
}

struct NumberCase {
    const char* name;
    const char* offset;
};

// Test listings name the case instead of printing its bytes.
void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusedNumber : public CliTest, public ::testing::WithParamInterface<NumberCase> {};

// Catches a number that is not plainly decimal being taken (the option library alone
// accepts leading blanks and hexadecimal).
TEST_P(RefusedNumber, IsAUsageError) {
    WriteAll(Path("in.raw"), UniformFrame(100));
    EXPECT_EQ(Run(std::string("convert --offset '") + GetParam().offset + "' in.raw out.bmp"), 2);
    EXPECT_NE(m_strError.find("--offset"), std::string::npos) << m_strError;
    EXPECT_FALSE(Exists("out.bmp"));
}

INSTANTIATE_TEST_SUITE_P(Offsets, RefusedNumber,
                         ::testing::Values(NumberCase{"Empty", ""}, NumberCase{"Blank", " 5"},
                                           NumberCase{"Trailing", "5 "}, NumberCase{"Hex", "0x10"},
                                           NumberCase{"Plus", "+5"}, NumberCase{"Point", "5.0"},
                                           NumberCase{"TooLarge", "1000"},
                                           NumberCase{"Huge", "99999999999999999999"}),
                         [](const auto& info) { return std::string(info.param.name); });

class RefusedSeconds : public CliTest, public ::testing::WithParamInterface<NumberCase> {};

// Catches a time that is no finite number being taken: NaN passes a range check and then
// compares false with every limit, so the recording would never end.
TEST_P(RefusedSeconds, IsAUsageErrorAndRecordsNothing) {
    EXPECT_EQ(
        Run(std::string("record --camera sim,fps=0 --seconds '") + GetParam().offset + "' run.raw"),
        2);
    EXPECT_NE(m_strError.find("--seconds"), std::string::npos) << m_strError;
    EXPECT_FALSE(Exists("run.raw"));
}

INSTANTIATE_TEST_SUITE_P(Seconds, RefusedSeconds,
                         ::testing::Values(NumberCase{"NaN", "nan"}, NumberCase{"Infinite", "inf"},
                                           NumberCase{"Negative", "-1"}, NumberCase{"Word", "ten"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches numbers read otherwise than as plain decimals (the library reads "010" as octal
// 8), and a repeated option not taken at its last value as before.
TEST_F(CliTest, NumbersAreDecimalAndTheLastValueCounts) {
    WriteAll(Path("in.raw"), UniformFrame(100));
    ASSERT_EQ(Run("convert --calibration none --offset 10 in.raw ten.bmp"), 0) << m_strError;
    ASSERT_EQ(Run("convert --calibration none --offset=010 in.raw zero-ten.bmp"), 0) << m_strError;
    ASSERT_EQ(Run("convert --calibration none --offset 99 --offset 10 in.raw twice.bmp"), 0)
        << m_strError;
    ASSERT_EQ(Run("convert --calibration none --offset 8 in.raw eight.bmp"), 0) << m_strError;
    EXPECT_EQ(ReadAll(Path("zero-ten.bmp")), ReadAll(Path("ten.bmp")));
    EXPECT_EQ(ReadAll(Path("twice.bmp")), ReadAll(Path("ten.bmp")));
    EXPECT_NE(ReadAll(Path("eight.bmp")), ReadAll(Path("ten.bmp")));
}

// Catches convert refusing a recording cut off mid-frame that export and Python accept: its
// whole frames convert, with a warning naming it.
TEST_F(CliTest, CutOffRecordingConvertsItsWholeFrames) {
    WriteAll(Path("cut.raw"), Bytes(kFrameBytes * 2 - 1, 1));
    for (const char* output : {"cut.bmp", "cut.png"}) {
        ASSERT_EQ(Run(std::string("convert --calibration none cut.raw ") + output), 0)
            << m_strError;
        EXPECT_NE(m_strError.find("cut.raw ends in a cut-off frame"), std::string::npos)
            << m_strError;
        EXPECT_TRUE(Exists(output));
    }
}

// Catches a file named like a command ("record") taken as that command instead of a file.
TEST_F(CliTest, FileNamedLikeACommandIsAFile) {
    WriteAll(Path("record"), UniformFrame(100));
    ASSERT_EQ(Run("convert --calibration none record export"), 0) << m_strError;
    EXPECT_TRUE(Exists("export"));
}

// Catches "--" not ending the options: a file whose name begins with a dash is unreachable.
TEST_F(CliTest, DoubleDashEndsTheOptions) {
    WriteAll(Path("-in.raw"), UniformFrame(100));
    ASSERT_EQ(Run("convert --calibration none -- -in.raw -out.bmp"), 0) << m_strError;
    EXPECT_TRUE(Exists("-out.bmp"));
}

}  // namespace

// Catches a write failing part-way through a frame (a full disk) tearing the last frame or
// losing the frames and the description before it.
TEST_F(CliTest, RecordCutShortByAFailedWriteKeepsWholeFramesAndSaysWhy) {
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 10 * kFrameBytes + kFrameBytes / 2;
    std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const int status = Run("record --camera sim,fps=0 --frames 20 run.raw");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(status, 1);
    EXPECT_NE(m_strError.find("10 whole frames"), std::string::npos) << m_strError;
    EXPECT_EQ(std::filesystem::file_size(Path("run.raw")), 10 * kFrameBytes);
    RecordingMetadata metadata;
    const FileResult sidecar = ReadSidecarOf(Path("run.raw"), &metadata);
    ASSERT_TRUE(sidecar) << sidecar.Error();
    EXPECT_EQ(metadata.frames.size(), 10u);
    EXPECT_EQ(metadata.end, "write failed: File too large");
}
