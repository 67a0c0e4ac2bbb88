#include "export/Exporter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/ReplaySource.h"
#include "export/ByteSink.h"
#include "export/ExportFormats.h"
#include "export/FramePipeline.h"
#include "export/MatroskaRawStream.h"
#include "export/OutputPattern.h"
#include "export/PictureWriter.h"
#include "export/RecordedFrames.h"
#include "export/RecordedTiming.h"
#include "export/RecordingHistory.h"
#include "export/TiffStackWriter.h"
#include "export/Y4mEncoder.h"
#include "platform/files/FileIo.h"
#include "platform/files/OutputBatch.h"
#include "platform/files/StaleTempFiles.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"

namespace {

constexpr double kDefaultFramesPerSecond = 25;

enum class OutputKind { kSequence, kStack, kY4m, kVideo, kNone };

// Whether a name holds a printf-style conversion ("%%" is a plain percent sign).
bool HasFrameNumber(const std::string& output) {
    for (std::size_t i = 0; i < output.size(); ++i) {
        if (output[i] == '%') {
            if (i + 1 < output.size() && output[i + 1] == '%') {
                ++i;
            } else {
                return true;
            }
        }
    }
    return false;
}

OutputKind KindOf(const std::string& output) {
    if (output == "-") {
        return OutputKind::kY4m;
    }
    const ExportFormat* pFormat = ExportFormatFor(output);
    if (pFormat == nullptr || !pFormat->bExported) {
        return OutputKind::kNone;
    }
    switch (pFormat->kind) {
        case FormatKind::kStream:
            return OutputKind::kY4m;
        case FormatKind::kVideo:
            return OutputKind::kVideo;
        case FormatKind::kPictures:
            return pFormat->bStack && !HasFrameNumber(output) ? OutputKind::kStack
                                                              : OutputKind::kSequence;
    }
    return OutputKind::kNone;
}

bool IsExported(const ExportFormat& format) {
    return format.bExported;
}

bool IsStack(const ExportFormat& format) {
    return format.bExported && format.bStack;
}

bool HoldsLossless(const ExportFormat& format) {
    return format.bExported && format.bLossless;
}

// Raw and corrected values are one channel whatever the sensor; a stream's header must say so.
bool PicturesAreGrey(const RenderSettings& render) {
    return !render.color || render.values != SampleValues::kShown;
}

// The recorded rate, from the first and last frame times; the default without them.
double RecordedRate(const RecordingMetadata& metadata) {
    const auto& frames = metadata.frames;
    if (frames.size() < 2 || frames.back().timeUs <= frames.front().timeUs) {
        return kDefaultFramesPerSecond;
    }
    // In double: the difference of two extreme times overflows a 64-bit integer.
    return double(frames.size() - 1) * 1e6 /
           (double(frames.back().timeUs) - double(frames.front().timeUs));
}

// What a video says besides its pictures: the settings and the run's history as tags, the
// recording's start as its creation time, and where in the recording the video's time 0
// lies (its first frame's recorded time), so that start + offset + a frame's time is when
// the frame was taken.
NamedValues VideoTags(const RecordingMetadata& metadata, const NamedValues& settings,
                      const NamedValues& history, std::uint64_t first) {
    NamedValues tags = settings;
    tags.insert(tags.end(), history.begin(), history.end());
    if (!metadata.startTime.empty()) {
        tags.emplace_back("creation_time", metadata.startTime);
    }
    if (const std::int64_t offset = RecordedTimeAt(metadata, first); offset >= 0) {
        tags.emplace_back("first_frame_time_us", std::to_string(offset));
    }
    return tags;
}

// A frame's time in a video starting at the first frame exported: the recorded time, or
// the default rate's without one.
std::int64_t VideoTimeOf(const RecordingMetadata& metadata, std::uint64_t first,
                         std::uint64_t frame) {
    if (RecordedTimeAt(metadata, first) < 0) {
        return std::int64_t(double(frame - first) * 1e6 / kDefaultFramesPerSecond);
    }
    return RecordedTimeAt(metadata, frame) - RecordedTimeAt(metadata, first);
}

// The exact times beside a video, whose own clock keeps milliseconds at best: for each
// picture its place in the video, its recorded index and its time since the recording's
// start. Empty without recorded times.
std::string TimesTable(const RecordingMetadata& metadata,
                       const std::vector<std::uint64_t>& positions) {
    if (RecordedTimeAt(metadata, positions.front()) < 0) {
        return {};
    }
    std::string table = "picture,index,time_us\n";
    for (std::size_t k = 0; k < positions.size(); ++k) {
        table += std::to_string(k) + "," + std::to_string(RecordedIndexAt(metadata, positions[k])) +
                 "," + std::to_string(RecordedTimeAt(metadata, positions[k])) + "\n";
    }
    return table;
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

// The temporary pictures a killed export to the same pattern left.
void RemoveStaleSequenceFiles(const COutputPattern& pattern) {
    const std::string sample = pattern.NameFor(0);
    const std::size_t slash = sample.rfind('/');
    RemoveStaleTemporaryFiles(
        slash == std::string::npos ? std::string() : sample.substr(0, slash + 1),
        [&pattern](const std::string& destination, bool shortened) {
            return pattern.MayName(destination, shortened);
        });
}

// The stack for the frames first to last, its pages carrying their recorded timing.
FileResult OpenStackFor(const ExportRequest& request, const RecordingMetadata& metadata,
                        const NamedValues& history, const CFrameRenderer& renderer,
                        std::uint64_t first, std::uint64_t last,
                        std::unique_ptr<CTiffStackWriter>* stack) {
    StackDescription description;
    const std::string name = request.output;
    const std::string lower =
        LowerExtension(name.substr(0, name.size() - LowerExtension(name).size() - 1));
    description.ome = lower == "ome";
    description.width = renderer.Width();
    description.height = renderer.Height();
    description.grey = PicturesAreGrey(request.render);
    description.settings = request.render.Pairs();
    description.history = history;
    description.startTime = metadata.startTime;
    for (std::uint64_t frame = first; frame <= last; ++frame) {
        description.pages.push_back(RecordedTimingOf(metadata, frame));
    }
    const std::uint64_t pageBytes =
        std::uint64_t(description.width) * description.height * (description.grey ? 1 : 3);
    description.bigTiff = CTiffStackWriter::NeedsBigTiff(pageBytes, description.pages.size());
    return CTiffStackWriter::Open(request.output, description, stack);
}

}  // namespace

std::string ExportFormatsText() {
    return ExtensionList(IsExported) + " (- for a YUV4MPEG2 stream on standard output); a " +
           ExtensionList(IsStack) +
           " name without a frame number writes one stack (.ome.tif for OME-TIFF)";
}

bool CheckExportOutput(const std::string& output, bool lossless, SampleValues values,
                       std::string* error) {
    const ExportFormat* pFormat = ExportFormatFor(output);
    if (lossless && (pFormat == nullptr || !HoldsLossless(*pFormat))) {
        *error = "--lossless writes FFV1, which goes in " + ExtensionList(HoldsLossless) +
                 " only, not " + output;
        return false;
    }
    if (KindOf(output) == OutputKind::kNone) {
        *error = "cannot tell the format of " + output + ": use " + ExportFormatsText();
        return false;
    }
    if (std::string accepted; pFormat != nullptr && !TakesValues(*pFormat, values, &accepted)) {
        *error = std::string("--values ") + SampleValuesName(values) + " does not go in ." +
                 pFormat->extension + ", which takes " + accepted;
        return false;
    }
    COutputPattern pattern;
    return KindOf(output) != OutputKind::kSequence ||
           COutputPattern::Parse(output, &pattern, error);
}

bool RunExport(const ExportRequest& request, const ExportProgress& progress,
               const std::atomic<bool>& interrupted, std::string* warning, std::string* error) {
    warning->clear();
    if (!CheckExportOutput(request.output, request.bLossless, request.render.values, error)) {
        return false;
    }
    std::uint64_t frames = 0;
    if (const FileResult counted = CReplaySource::CountWholeFrames(request.input, &frames, warning);
        !counted) {
        *error = counted.Error();
        return false;
    }
    RecordingMetadata metadata;
    bool hasSidecar = false;
    std::error_code ignored;
    if (!request.render.sidecarIgnored &&
        std::filesystem::exists(SidecarPathFor(request.input), ignored)) {
        const FileResult sidecar = ReadSidecarOf(request.input, &metadata);
        hasSidecar = bool(sidecar);
        if (!sidecar) {
            *warning += (warning->empty() ? "" : "; ") + sidecar.Error() + " (frame times unknown)";
        }
    }
    if (hasSidecar && metadata.frames.size() < frames) {
        metadata.frames.clear();  // it does not describe these frames
    }
    metadata.frames.resize(std::min<std::size_t>(metadata.frames.size(), frames));
    std::vector<std::uint64_t> positions;
    if (!SelectRecordedFrames(metadata, frames, request.first, request.last, request.input,
                              &positions, error)) {
        return false;
    }
    const std::uint64_t last = positions.back();
    const NamedValues history = RunHistory(metadata, hasSidecar);

    const OutputKind kind = KindOf(request.output);
    if (kind == OutputKind::kY4m && !HasEvenRate(metadata)) {
        *warning += std::string(warning->empty() ? "" : "; ") +
                    "the recording's frame rate was uneven (drops or stalls); YUV4MPEG2 holds one "
                    "rate, so its frames are evenly spaced (use .mkv to keep the recorded times)";
    }
    COutputPattern pattern;
    COutputBatch batch;  // the pictures, put in place together at the end
    std::unique_ptr<IPictureWriter> writer;
    std::unique_ptr<IByteSink> sink;
    std::unique_ptr<CTiffStackWriter> stack;
    CFrameRenderer renderer(request.render);
    FileResult opened;
    if (kind == OutputKind::kSequence) {
        COutputPattern::Parse(request.output, &pattern, error);
        RemoveStaleSequenceFiles(pattern);
        writer = PictureWriterFor(request.output);
        writer->WriteInto(&batch);
    } else if (kind == OutputKind::kStack) {
        opened =
            OpenStackFor(request, metadata, history, renderer, positions.front(), last, &stack);
    } else if (kind == OutputKind::kVideo) {
        opened = MakeVideoEncoderSink(
            request.output, request.bLossless, request.jobs,
            VideoTags(metadata, request.render.Pairs(), history, positions.front()), &interrupted,
            &sink);
    } else if (request.output == "-") {
        sink = MakeStandardOutputSink();
    } else {
        RemoveStaleTemporaryFilesOf(request.output);
        opened = MakeFileSink(request.output, &sink);
    }
    if (!opened) {
        *error = opened.Error();
        return false;
    }

    CFrameReader reader(request.input);
    CY4mEncoder y4m;
    CMatroskaRawStream timed;  // video: each picture at its recorded time
    if (sink) {
        const std::string header =
            kind == OutputKind::kVideo
                ? timed.Header(renderer.Width(), renderer.Height(), PicturesAreGrey(request.render))
                : y4m.Header(renderer.Width(), renderer.Height(), PicturesAreGrey(request.render),
                             RecordedRate(metadata));
        if (const FileResult written = sink->Write(header.data(), header.size()); !written) {
            *error = written.Error();
            return false;
        }
    }
    CFramePipeline pipeline(request.render, request.jobs, request.input);
    // Encoding is most of a sequence's cost, so each job writes its own files.
    std::vector<std::unique_ptr<IPictureWriter>> writers;
    for (unsigned job = 0; writer && job < pipeline.Jobs(); ++job) {
        writers.push_back(PictureWriterFor(request.output));
        writers.back()->WriteInto(&batch);
    }
    const std::string settingsText = request.render.Describe();
    const std::string historyText = JoinedPairs(history);
    const auto read = [&](std::uint64_t frame, std::uint8_t* pRaw, std::string* readError) {
        if (!reader.Read(frame, pRaw)) {
            *readError = "cannot read frame " + std::to_string(frame) + " of " + request.input;
            return false;
        }
        return true;
    };
    const auto work = [&](unsigned job, std::uint64_t frame, const Picture& picture,
                          std::string* workError) {
        if (!writer) {
            return true;
        }
        PictureText text;
        text.settings = settingsText;
        text.history = historyText;
        text.frame = RecordedIndexAt(metadata, frame);
        text.timeUs = RecordedTimeAt(metadata, frame);
        const FileResult written = writers[job]->Write(picture, text, pattern.NameFor(text.frame));
        if (!written) {
            *workError = written.Error();
        }
        return bool(written);
    };
    const std::uint64_t total = positions.size();
    std::uint64_t done = 0;
    const auto deliver = [&](std::uint64_t frame, const Picture& picture,
                             std::string* deliverError) {
        if (interrupted.load()) {
            *deliverError = "interrupted; nothing kept of " + request.output;
            return false;
        }
        if (stack) {
            if (const FileResult added = stack->Add(picture); !added) {
                *deliverError = added.Error();
                return false;
            }
        }
        if (sink) {
            const std::vector<std::uint8_t>& bytes =
                kind == OutputKind::kVideo
                    ? timed.Frame(picture, VideoTimeOf(metadata, positions.front(), frame))
                    : y4m.Frame(picture);
            if (const FileResult written = sink->Write(bytes.data(), bytes.size()); !written) {
                *deliverError = written.Error();
                return false;
            }
        }
        if (progress) {
            progress(++done, total);
        }
        return true;
    };
    if (interrupted.load()) {
        *error = "interrupted; nothing kept of " + request.output;
        return false;
    }
    if (!pipeline.Run(positions.front(), last, read, work, deliver, error)) {
        return false;
    }
    FileResult finished;
    if (stack) {
        finished = stack->Finish();
    } else if (sink) {
        finished = sink->Finish();
    } else if (writer) {
        finished = batch.Commit();
    }
    // Once the video is in place, so that a failed one leaves no table behind.
    const bool bVideoFile =
        (kind == OutputKind::kVideo || kind == OutputKind::kY4m) && request.output != "-";
    if (const std::string times = bVideoFile ? TimesTable(metadata, positions) : std::string();
        finished && !times.empty()) {
        finished =
            WriteWholeFile(request.output + ".times.csv", times.data(), times.size(), nullptr);
    }
    *error = finished.Error();
    return bool(finished);
}
