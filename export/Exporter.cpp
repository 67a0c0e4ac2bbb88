#include "export/Exporter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "camera/ReplaySource.h"
#include "export/ByteSink.h"
#include "export/OutputPattern.h"
#include "export/PictureWriter.h"
#include "export/Y4mEncoder.h"
#include "platform/files/FileIo.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"

namespace {

constexpr double kDefaultFramesPerSecond = 25;

enum class OutputKind { kSequence, kY4m, kVideo, kNone };

OutputKind KindOf(const std::string& output) {
    if (output == "-") {
        return OutputKind::kY4m;
    }
    const std::string extension = LowerExtension(output);
    if (extension == "y4m") {
        return OutputKind::kY4m;
    }
    if (extension == "mp4" || extension == "mkv") {
        return OutputKind::kVideo;
    }
    for (const char* picture : {"png", "tif", "tiff", "bmp", "pgm", "ppm"}) {
        if (extension == picture) {
            return OutputKind::kSequence;
        }
    }
    return OutputKind::kNone;
}

// The recorded rate, from the first and last frame times; the default without them.
double RecordedRate(const RecordingMetadata& metadata) {
    const auto& frames = metadata.frames;
    if (frames.size() < 2 || frames.back().timeMs <= frames.front().timeMs) {
        return kDefaultFramesPerSecond;
    }
    return double(frames.size() - 1) * 1000.0 /
           double(frames.back().timeMs - frames.front().timeMs);
}

// Reads whole frames one at a time.
class CFrameReader {
  public:
    explicit CFrameReader(const std::string& path)
        : m_nFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~CFrameReader() {
        if (m_nFd >= 0) {
            ::close(m_nFd);
        }
    }
    bool Read(std::uint64_t frame, std::uint8_t* pFrame) const {
        return ReadFullyAt(m_nFd, pFrame, kFrameBytes, off_t(frame * kFrameBytes));
    }

  private:
    int m_nFd;
};

// Removes the files of a sequence unless told they are all there.
class CWrittenFiles {
  public:
    ~CWrittenFiles() {
        for (const std::string& path : m_paths) {
            ::unlink(path.c_str());
        }
    }
    void Add(const std::string& path) { m_paths.push_back(path); }
    void Keep() { m_paths.clear(); }

  private:
    std::vector<std::string> m_paths;
};

// One flush for the whole sequence: far faster than one per file.
bool FlushDirectoryOf(const std::string& path, std::string* error) {
    std::filesystem::path directory = std::filesystem::path(path).parent_path();
    const std::string name = directory.empty() ? "." : directory.string();
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = fd >= 0 && ::syncfs(fd) == 0;
    if (!flushed) {
        *error = "cannot write the pictures in " + name + ": " + std::strerror(errno);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return flushed;
}

}  // namespace

bool CheckExportOutput(const std::string& output, std::string* error) {
    if (KindOf(output) == OutputKind::kNone) {
        *error = "cannot tell the format of " + output +
                 ": use .png, .tif, .tiff, .bmp, .pgm, .ppm, .y4m (or - for standard output), "
                 ".mp4 or .mkv";
        return false;
    }
    COutputPattern pattern;
    return KindOf(output) != OutputKind::kSequence ||
           COutputPattern::Parse(output, &pattern, error);
}

bool RunExport(const ExportRequest& request, const ExportProgress& progress,
               const std::atomic<bool>& interrupted, std::string* warning, std::string* error) {
    warning->clear();
    if (!CheckExportOutput(request.output, error)) {
        return false;
    }
    const std::uint64_t frames = CReplaySource::CountWholeFrames(request.input, error, warning);
    if (frames == 0) {
        return false;
    }
    if (request.first >= frames || request.first > request.last) {
        *error = "frames " + std::to_string(request.first) + "-" +
                 (request.last == std::numeric_limits<std::uint64_t>::max()
                      ? std::string()
                      : std::to_string(request.last)) +
                 " are not in " + request.input + ", which holds frames 0-" +
                 std::to_string(frames - 1);
        return false;
    }
    const std::uint64_t last = std::min(request.last, frames - 1);
    RecordingMetadata metadata;
    std::string sidecarProblem;
    std::error_code ignored;
    const bool hasSidecar = std::filesystem::exists(SidecarPathFor(request.input), ignored) &&
                            ReadSidecarOf(request.input, &metadata, &sidecarProblem);
    if (!sidecarProblem.empty()) {
        *warning += (warning->empty() ? "" : "; ") + sidecarProblem + " (frame times unknown)";
    }
    if (hasSidecar && metadata.frames.size() < frames) {
        metadata.frames.clear();  // it does not describe these frames
    }

    const OutputKind kind = KindOf(request.output);
    COutputPattern pattern;
    std::unique_ptr<IPictureWriter> writer;
    std::unique_ptr<IByteSink> sink;
    if (kind == OutputKind::kSequence) {
        COutputPattern::Parse(request.output, &pattern, error);
        writer = PictureWriterFor(request.output);
        writer->SetFlushEachFile(false);
    } else if (kind == OutputKind::kVideo) {
        sink = MakeVideoEncoderSink(request.output, error);
    } else if (request.output == "-") {
        sink = MakeStandardOutputSink();
    } else {
        sink = MakeFileSink(request.output, error);
    }
    if (kind != OutputKind::kSequence && !sink) {
        return false;
    }

    CFrameRenderer renderer(request.render);
    CFrameReader reader(request.input);
    CY4mEncoder y4m;
    if (sink) {
        const std::string header = y4m.Header(renderer.Width(), renderer.Height(),
                                              !request.render.color, RecordedRate(metadata));
        if (!sink->Write(header.data(), header.size())) {
            sink->Finish(error);  // for its reason; a failed sink keeps nothing
            return false;
        }
    }
    CWrittenFiles written;
    std::vector<std::uint8_t> raw(kFrameBytes);
    Picture picture;
    PictureText text;
    text.settings = request.render.Describe();
    const std::uint64_t total = last - request.first + 1;
    for (std::uint64_t frame = request.first; frame <= last; ++frame) {
        if (interrupted.load()) {
            *error = "interrupted; nothing kept of " + request.output;
            return false;
        }
        if (!reader.Read(frame, raw.data())) {
            *error = "cannot read frame " + std::to_string(frame) + " of " + request.input;
            return false;
        }
        if (!renderer.Render(raw.data(), &picture)) {
            *error = "cannot process frame " + std::to_string(frame) + " of " + request.input;
            return false;
        }
        text.frame = frame;
        text.timeMs = frame < metadata.frames.size() ? metadata.frames[frame].timeMs : -1;
        if (writer) {
            const std::string path = pattern.NameFor(frame);
            if (!writer->Write(picture, text, path, error)) {
                return false;
            }
            written.Add(path);
        } else {
            const std::vector<std::uint8_t>& bytes = y4m.Frame(picture);
            if (!sink->Write(bytes.data(), bytes.size())) {
                sink->Finish(error);  // for its reason; a failed sink keeps nothing
                return false;
            }
        }
        if (progress) {
            progress(frame - request.first + 1, total);
        }
    }
    if (sink && !sink->Finish(error)) {
        return false;
    }
    if (writer && !FlushDirectoryOf(pattern.NameFor(last), error)) {
        return false;
    }
    written.Keep();
    return true;
}
