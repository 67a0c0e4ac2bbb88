#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/files/AtomicFile.h"
#include "tests/processing/ProcessingTestSupport.h"

namespace {

const std::vector<std::uint8_t> kContent = {1, 2, 3, 4, 5};

FileResult WriteWhole(const std::string& path) {
    return WriteFileAtomically(path, kContent.data(), kContent.size());
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

struct SpecialOutput {
    const char* name;
    const char* reason;  // what the refusal must say
    std::string (*make)(const CScratchDirectory&);
};

void PrintTo(const SpecialOutput& c, std::ostream* os) {
    *os << c.name;
}

// Each makes a node that is not a regular file and returns its name.
std::string MakeFifo(const CScratchDirectory& directory) {
    const std::string path = directory.File("out.fifo");
    ::mkfifo(path.c_str(), 0600);
    return path;
}
std::string MakeFolder(const CScratchDirectory& directory) {
    const std::string path = directory.File("out.bmp");
    std::filesystem::create_directory(path);
    return path;
}
std::string MakeSocket(const CScratchDirectory& directory) {
    const std::string path = directory.File("out.sock");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
    return path;
}
std::string DeviceNode(const CScratchDirectory&) {
    return "/dev/null";
}
std::string LinkToDevice(const CScratchDirectory& directory) {
    const std::string path = directory.File("null.bmp");
    std::filesystem::create_symlink("/dev/null", path);
    return path;
}

class SpecialOutputs : public ::testing::TestWithParam<SpecialOutput> {
  protected:
    CScratchDirectory m_directory;
};

// Catches a write that renames a file over a device, FIFO, socket or directory (run as
// root it replaced /dev/full with a regular file), or that fails without saying why.
TEST_P(SpecialOutputs, AreRefusedAndLeftAsTheyWere) {
    const std::string path = GetParam().make(m_directory);
    const mode_t before = ModeOf(path);
    CAtomicFile file;
    const FileResult opened = file.Open(path);
    EXPECT_FALSE(file.IsOpen());
    const FileResult committed = file.Commit();
    EXPECT_FALSE(committed);
    EXPECT_NE(opened.Error().find("cannot write " + path), std::string::npos) << opened.Error();
    EXPECT_NE(opened.Error().find(GetParam().reason), std::string::npos) << opened.Error();
    EXPECT_EQ(ModeOf(path), before);
    EXPECT_EQ(committed.Error(), opened.Error());
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialOutputs,
                         ::testing::Values(SpecialOutput{"Fifo", "FIFO", MakeFifo},
                                           SpecialOutput{"Directory", "directory", MakeFolder},
                                           SpecialOutput{"Socket", "socket", MakeSocket},
                                           SpecialOutput{"DeviceNode", "device", DeviceNode},
                                           SpecialOutput{"LinkToDevice", "device", LinkToDevice}),
                         [](const auto& info) { return std::string(info.param.name); });

class ReplacedOutput : public ::testing::Test {
  protected:
    CScratchDirectory m_directory;
};

// Catches a symbolic link replaced by a file instead of its target being rewritten.
TEST_F(ReplacedOutput, SymbolicLinkIsFollowed) {
    const std::string target = m_directory.File("target.bmp");
    const std::string link = m_directory.File("link.bmp");
    WriteBytes(target, {9});
    std::filesystem::create_symlink("target.bmp", link);
    ASSERT_TRUE(WriteWhole(link));
    EXPECT_TRUE(S_ISLNK(ModeOf(link)));
    EXPECT_EQ(ReadBytes(target), kContent);
}

// Catches a link to a file not yet there being replaced instead of creating its target.
TEST_F(ReplacedOutput, DanglingLinkCreatesItsTarget) {
    const std::string link = m_directory.File("link.bmp");
    std::filesystem::create_symlink("new.bmp", link);
    ASSERT_TRUE(WriteWhole(link));
    EXPECT_TRUE(S_ISLNK(ModeOf(link)));
    EXPECT_EQ(ReadBytes(m_directory.File("new.bmp")), kContent);
}

// Catches a replaced file coming back with the umask's permissions instead of its own.
TEST_F(ReplacedOutput, KeepsItsPermissions) {
    const std::string path = m_directory.File("private.bmp");
    WriteBytes(path, {9});
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteWhole(path));
    EXPECT_EQ(ModeOf(path) & 07777, 0640u);
}

// Catches a read-only file silently replaced (its owner made it so; a direct write fails).
TEST_F(ReplacedOutput, ReadOnlyFileIsRefused) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running with permission to write anything";
    }
    const std::string path = m_directory.File("locked.bmp");
    WriteBytes(path, {9});
    ::chmod(path.c_str(), 0444);
    CAtomicFile file;
    const FileResult opened = file.Open(path);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_NE(opened.Error().find("Permission denied"), std::string::npos) << opened.Error();
    EXPECT_EQ(ReadBytes(path), std::vector<std::uint8_t>{9});
}

class LongNames : public ReplacedOutput, public ::testing::WithParamInterface<std::size_t> {};

// Catches a temporary name that outgrows the file-name limit, failing names the folder
// itself accepts.
TEST_P(LongNames, FitTheFileNameLimit) {
    const std::string path = m_directory.File(std::string(GetParam(), 'n'));
    const FileResult written = WriteWhole(path);
    ASSERT_TRUE(written) << written.Error();
    EXPECT_EQ(ReadBytes(path), kContent);
    EXPECT_EQ(m_directory.Entries().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongNames, ::testing::Values(200, 240, 254, 255));

// Catches a failure reported without the file or the system's reason.
TEST_F(ReplacedOutput, FailureNamesFileAndReason) {
    const std::string path = m_directory.File("missing/out.bmp");
    const FileResult written = WriteWhole(path);
    EXPECT_FALSE(written);
    EXPECT_EQ(written.Error(), "cannot write " + path + ": No such file or directory");
}

class EndingSignals : public ::testing::TestWithParam<int> {
  protected:
    CScratchDirectory m_directory;
};

// Catches a temporary file left behind (hundreds of MB during a recording) when the
// process is ended by Ctrl-C, SIGTERM or SIGHUP part-way through a write.
TEST_P(EndingSignals, RemoveTheTemporaryFile) {
    const std::string path = m_directory.File("run.raw");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CAtomicFile file;
        const bool written = file.Open(path) && file.Write(kContent.data(), kContent.size());
        if (written && !std::filesystem::is_empty(std::filesystem::path(path).parent_path())) {
            ::raise(GetParam());
        }
        ::_exit(99);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), GetParam());
    EXPECT_TRUE(m_directory.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, EndingSignals, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

}  // namespace
