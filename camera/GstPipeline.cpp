#include "camera/GstPipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/pbutils/missing-plugins.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "simulation/PictureFile.h"

namespace {

// How long one wait on the sink lasts: short enough for a cancel to be seen at once.
constexpr std::chrono::milliseconds kPullSlice{20};
constexpr const char* kSinkName = "pandrysink";
// How long closing waits for the pipeline's threads before it leaves them to end alone.
constexpr std::chrono::milliseconds kEndWait{500};

// The raw formats the sampler reads as they come, in the order asked for: the decoders' own
// YUV first, so that a decoder that could convert does not. Any other format is converted by
// videoconvert to the nearest of these (10-bit 4:2:0 to I420, 4:1:1 and 10-bit 4:4:4 to Y444,
// 16-bit grey to GRAY8 ...).
constexpr const char* kSampledFormats[] = {
    "I420", "YV12", "NV12", "NV21", "Y42B", "Y444", "YUY2", "UYVY", "YVYU", "GRAY8",
    "BGR",  "RGB",  "BGRx", "RGBx", "xRGB", "xBGR", "BGRA", "RGBA", "ARGB", "ABGR",
};

// The chroma of a grey picture: no colour.
constexpr std::uint8_t kNeutralChroma = 128;

struct ElementPackage {
    const char* prefix;
    const char* package;
};
// Elements by name (a prefix ends with '_' or '-'); the first match wins.
constexpr ElementPackage kElementPackages[] = {
    {"avdec_", "gstreamer1.0-libav"},
    {"avdemux_", "gstreamer1.0-libav"},
    {"v4l2", "gstreamer1.0-plugins-good"},
    {"matroska", "gstreamer1.0-plugins-good"},
    {"qtdemux", "gstreamer1.0-plugins-good"},
    {"avidemux", "gstreamer1.0-plugins-good"},
    {"jpegdec", "gstreamer1.0-plugins-good"},
    {"pngdec", "gstreamer1.0-plugins-good"},
    {"vpxdec", "gstreamer1.0-plugins-good"},
    {"vp8dec", "gstreamer1.0-plugins-good"},
    {"vp9dec", "gstreamer1.0-plugins-good"},
    {"ximagesrc", "gstreamer1.0-plugins-good"},
    {"rtsp", "gstreamer1.0-plugins-good"},
    {"udpsrc", "gstreamer1.0-plugins-good"},
    {"souphttpsrc", "gstreamer1.0-plugins-good"},
    {"videoflip", "gstreamer1.0-plugins-good"},
    {"videoconvert", "gstreamer1.0-plugins-base"},
    {"videoscale", "gstreamer1.0-plugins-base"},
    {"videotestsrc", "gstreamer1.0-plugins-base"},
    {"decodebin", "gstreamer1.0-plugins-base"},
    {"uridecodebin", "gstreamer1.0-plugins-base"},
    {"appsink", "gstreamer1.0-plugins-base"},
    {"ogg", "gstreamer1.0-plugins-base"},
    {"theoradec", "gstreamer1.0-plugins-base"},
    {"videorate", "gstreamer1.0-plugins-base"},
};

// What a decoder or demuxer for these caps comes in.
std::string PackageForCaps(const std::string& caps) {
    for (const char* container : {"matroska", "quicktime", "msvideo", "webm", "x-vp8", "x-vp9",
                                  "image/jpeg", "image/png"}) {
        if (caps.find(container) != std::string::npos) {
            return "gstreamer1.0-plugins-good";
        }
    }
    if (caps.find("ogg") != std::string::npos || caps.find("theora") != std::string::npos) {
        return "gstreamer1.0-plugins-base";
    }
    return "gstreamer1.0-libav";
}

bool InitGstreamer(std::string* error) {
    static std::once_flag once;
    static std::string failure;
    std::call_once(once, [] {
        GError* gerror = nullptr;
        if (!gst_init_check(nullptr, nullptr, &gerror)) {
            failure = std::string("cannot start GStreamer: ") +
                      (gerror ? gerror->message : "unknown reason");
        }
        g_clear_error(&gerror);
    });
    if (!failure.empty()) {
        *error = failure;
        return false;
    }
    return true;
}

// "no element \"v4l2src\"" -> v4l2src
std::string QuotedName(const char* message) {
    std::string text = message;
    std::size_t open = text.find('"');
    std::size_t close = open == std::string::npos ? open : text.find('"', open + 1);
    return close == std::string::npos ? text : text.substr(open + 1, close - open - 1);
}

std::string MissingPluginText(GstMessage* message) {
    gchar* description = gst_missing_plugin_message_get_description(message);
    gchar* detail = gst_missing_plugin_message_get_installer_detail(message);
    std::string text = description ? description : "a plugin";
    std::string installer = detail ? detail : "";
    g_free(description);
    g_free(detail);
    // The detail ends in "element-NAME" or "decoder-CAPS".
    std::size_t element = installer.rfind("|element-");
    std::string package = element != std::string::npos
                              ? DebianPackageFor(installer.substr(element + 9))
                              : PackageForCaps(installer);
    return "missing GStreamer plugin: " + text + " (install " + package + ")";
}

// One line for an error the pipeline posted.
std::string ErrorText(const std::string& what, GError* gerror, const std::string& missing,
                      const std::string& debug) {
    if (!missing.empty()) {
        return what + ": " + missing;
    }
    const char* message = gerror ? gerror->message : "unknown error";
    if (debug.find("not-negotiated") != std::string::npos) {
        const std::string most = std::to_string(kMaxPictureSide);
        return what + ": its pictures cannot be taken as raw video of at most " + most + " x " +
               most + " pixels (" + message + ")";
    }
    if (gerror && gerror->domain == GST_RESOURCE_ERROR) {
        switch (gerror->code) {
            case GST_RESOURCE_ERROR_NOT_FOUND:
                return what + ": not found (" + message + ")";
            case GST_RESOURCE_ERROR_BUSY:
                return "camera busy: " + what + " is held by another program";
            case GST_RESOURCE_ERROR_OPEN_READ:
            case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
                return "cannot open " + what + ": " + message;
            default:
                break;
        }
    }
    if (gerror && gerror->domain == GST_STREAM_ERROR &&
        (gerror->code == GST_STREAM_ERROR_TYPE_NOT_FOUND ||
         gerror->code == GST_STREAM_ERROR_WRONG_TYPE || gerror->code == GST_STREAM_ERROR_DECODE ||
         gerror->code == GST_STREAM_ERROR_DEMUX)) {
        return "cannot decode " + what + " as video (" + message + ")";
    }
    return what + ": " + message;
}

// Setting a pipeline to NULL joins its streaming threads, and an element blocked in a read
// (a FIFO nobody writes, a stalled network) holds its thread until the read returns, which
// may be never. So the pipeline is ended on a thread of its own; when that does not finish
// within kEndWait, the thread keeps the pipeline and frees it whenever the element lets go.
void EndPipeline(GstElement* pipeline, GstElement* sink, GstBus* bus) {
    struct Ending {
        std::mutex mutex;  // guards done
        std::condition_variable ended;
        bool done = false;
    };
    if (!pipeline) {
        return;
    }
    auto ending = std::make_shared<Ending>();
    std::thread([ending, pipeline, sink, bus] {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        if (bus) {
            gst_object_unref(bus);
        }
        if (sink) {
            gst_object_unref(sink);
        }
        gst_object_unref(pipeline);
        std::lock_guard lock(ending->mutex);
        ending->done = true;
        ending->ended.notify_all();
    }).detach();
    std::unique_lock lock(ending->mutex);
    ending->ended.wait_for(lock, kEndWait, [&] { return ending->done; });
}

}  // namespace

