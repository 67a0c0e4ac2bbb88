#include "export/ByteSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "export/EncoderChild.h"
#include "export/MetadataText.h"
#include "export/PictureWriter.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/FileIo.h"
#include "platform/files/StaleTempFiles.h"

namespace {

// The output as ffmpeg sees it: our descriptor 3, through the file protocol only, so that no
// output name is ever taken for a URL.
constexpr char kFdPath[] = "/dev/fd/3";
constexpr char kEncoderOutput[] = "file:/dev/fd/3";
// FFV1 in slices, so that its threads share each frame.
constexpr char kLosslessSlices[] = "4";

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

// Encodes into the aside file of the destination, which ffmpeg gets as its descriptor 3 (so
// no name of ours reaches it or its messages), and renames it into place only when the
// encoder finished cleanly.
class CVideoEncoderSink : public IByteSink {
  public:
    CVideoEncoderSink(std::string path, const std::atomic<bool>* interrupted)
        : m_strPath(std::move(path)), m_pInterrupted(interrupted) {}
    ~CVideoEncoderSink() override { m_child.End(); }
    CAtomicFile& File() { return m_file; }
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
            // ffmpeg's own reason, when it gave one, tells more than the broken pipe.
            std::string reason = EncoderReason(m_child.LastMessage());
            if (reason.empty()) {
                reason = m_child.Problem();
            }
            return FileResult::Failure("ffmpeg could not encode " + m_strPath +
                                       (reason.empty() ? "" : ": " + reason));
        }
        return m_file.Commit();
    }

  private:
    // ffmpeg's last line with our descriptor's name replaced by the output's.
    std::string EncoderReason(std::string message) const {
        for (const std::string& alias : {std::string(kEncoderOutput), std::string(kFdPath)}) {
            for (std::size_t at; (at = message.find(alias)) != std::string::npos;) {
                message.replace(at, alias.size(), m_strPath);
            }
        }
        return OneLine(message);
    }

    std::string m_strPath;
    const std::atomic<bool>* m_pInterrupted;
    CAtomicFile m_file;
    CEncoderChild m_child;  // after m_file: ended before the file is discarded
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

FileResult MakeVideoEncoderSink(const std::string& path, bool lossless, unsigned jobs,
                                const NamedValues& tags, const std::atomic<bool>* interrupted,
                                std::unique_ptr<IByteSink>* sink) {
    const std::string ffmpeg = FindOnPath("ffmpeg");
    if (ffmpeg.empty()) {
        return FileResult::Failure(
            "cannot write " + path +
            ": video needs ffmpeg, which is not installed (Debian package 'ffmpeg'); "
            "export to .y4m or a picture sequence instead");
    }
    RemoveStaleTemporaryFilesOf(path);
    auto encoder = std::make_unique<CVideoEncoderSink>(path, interrupted);
    if (FileResult opened = encoder->File().Open(path); !opened) {
        return opened;
    }
    // The descriptor has no extension to tell ffmpeg the container.
    const std::string container = LowerExtension(path) == "mkv" ? "matroska" : "mp4";
    const std::string threads =
        std::to_string(jobs != 0 ? jobs : std::max(1u, std::thread::hardware_concurrency()));
    // Each picture keeps its own time: none is doubled or dropped to fit a rate, and the
    // encoder counts in the stream's microseconds rather than in a guessed rate's ticks.
    std::vector<std::string> arguments = {
        ffmpeg,      "-hide_banner", "-loglevel",      "error", "-nostdin",
        "-y",        "-f",           "matroska",       "-i",    "pipe:0",
        "-fps_mode", "passthrough",  "-enc_time_base", "-1"};
    const std::vector<std::string> encoding =
        lossless ? std::vector<std::string>{"-c:v",    "ffv1",          "-level",   "3",
                                            "-slices", kLosslessSlices, "-threads", threads}
                 : std::vector<std::string>{"-pix_fmt", "yuv420p"};
    arguments.insert(arguments.end(), encoding.begin(), encoding.end());
    for (const auto& [key, value] : tags) {
        arguments.insert(arguments.end(), {"-metadata", ImageJKey(key) + "=" + OneLine(value)});
    }
    if (container == "mp4") {
        arguments.insert(arguments.end(), {"-movflags", "+use_metadata_tags"});
    }
    arguments.insert(arguments.end(), {"-f", container, kEncoderOutput});
    if (std::string problem;
        !encoder->Child().Start(arguments, encoder->File().Descriptor(), &problem)) {
        return FileResult::Failure(problem);
    }
    *sink = std::move(encoder);
    return {};
}
