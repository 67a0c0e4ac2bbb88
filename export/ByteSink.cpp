#include "export/ByteSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

    bool Write(const void* pData, std::size_t size) override {
        return bool(m_file.Write(pData, size));
    }
    bool Finish(std::string* error) override {
        const FileResult committed = m_file.Commit();
        if (!committed) {
            *error = committed.Error();
        }
        return bool(committed);
    }

  private:
    CAtomicFile m_file;
};

class CStandardOutputSink : public IByteSink {
  public:
    bool Write(const void* pData, std::size_t size) override {
        m_bFailed = m_bFailed || !WriteFully(STDOUT_FILENO, pData, size);
        return !m_bFailed;
    }
    bool Finish(std::string* error) override {
        if (m_bFailed) {
            *error = "cannot write to standard output";
        }
        return !m_bFailed;
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

    bool Write(const void* pData, std::size_t size) override {
        m_bWriteFailed = m_bWriteFailed || !m_child.Write(pData, size, m_pInterrupted);
        return !m_bWriteFailed;
    }
    bool Finish(std::string* error) override {
        const bool encoded = m_child.Finish(m_pInterrupted) && !m_bWriteFailed;
        // A stream cut short may still make a playable file: it is not kept either.
        if (!encoded) {
            *error = m_child.Problem().empty()
                         ? "ffmpeg could not encode " + m_strPath + " (see its message above)"
                         : "ffmpeg could not encode " + m_strPath + ": " + m_child.Problem();
            return false;
        }
        if (m_target.exists) {
            // Best effort: only root may give the file back to another owner.
            [[maybe_unused]] int ignored =
                ::chown(m_strTempPath.c_str(), m_target.owner, m_target.group);
            ::chmod(m_strTempPath.c_str(), m_target.mode);
        }
        if (std::rename(m_strTempPath.c_str(), m_target.path.c_str()) != 0) {
            *error = "cannot write " + m_strPath + ": " + std::strerror(errno);
            return false;
        }
        m_strTempPath.clear();
        return true;
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

std::unique_ptr<IByteSink> MakeFileSink(const std::string& path, std::string* error) {
    auto sink = std::make_unique<CFileSink>();
    const FileResult opened = sink->Open(path);
    if (!opened) {
        *error = opened.Error();
        return nullptr;
    }
    return sink;
}

std::unique_ptr<IByteSink> MakeStandardOutputSink() {
    return std::make_unique<CStandardOutputSink>();
}

std::unique_ptr<IByteSink> MakeVideoEncoderSink(const std::string& path, bool lossless,
                                                const std::atomic<bool>* interrupted,
                                                std::string* error) {
    const std::string ffmpeg = FindOnPath("ffmpeg");
    if (ffmpeg.empty()) {
        *error = "cannot write " + path +
                 ": video needs ffmpeg, which is not installed (Debian package 'ffmpeg'); "
                 "export to .y4m or a picture sequence instead";
        return nullptr;
    }
    OutputTarget target;
    if (const FileResult resolved = ResolveOutputTarget(path, &target); !resolved) {
        *error = resolved.Error();
        return nullptr;
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
    auto sink = std::make_unique<CVideoEncoderSink>(path, target, tempPath, interrupted);
    if (!sink->Child().Start(arguments, error)) {
        return nullptr;
    }
    return sink;
}