struct CGstPipeline::Parts {
    std::string what;
    GstElement* pipeline = nullptr;
    GstElement* sink = nullptr;
    GstBus* bus = nullptr;
    GstSample* sample = nullptr;  // the picture handed out last, mapped in `frame`
    GstVideoFrame frame{};
    bool mapped = false;
    std::string missingPlugin;             // the last missing-plugin message, to name in the error
    std::uint64_t picturesSinceStart = 0;  // since Start or Rewind
    bool firstPending = false;             // Start's picture is still to be handed out

    ~Parts() {
        Release();
        EndPipeline(pipeline, sink, bus);
    }

    void Release() {
        if (mapped) {
            gst_video_frame_unmap(&frame);
            mapped = false;
        }
        if (sample) {
            gst_sample_unref(sample);
            sample = nullptr;
        }
    }

    // Reads what the pipeline posted; kFailed or kEnded when it failed or ended.
    std::optional<Pulled> Messages(std::string* error) {
        const auto kinds =
            GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_ELEMENT);
        while (GstMessage* message = gst_bus_pop_filtered(bus, kinds)) {
            std::optional<Pulled> result;
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                GError* gerror = nullptr;
                gchar* debug = nullptr;
                gst_message_parse_error(message, &gerror, &debug);
                *error = ErrorText(what, gerror, missingPlugin, debug ? debug : "");
                g_clear_error(&gerror);
                g_free(debug);
                result = Pulled::kFailed;
            } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
                result = Pulled::kEnded;
            } else if (gst_is_missing_plugin_message(message)) {
                missingPlugin = MissingPluginText(message);
            }
            gst_message_unref(message);
            if (result) {
                return result;
            }
        }
        return std::nullopt;
    }

    bool Map(GstSample* pulled, SourcePicture* out, std::string* error) {
        Release();
        sample = pulled;
        GstVideoInfo info;
        if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
            !gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
            *error = what + ": a picture arrived that cannot be read";
            return false;
        }
        mapped = true;
        if (!Describe(out)) {
            *error = what + ": a picture arrived in a layout that cannot be read (" +
                     GST_VIDEO_INFO_NAME(&info) + ")";
            return false;
        }
        ++picturesSinceStart;
        return true;
    }

    // The mapped picture as the sampler reads it; false for a layout it does not know.
    bool Describe(SourcePicture* out) {
        const GstVideoFormatInfo* format = frame.info.finfo;
        for (guint c = 0; c < GST_VIDEO_FORMAT_INFO_N_COMPONENTS(format); ++c) {
            if (GST_VIDEO_FORMAT_INFO_DEPTH(format, c) != 8 ||
                GST_VIDEO_FORMAT_INFO_SHIFT(format, c) != 0) {
                return false;
            }
        }
        if (GST_VIDEO_FORMAT_INFO_IS_COMPLEX(format) || GST_VIDEO_FORMAT_INFO_IS_TILED(format)) {
            return false;
        }
        out->width = GST_VIDEO_FRAME_WIDTH(&frame);
        out->height = GST_VIDEO_FRAME_HEIGHT(&frame);
        if (GST_VIDEO_FORMAT_INFO_IS_RGB(format)) {
            out->encoding = SourcePicture::Encoding::kBgr;
            out->channel = {Channel(GST_VIDEO_COMP_B), Channel(GST_VIDEO_COMP_G),
                            Channel(GST_VIDEO_COMP_R)};
            return out->IsPacked();
        }
        out->encoding = SourcePicture::Encoding::kYuv;
        out->colorimetry = Colorimetry(frame.info.colorimetry);
        if (GST_VIDEO_FORMAT_INFO_IS_GRAY(format)) {
            const PictureChannel neutral{&kNeutralChroma, 0, 0, 0, 0};
            out->channel = {Channel(GST_VIDEO_COMP_Y), neutral, neutral};
            return true;
        }
        out->channel = {Channel(GST_VIDEO_COMP_Y), Channel(GST_VIDEO_COMP_U),
                        Channel(GST_VIDEO_COMP_V)};
        Spreads(out);
        return GST_VIDEO_FORMAT_INFO_IS_YUV(format);
    }

    // videoconvert repeats the chroma of I420 and YV12 (its direct path from them to RGB) and
    // interpolates that of any other layout whose chroma serves two pixels, after the stream's
    // chroma siting; between cosited rows it interpolates nothing.
    void Spreads(SourcePicture* out) const {
        const GstVideoFormatInfo* format = frame.info.finfo;
        const GstVideoFormat id = GST_VIDEO_FORMAT_INFO_FORMAT(format);
        const auto site = guint(frame.info.chroma_site);
        out->across = ChromaSpread::kRepeated;
        out->down = ChromaSpread::kRepeated;
        if (id == GST_VIDEO_FORMAT_I420 || id == GST_VIDEO_FORMAT_YV12) {
            return;
        }
        if (GST_VIDEO_FORMAT_INFO_W_SUB(format, GST_VIDEO_COMP_U) == 1) {
            out->across = (site & GST_VIDEO_CHROMA_SITE_H_COSITED) != 0 ? ChromaSpread::kCosited
                                                                        : ChromaSpread::kCentred;
        }
        if (GST_VIDEO_FORMAT_INFO_H_SUB(format, GST_VIDEO_COMP_U) == 1 &&
            (site & GST_VIDEO_CHROMA_SITE_V_COSITED) == 0) {
            out->down = ChromaSpread::kCentred;
        }
    }

    PictureChannel Channel(int component) const {
        const GstVideoFormatInfo* format = frame.info.finfo;
        return {static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&frame, component)),
                std::size_t(GST_VIDEO_FRAME_COMP_STRIDE(&frame, component)),
                std::uint8_t(GST_VIDEO_FRAME_COMP_PSTRIDE(&frame, component)),
                std::uint8_t(GST_VIDEO_FORMAT_INFO_W_SUB(format, component)),
                std::uint8_t(GST_VIDEO_FORMAT_INFO_H_SUB(format, component))};
    }

    // The matrix and range the stream says it has; BT.601 when its matrix is unknown.
    static YuvColorimetry Colorimetry(const GstVideoColorimetry& stream) {
        YuvColorimetry colorimetry;
        gdouble kr = 0;
        gdouble kb = 0;
        if (gst_video_color_matrix_get_Kr_Kb(stream.matrix, &kr, &kb)) {
            colorimetry.kr = kr;
            colorimetry.kb = kb;
        }
        colorimetry.fullRange = stream.range == GST_VIDEO_COLOR_RANGE_0_255;
        return colorimetry;
    }
};

