#include "export/ByteSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "export/EncoderChild.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/FileIo.h"
#include "platform/files/OutputTarget.h"
#include "platform/files/StaleTempFiles.h"
#include "platform/files/TempFileCleanup.h"

namespace {

class CFileSink : public IByteSink {
  public:
    FileResult Open(const std::string& path) { return m_file.Open(path); }

    FileResult Write(const void* pData, std::size_t size) override {
        return m_file.Write(pData, size);
    }
    FileResult Finish() override { return m_file.Commit(); }

  private:
    CAtomicFile m_file;
};

class CStandardOutputSink : public IByteSink {
  public:
    FileResult Write(const void* pData, std::size_t size) override {
        m_bFailed = m_bFailed || !WriteFully(STDOUT_FILENO, pData, size);
        return Finish();  // the failure, once there was one
    }
    FileResult Finish() override {
        return m_bFailed ? FileResult::Failure("cannot write to standard output") : FileResult{};
    }

  private:
    bool m_bFailed = false;
};

// Where a program would be found on PATH; empty when it is not there.
std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= directories.size()) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos) {
            end = directories.size();
        }
        const std::string candidate = directories.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Encodes into a temporary file beside the destination and renames it into place only when
// the encoder finished cleanly; the temporary file goes whenever it did not.
class CVideoEncoderSink : public IByteSink {
  public:
    CVideoEncoderSink(std::string path, OutputTarget target, std::string tempPath,
                      const std::atomic<bool>* interrupted)
        : m_strPath(std::move(path)),
          m_target(std::move(target)),
          m_strTempPath(std::move(tempPath)),
          m_pInterrupted(interrupted) {
        m_nCleanupTicket = RememberTemporaryFile(m_strTempPath);
    }
    ~CVideoEncoderSink() override {
        m_child.End();
        if (!m_strTempPath.empty()) {
            ::unlink(m_strTempPath.c_str());
        }
        ForgetTemporaryFile(m_nCleanupTicket);
    }
    CEncoderChild& Child() { return m_child; }

    FileResult Write(const void* pData, std::size_t size) override {
        m_bWriteFailed = m_bWriteFailed || !m_child.Write(pData, size, m_pInterrupted);
        // ffmpeg says why it stopped reading only once it has ended.
        return m_bWriteFailed ? Finish() : FileResult{};
    }
    FileResult Finish() override {
        const bool encoded = m_child.Finish(m_pInterrupted) && !m_bWriteFailed;
        // A stream cut short may still make a playable file: it is not kept either.
        if (!encoded) {
            return FileResult::Failure(
                m_child.Problem().empty()
                    ? "ffmpeg could not encode " + m_strPath + " (see its message above)"
                    : "ffmpeg could not encode " + m_strPath + ": " + m_child.Problem());
        }
        if (m_target.exists) {
            // Best effort: only root may give the file back to another owner.
            [[maybe_unused]] int ignored =
                ::chown(m_strTempPath.c_str(), m_target.owner, m_target.group);
            ::chmod(m_strTempPath.c_str(), m_target.mode);
        }
        if (std::rename(m_strTempPath.c_str(), m_target.path.c_str()) != 0) {
            return FileResult::FromErrno("write", m_strPath, errno);
        }
        m_strTempPath.clear();
        return {};
    }

  private:
    std::string m_strPath;
    OutputTarget m_target;
    std::string m_strTempPath;
    const std::atomic<bool>* m_pInterrupted;
    CEncoderChild m_child;
    int m_nCleanupTicket = -1;
    bool m_bWriteFailed = false;
};

}  // namespace

FileResult MakeFileSink(const std::string& path, std::unique_ptr<IByteSink>* sink) {
    auto file = std::make_unique<CFileSink>();
    FileResult opened = file->Open(path);
    if (opened) {
        *sink = std::move(file);
    }
    return opened;
}

std::unique_ptr<IByteSink> MakeStandardOutputSink() {
    return std::make_unique<CStandardOutputSink>();
}

FileResult MakeVideoEncoderSink(const std::string& path, bool lossless,
                                const std::atomic<bool>* interrupted,
                                std::unique_ptr<IByteSink>* sink) {
    const std::string ffmpeg = FindOnPath("ffmpeg");
    if (ffmpeg.empty()) {
        return FileResult::Failure(
            "cannot write " + path +
            ": video needs ffmpeg, which is not installed (Debian package 'ffmpeg'); "
            "export to .y4m or a picture sequence instead");
    }
    OutputTarget target;
    if (FileResult resolved = ResolveOutputTarget(path, &target); !resolved) {
        return resolved;
    }
    RemoveStaleTemporaryFilesOf(target.path);
    static std::atomic<unsigned> serial{0};
    const std::string tempPath = TemporaryNameBeside(target.path, ++serial);
    // The temporary name has no extension to tell ffmpeg the container.
    const std::string container =
        std::filesystem::path(path).extension() == ".mkv" ? "matroska" : "mp4";
    // Each picture keeps its own time: none is doubled or dropped to fit a rate, and the
    // encoder counts in the stream's microseconds rather than in a guessed rate's ticks.
    std::vector<std::string> arguments = {
        ffmpeg,      "-hide_banner", "-loglevel",      "error", "-nostdin",
        "-y",        "-f",           "matroska",       "-i",    "pipe:0",
        "-fps_mode", "passthrough",  "-enc_time_base", "-1"};
    const std::vector<std::string> encoding = lossless
                                                  ? std::vector<std::string>{"-c:v", "ffv1"}
                                                  : std::vector<std::string>{"-pix_fmt", "yuv420p"};
    arguments.insert(arguments.end(), encoding.begin(), encoding.end());
    arguments.insert(arguments.end(), {"-f", container, tempPath});
    auto encoder = std::make_unique<CVideoEncoderSink>(path, target, tempPath, interrupted);
    if (std::string problem; !encoder->Child().Start(arguments, &problem)) {
        return FileResult::Failure(problem);
    }
    *sink = std::move(encoder);
    return {};
}
