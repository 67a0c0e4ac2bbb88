// Export against the files already there, signals, and an encoder that stops reading.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sensor/LogPolarFrame.h"
#include "tests/tools/CliRunner.h"

namespace {

using Clock = std::chrono::steady_clock;

// A deadline that only a hang misses.
constexpr std::chrono::seconds kHang{60};

std::string ReadText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

// A process id that no longer exists: a child that has already been waited for.
pid_t DeadProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

class ExportSafety : public CliFixture {
  protected:
    void SetUp() override { WriteFrames("in.raw", std::vector<FrameBytes>(4, UniformFrame(90))); }
    void WriteText(const std::string& name, const std::string& text) {
        std::ofstream(Path(name)) << text;
    }
    // Starts pandry-cli ARGS in the scratch folder with PATH led by its bin/ folder.
    pid_t Start(const std::vector<std::string>& arguments) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(m_dir.Path().c_str()) != 0) {
                ::_exit(98);
            }
            const std::string path = m_dir.Path().string() + "/bin:" + std::getenv("PATH");
            ::setenv("PATH", path.c_str(), 1);
            ::freopen("err.txt", "w", stderr);
            std::vector<char*> argv{const_cast<char*>(PANDRY_CLI_PATH)};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(PANDRY_CLI_PATH, argv.data());
            ::_exit(97);
        }
        return child;
    }
    bool WaitFor(const std::function<bool()>& ready) {
        const auto deadline = Clock::now() + kHang;
        while (!ready()) {
            if (Clock::now() > deadline) {
                return false;
            }
            std::this_thread::yield();
        }
        return true;
    }
    bool AnyTemporaryFile() const {
        for (const std::string& name : Listing()) {
            if (name.find(".tmp-") != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

// Catches an export that fails half-way and removes pictures that were there before it
// (its clean-up used to remove every name it had written, the replaced ones too).
TEST_F(ExportSafety, FailedExportKeepsTheFilesThatWereThere) {
    for (int k = 0; k < 3; ++k) {
        WriteText("g-" + std::to_string(k) + ".png", "OLD");
    }
    std::filesystem::create_directory(Path("g-3.png"));
    EXPECT_EQ(Run("export --calibration none in.raw g-%d.png"), 1);
    EXPECT_NE(m_strError.find("g-3.png: it is a directory"), std::string::npos) << m_strError;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(ReadText(Path("g-" + std::to_string(k) + ".png")), "OLD");
    }
    EXPECT_EQ(Listing(),
              (std::vector<std::string>{"g-0.png", "g-1.png", "g-2.png", "g-3.png", "in.raw"}));
}

class InterruptedExport : public ExportSafety, public ::testing::WithParamInterface<int> {};

// Catches a signal that leaves temporary pictures, removes older ones, or (SIGHUP) is not
// caught at all; the export is stopped while it writes, seen by its first temporary file.
TEST_P(InterruptedExport, KeepsOlderPicturesAndLeavesNoTemporaryFile) {
    WriteFrames("in.raw", std::vector<FrameBytes>(400, UniformFrame(90)));
    for (int k = 0; k < 400; k += 20) {
        WriteText("p-" + std::to_string(k) + ".png", "OLD");
    }
    const pid_t child =
        Start({"export", "--calibration", "none", "--size", "512", "in.raw", "p-%d.png"});
    ASSERT_TRUE(WaitFor([&] { return AnyTemporaryFile(); }));
    ::kill(child, GetParam());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
    EXPECT_FALSE(AnyTemporaryFile());
    for (int k = 0; k < 400; k += 20) {
        EXPECT_EQ(ReadText(Path("p-" + std::to_string(k) + ".png")), "OLD") << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedExport, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(strsignal(info.param)); });

// Catches temporary files a killed run left that nothing removes, and a clean-up that takes
// files of a live process or of another destination.
TEST_F(ExportSafety, LaterRunRemovesOnlyItsOwnStaleTemporaryFiles) {
    const std::string dead = std::to_string(DeadProcess());
    const std::string live = std::to_string(::getpid());
    for (const std::string& name : {"s-7.png.tmp-" + dead + "-1", "s-8.png.tmp-" + live + "-2",
                                    "other.png.tmp-" + dead + "-3", "v.y4m.tmp-" + dead + "-4"}) {
        WriteText(name, "LEFT");
    }
    ASSERT_EQ(Run("export --calibration none --frames 0 in.raw s-%d.png"), 0) << m_strError;
    ASSERT_EQ(Run("export --calibration none --frames 0 in.raw v.y4m"), 0) << m_strError;
    EXPECT_EQ(Listing(),
              (std::vector<std::string>{"in.raw", "other.png.tmp-" + dead + "-3", "s-0.png",
                                        "s-8.png.tmp-" + live + "-2", "v.y4m"}));
}

struct OutputCase {
    const char* name;
    const char* output;   // what export is asked to write
    const char* special;  // the name made special beforehand
    bool fifo;            // a FIFO there, else a link to /dev/null
};

void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << c.name;
}

class SpecialOutput : public ExportSafety, public ::testing::WithParamInterface<OutputCase> {};

// Catches sequences and videos that replace a FIFO by a file, or write into a device.
TEST_P(SpecialOutput, IsRefusedAndLeftAsItWas) {
    const std::string special = Path(GetParam().special);
    if (GetParam().fifo) {
        ASSERT_EQ(::mkfifo(special.c_str(), 0644), 0);
    } else {
        std::filesystem::create_symlink("/dev/null", special);
    }
    EXPECT_EQ(Run(std::string("export --calibration none in.raw ") + GetParam().output), 1);
    EXPECT_NE(m_strError.find(GetParam().fifo ? "it is a FIFO" : "it is a device"),
              std::string::npos)
        << m_strError;
    struct stat info {};
    ASSERT_EQ(::lstat(special.c_str(), &info), 0);
    EXPECT_TRUE(GetParam().fifo ? S_ISFIFO(info.st_mode) : S_ISLNK(info.st_mode));
    EXPECT_FALSE(AnyTemporaryFile());
}

INSTANTIATE_TEST_SUITE_P(
    All, SpecialOutput,
    ::testing::Values(OutputCase{"SequenceFifo", "q-%d.png", "q-1.png", true},
                      OutputCase{"SequenceDevice", "q-%d.pgm", "q-2.pgm", false},
                      OutputCase{"VideoFifo", "p.mp4", "p.mp4", true},
                      OutputCase{"VideoDevice", "n.mkv", "n.mkv", false},
                      OutputCase{"StreamDevice", "n.y4m", "n.y4m", false},
                      OutputCase{"StackFifo", "o.tif", "o.tif", true},
                      OutputCase{"StackDevice", "d.ome.tif", "d.ome.tif", false}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a link in a sequence or to a video that is itself replaced (the file it names left
// untouched) or a replaced file that loses its permissions.
TEST_F(ExportSafety, LinksAreFollowedAndModesKept) {
    const bool video = std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
    std::vector<std::pair<std::string, std::string>> cases = {{"f-0.png", "f-%d.png"},
                                                              {"s.tif", "s.tif"}};
    if (video) {
        cases.push_back({"l.mkv", "l.mkv"});
    }
    for (const auto& [link, output] : cases) {
        const std::string target = Path("target-" + link);
        WriteText("target-" + link, "OLD");
        ::chmod(target.c_str(), 0600);
        std::filesystem::create_symlink("target-" + link, Path(link));
        ASSERT_EQ(Run("export --calibration none --frames 0 in.raw " + output), 0) << m_strError;
        EXPECT_TRUE(std::filesystem::is_symlink(Path(link))) << link;
        EXPECT_GT(std::filesystem::file_size(target), 3u) << link;
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << link;
    }
}

class StuckEncoder : public ExportSafety, public ::testing::WithParamInterface<int> {};

// Catches an encoder that outlives the export or keeps its temporary file: this one ignores
// SIGTERM and never reads, so the export is blocked on its pipe when the signal comes.
TEST_P(StuckEncoder, IsEndedWithTheExportAndItsFileRemoved) {
    std::filesystem::create_directory(Path("bin"));
    WriteText("bin/ffmpeg", "#!/bin/sh\ntrap '' TERM\necho $$ > encoder.pid\nexec sleep 600\n");
    ::chmod(Path("bin/ffmpeg").c_str(), 0755);
    WriteText("old.mp4", "OLD");
    const pid_t child = Start({"export", "--calibration", "none", "in.raw", "old.mp4"});
    ASSERT_TRUE(WaitFor([&] { return !ReadText(Path("encoder.pid")).empty(); }));
    const pid_t encoder = std::stoi(ReadText(Path("encoder.pid")));
    ::kill(child, GetParam());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
    EXPECT_NE(ReadText(Path("err.txt")).find("old.mp4"), std::string::npos);
    EXPECT_TRUE(::kill(encoder, 0) != 0 && errno == ESRCH) << "the encoder still runs";
    EXPECT_EQ(ReadText(Path("old.mp4")), "OLD");
    EXPECT_FALSE(AnyTemporaryFile());
}

INSTANTIATE_TEST_SUITE_P(Signals, StuckEncoder, ::testing::Values(SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(strsignal(info.param)); });

struct SidecarKind {
    const char* name;
    void (*make)(const std::string& path);
    const char* mentions;
};

void PrintTo(const SidecarKind& c, std::ostream* os) {
    *os << c.name;
}

class SpecialSidecar : public ExportSafety, public ::testing::WithParamInterface<SidecarKind> {};

// Catches a sidecar read that hangs on a FIFO, eats memory on a device, throws on a
// directory or reads a huge file whole: each is told in one line naming it, at once.
TEST_P(SpecialSidecar, IsRefusedInOneLine) {
    GetParam().make(Path("in.raw.json"));
    for (const char* command :
         {"export --calibration none in.raw o.y4m",
          "record --calibration none --camera replay:in.raw --frames 1 r.raw"}) {
        Run(command);
        EXPECT_NE(m_strError.find("in.raw.json: " + std::string(GetParam().mentions)),
                  std::string::npos)
            << command << ": " << m_strError;
        EXPECT_EQ(m_strError.find("terminate"), std::string::npos) << m_strError;
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, SpecialSidecar,
    ::testing::Values(
        SidecarKind{"Fifo", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); },
                    "it is a FIFO"},
        SidecarKind{"Directory", [](const std::string& p) { std::filesystem::create_directory(p); },
                    "it is a directory"},
        SidecarKind{"Device",
                    [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
                    "it is a device"},
        SidecarKind{"Oversized",
                    [](const std::string& p) {
                        std::ofstream(p) << "{";
                        std::filesystem::resize_file(p, std::uintmax_t(65) << 20);
                    },
                    "it holds"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// Catches a stack written through a name planted beside it, temporary files of a killed run
// left beside a linked name's target, and two exports to one stack at once that collide.
TEST_F(ExportSafety, PlantedNamesAreNotWrittenThroughAndStaleOnesGo) {
    WriteText("victim", "VICTIM");
    std::filesystem::create_symlink("victim", Path("s.tif.partial"));
    const std::string stale = "target.tif.tmp-" + std::to_string(DeadProcess()) + "-1";
    std::filesystem::create_directory(Path("elsewhere"));
    WriteText("elsewhere/" + stale, "LEFT");
    std::filesystem::create_symlink("elsewhere/target.tif", Path("l.tif"));
    const pid_t other = Start({"export", "--calibration", "none", "in.raw", "s.tif"});
    EXPECT_EQ(Run("export --calibration none in.raw s.tif"), 0) << m_strError;
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadText(Path("err.txt"));
    EXPECT_EQ(Run("export --calibration none in.raw l.tif"), 0) << m_strError;
    EXPECT_EQ(ReadText(Path("victim")), "VICTIM");
    EXPECT_FALSE(std::filesystem::is_symlink(Path("s.tif")));
    EXPECT_FALSE(Exists("elsewhere/" + stale));
    EXPECT_FALSE(AnyTemporaryFile());
}

// Catches output names that ffmpeg takes for URLs (standard output, a checksum, ...) and
// ffmpeg's own lines, or the name of our descriptor, reaching the user beside ours.
TEST_F(ExportSafety, VideoNamesAreFilesAndFfmpegSpeaksThroughUs) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    for (const char* name : {"pipe:1.mkv", "md5:x.mkv", "file:f.mkv"}) {
        EXPECT_EQ(Run(std::string("export --calibration none in.raw ") + name), 0) << m_strError;
        EXPECT_GT(std::filesystem::file_size(Path(name)), 100u) << name;
        EXPECT_TRUE(m_strOutput.empty()) << name;
    }
    std::filesystem::create_directory(Path("bin"));
    WriteText("bin/ffmpeg",
              "#!/bin/sh\ncat >/dev/null\necho 'first line' >&2\n"
              "echo 'Error writing /dev/fd/3: Disk quota exceeded' >&2\nexit 1\n");
    ::chmod(Path("bin/ffmpeg").c_str(), 0755);
    const pid_t child = Start({"export", "--calibration", "none", "in.raw", "q.mp4"});
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(ReadText(Path("err.txt")),
              "pandry-cli: ffmpeg could not encode q.mp4: Error writing q.mp4: Disk quota "
              "exceeded\n");
    EXPECT_FALSE(AnyTemporaryFile());
}

class InjectedText : public ExportSafety, public ::testing::WithParamInterface<const char*> {};

// Catches text from a file's name that adds lines, keys or markup to what an export keeps
// (ImageJ reading "frames=1" from a calibration's name, an OME-XML that is not well-formed):
// every format is read back as other programs read it.
TEST_P(InjectedText, StaysInsideItsValue) {
    const std::string calibration = "c\nframes=1\r\x01\"<&\xff\x1b[31m.data";
    WriteText(calibration, std::string(4 * kFrameBytes, '\0'));
    ASSERT_EQ(Run("export --frames 0-1 --calibration '" + calibration + "' in.raw " + GetParam()),
              0)
        << m_strError;
    const std::string written = std::string(GetParam()).find('%') != std::string::npos
                                    ? std::string(GetParam()).replace(2, 2, "1")
                                    : GetParam();
    const std::string check = std::string(PANDRY_METADATA_CHECK) + " '" + Path(written) + "'";
    const int status = std::system(check.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "tifffile is not installed";
    }
    EXPECT_EQ(status, 0) << written;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, InjectedText,
                         ::testing::Values("p-%d.png", "p-%d.pgm", "p-%d.tif", "s.tif",
                                           "s.ome.tif"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(name.find('.') + 1) == "ome.tif"
                                        ? std::string("OmeTiff")
                                    : name[1] == '-' ? "Picture" + name.substr(5, 3)
                                                     : std::string("ImageJStack");
                         });