CGstPipeline::CGstPipeline(std::unique_ptr<Parts> parts) : m_pParts(std::move(parts)) {}
CGstPipeline::~CGstPipeline() = default;

std::unique_ptr<CGstPipeline> CGstPipeline::Start(const Settings& settings, const ReadLimit& limit,
                                                  std::string* error) {
    if (!InitGstreamer(error)) {
        return nullptr;
    }
    auto parts = std::make_unique<Parts>();
    parts->what = settings.what;
    const std::string description =
        settings.description + " ! videoconvert ! appsink name=" + kSinkName;
    GError* gerror = nullptr;
    parts->pipeline =
        gst_parse_launch_full(description.c_str(), nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &gerror);
    if (gerror) {
        if (gerror->domain == GST_PARSE_ERROR && gerror->code == GST_PARSE_ERROR_NO_SUCH_ELEMENT) {
            const std::string element = QuotedName(gerror->message);
            *error = settings.what + ": missing GStreamer element '" + element + "' (install " +
                     DebianPackageFor(element) + ")";
        } else {
            *error =
                settings.what + ": not a pipeline GStreamer can build (" + gerror->message + ")";
        }
        g_clear_error(&gerror);
        return nullptr;  // Parts releases a pipeline made in part
    }
    parts->sink = gst_bin_get_by_name(GST_BIN(parts->pipeline), kSinkName);
    parts->bus = gst_element_get_bus(parts->pipeline);
    if (!parts->sink || !parts->bus) {
        *error = settings.what + ": not a pipeline that ends in raw video";
        return nullptr;
    }
    // The formats read as they come, and pictures beyond the picture files' limit refused in
    // negotiation, before a buffer of that size is made (on the sink, which links to
    // anything: a capsfilter would fail the parse with a reason that names neither the size
    // nor the limit).
    std::string formats;
    for (const char* format : kSampledFormats) {
        formats += formats.empty() ? "" : ",";
        formats += format;
    }
    const std::string most = std::to_string(kMaxPictureSide);
    GstCaps* caps = gst_caps_from_string(
        ("video/x-raw,format={" + formats + "},width=[1," + most + "],height=[1," + most + "]")
            .c_str());
    g_object_set(parts->sink, "sync", gboolean(settings.paced), "max-buffers", guint(2), "drop",
                 FALSE, "caps", caps, nullptr);
    gst_caps_unref(caps);
    if (GstElement* source = gst_bin_get_by_name(GST_BIN(parts->pipeline), "src")) {
        for (const auto& [name, value] : settings.sourceProperties) {
            // A stand-in for the element (in tests) may not have the property.
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(source), name.c_str())) {
                gst_util_set_object_arg(G_OBJECT(source), name.c_str(), value.c_str());
            }
        }
        gst_object_unref(source);
    }
    if (gst_element_set_state(parts->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_NO_PREROLL) {
        g_object_set(parts->sink, "max-buffers", guint(1), "drop", TRUE, nullptr);  // live
    }
    auto pipeline = std::unique_ptr<CGstPipeline>(new CGstPipeline(std::move(parts)));
    // The first picture proves the whole chain works; it is handed out again by Pull.
    SourcePicture first;
    const Pulled pulled = pipeline->Pull(limit, &first, error);
    if (pulled == Pulled::kFrame) {
        pipeline->m_pParts->firstPending = true;
        return pipeline;
    }
    if (pulled == Pulled::kEnded) {
        *error = "cannot decode " + settings.what + " as video: it holds no pictures";
    } else if (error->empty()) {
        *error = settings.what + ": cancelled";
    }
    return nullptr;
}

