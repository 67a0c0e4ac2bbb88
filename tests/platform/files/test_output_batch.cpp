#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/files/OutputBatch.h"
#include "tests/processing/ProcessingTestSupport.h"

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Files may grow to limit bytes while it lives; a write past it fails as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, SIG_DFL);
    }

  private:
    rlimit m_saved{};
};

}  // namespace

// Catches a failed append leaving half its bytes (a torn frame at the end of a recording),
// and a file not cut back when asked.
TEST(OutputBatch, AFailedAppendLeavesTheFileAsItWas) {
    CScratchDirectory directory;
    const std::string path = directory.File("run.raw");
    COutputBatch batch;
    ASSERT_TRUE(batch.Write(path, "0123456789", 10));
    {
        FileSizeLimit limit(15);
        const FileResult failed = batch.Append(path, "abcdefghij", 10);
        EXPECT_FALSE(failed);
        EXPECT_NE(failed.Error().find(path), std::string::npos) << failed.Error();
    }
    ASSERT_TRUE(batch.Append(path, "ab", 2));
    ASSERT_TRUE(batch.Resize(path, 11));  // as a recording gives back its last frames
    ASSERT_TRUE(batch.Commit());
    EXPECT_EQ(Contents(path), "0123456789a");
}

// Catches a dropped file replacing its destination, or taking the others down with it, and
// one destination written twice under two names.
TEST(OutputBatch, DroppedFilesLeaveTheirDestinationAndTheRestLand) {
    CScratchDirectory directory;
    const std::string kept = directory.File("run.raw");
    const std::string dropped = directory.File("run.raw.json");
    std::ofstream(dropped) << "old";
    COutputBatch batch;
    ASSERT_TRUE(batch.Write(kept, "frames", 6));
    ASSERT_TRUE(batch.Write(dropped, "new", 3));
    std::filesystem::create_symlink("run.raw", directory.File("alias.raw"));
    EXPECT_FALSE(batch.Add(directory.File("alias.raw")));
    batch.Drop(dropped);
    ASSERT_TRUE(batch.Commit());
    EXPECT_EQ(Contents(kept), "frames");
    EXPECT_EQ(Contents(dropped), "old");
    EXPECT_EQ(directory.Entries().size(), 3u);  // and the link
}