CGstPipeline::Pulled CGstPipeline::Pull(const ReadLimit& limit, SourcePicture* picture,
                                        std::string* error) {
    error->clear();
    Parts& parts = *m_pParts;
    // The picture Start waited for is the first one handed out.
    if (parts.firstPending) {
        parts.firstPending = false;
        parts.Describe(picture);
        return Pulled::kFrame;
    }
    for (;;) {
        if (limit.IsCancelled()) {
            return Pulled::kFailed;
        }
        if (std::optional<Pulled> ended = parts.Messages(error)) {
            return *ended;
        }
        const auto left = limit.deadline - ReadLimit::Clock::now();
        if (left <= ReadLimit::Clock::duration::zero()) {
            *error = parts.what + ": no picture within the time allowed";
            return Pulled::kFailed;
        }
        const auto slice = std::min<ReadLimit::Clock::duration>(left, kPullSlice);
        const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(slice);
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(parts.sink),
                                                         GstClockTime(nanoseconds.count()));
        if (sample) {
            return parts.Map(sample, picture, error) ? Pulled::kFrame : Pulled::kFailed;
        }
        if (gst_app_sink_is_eos(GST_APP_SINK(parts.sink))) {
            // An error that ended the stream is posted beside its end: it wins.
            std::optional<Pulled> posted = parts.Messages(error);
            return posted ? *posted : Pulled::kEnded;
        }
    }
}

bool CGstPipeline::Rewind() {
    Parts& parts = *m_pParts;
    if (parts.picturesSinceStart == 0) {
        return false;  // nothing came since the last start: another pass would spin
    }
    parts.Release();
    parts.picturesSinceStart = 0;
    const bool seeked =
        gst_element_seek_simple(parts.pipeline, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
    // The end of the pass just finished is no news after the seek.
    while (GstMessage* message = gst_bus_pop_filtered(parts.bus, GST_MESSAGE_EOS)) {
        gst_message_unref(message);
    }
    return seeked;
}

std::string DebianPackageFor(const std::string& element) {
    for (const ElementPackage& entry : kElementPackages) {
        if (element.rfind(entry.prefix, 0) == 0) {
            return entry.package;
        }
    }
    return "gstreamer1.0-plugins-bad or gstreamer1.0-plugins-ugly";
}
