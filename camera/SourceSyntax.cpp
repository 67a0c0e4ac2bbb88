// How a camera source is written: the one table of source kinds and the one table of their
// options, from which parsing, the error texts and the help all come. A new option is one
// entry in kOptions and the line of code that stores it.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>

#include "camera/CameraSource.h"
#include "sensor/LogPolarFrame.h"

namespace {

using Kind = CameraSourceKind;
using KindSet = unsigned;  // one bit per kind

constexpr KindSet Of(std::initializer_list<Kind> kinds) {
    KindSet set = 0;
    for (Kind kind : kinds) {
        set |= 1u << unsigned(kind);
    }
    return set;
}
constexpr bool In(KindSet set, Kind kind) {
    return (set >> unsigned(kind) & 1u) != 0;
}

constexpr KindSet kMedia = Of({Kind::kVideo, Kind::kWebcam, Kind::kGst});
// Sources seen through the simulated sensor (its dark pattern, noise and mosaic).
constexpr KindSet kSimulated =
    Of({Kind::kAuto, Kind::kSim, Kind::kSimColor, Kind::kImage}) | kMedia;
// Sources whose pictures are looked at through a gaze.
constexpr KindSet kGazed = Of({Kind::kImage}) | kMedia;
// The stand-in devices of the device layer, whose faults can be injected.
constexpr KindSet kStandIns =
    Of({Kind::kAuto, Kind::kSim, Kind::kSimColor, Kind::kImage, Kind::kReplay});
constexpr KindSet kEveryKind = kSimulated | kStandIns;

enum class PathRule {
    kNone,      // NAME
    kRequired,  // NAME:PATH
    kDevice,    // NAME[:DEVICE]
};

struct SourceKind {
    Kind kind;
    std::string_view name;  // before the colon
    const char* form;       // as the help and the errors write it
    PathRule path;
    const char* summary;
};
// In the help's order.
constexpr SourceKind kKinds[] = {
    {Kind::kAuto, "auto", "auto", PathRule::kNone,
     "the camera device /dev/lptsimple<N> when it exists, otherwise sim (default)"},
    {Kind::kSim, "sim", "sim", PathRule::kNone,
     "a simulated black-and-white camera looking at a built-in moving scene"},
    {Kind::kSimColor, "sim-color", "sim-color", PathRule::kNone,
     "the simulated camera behind the colour sensor's mosaic"},
    {Kind::kImage, "image", "image:PATH", PathRule::kRequired,
     "the simulated camera looking at a picture file (PNG, JPEG, BMP, ...)"},
    {Kind::kReplay, "replay", "replay:PATH", PathRule::kRequired,
     "the frames of a recorded file (whole 38304-byte frames), looping"},
    {Kind::kVideo, "video", "video:PATH", PathRule::kRequired,
     "the simulated camera looking at a video file (MKV, MP4, WebM, AVI, ...)"},
    {Kind::kWebcam, "webcam", "webcam[:DEV]", PathRule::kDevice,
     "the simulated camera looking through a V4L2 camera (default the first)"},
    {Kind::kGst, "gst", "gst:PIPELINE", PathRule::kRequired,
     "the simulated camera looking at a GStreamer pipeline's raw video"},
    {Kind::kNone, "none", "none", PathRule::kNone,
     "no camera: the device does not open and acquisition fails"},
};

enum class ValueRule {
    kFlag,       // NAME alone
    kReal,       // NAME=X, least to most
    kWhole,      // NAME=N, least to most
    kWholeOrNo,  // NAME or NAME=N
    kPoint,      // NAME=X:Y, each least to most
    kSwitch,     // NAME=0 or NAME=1
};

// An option's value as parsed, for its setter.
struct OptionValue {
    bool given = false;  // a value was written (kWholeOrNo)
    double real = 0;
    std::int64_t whole = 0;
    double y = 0;  // kPoint's second number
};

constexpr double kNoMost = std::numeric_limits<double>::infinity();  // no upper bound

struct SourceOption {
    std::string_view name;
    const char* form;  // as the help writes it
    ValueRule rule;
    double least;
    double most;       // kNoMost: none
    const char* noun;  // what the value is, for "expected ..."
    KindSet kinds;
    const char* help;  // wrapped at the help's width, continuation lines indented
    void (*store)(const OptionValue& value, CameraSourceChoice* choice);
};

constexpr SourceOption kOptions[] = {
    {"fps", "fps=N", ValueRule::kReal, 0, 1000, "a frame rate", kEveryKind,
     "frames a second (default 25; 0: as fast as they are read)",
     [](const OptionValue& v, CameraSourceChoice* c) { c->faults.framesPerSecond = v.real; }},
    {"probe", "probe=N", ValueRule::kWhole, 0, 65535, "the byte count the probe reports", kStandIns,
     "byte count the device's probe reports (0 or 5: no camera)",
     [](const OptionValue& v, CameraSourceChoice* c) {
         c->faults.probeCount = std::uint32_t(v.whole);
     }},
    {"fail-after", "fail-after=N", ValueRule::kWhole, 0, kNoMost, "a frame count", kStandIns,
     "every read after N frames fails (a disconnect)",
     [](const OptionValue& v, CameraSourceChoice* c) { c->faults.failAfterFrames = v.whole; }},
    {"stall-after", "stall-after=N", ValueRule::kWhole, 0, kNoMost, "a frame count", kStandIns,
     "every read after N frames never answers (it times out)",
     [](const OptionValue& v, CameraSourceChoice* c) { c->faults.stallAfterFrames = v.whole; }},
    {"corrupt-every", "corrupt-every=N", ValueRule::kWhole, 1, kNoMost, "a frame count", kStandIns,
     "every N-th frame arrives garbled",
     [](const OptionValue& v, CameraSourceChoice* c) { c->faults.corruptEvery = v.whole; }},
    {"short-read", "short-read[=N]", ValueRule::kWholeOrNo, 1, double(kFrameBytes), "a byte count",
     kStandIns, "the device delivers at most N bytes a read (default 4096)",
     [](const OptionValue& v, CameraSourceChoice* c) {
         constexpr std::size_t kDefaultShortRead = 4096;
         c->faults.chunkBytes = v.given ? std::size_t(v.whole) : kDefaultShortRead;
     }},
    {"dark", "dark", ValueRule::kFlag, 0, 0, "", kSimulated,
     "lens covered: dark pattern and noise only (to calibrate)",
     [](const OptionValue&, CameraSourceChoice* c) { c->simulation.dark = true; }},
    {"noise", "noise=N", ValueRule::kWhole, 0, 50, "a noise amplitude", kSimulated,
     "noise amplitude in levels (default 1)",
     [](const OptionValue& v, CameraSourceChoice* c) { c->simulation.noise = int(v.whole); }},
    {"prnu", "prnu=F", ValueRule::kReal, 0, CSimulatedCamera::kMostPrnu, "a fraction", kSimulated,
     "each cell's response differs by a fixed amount\n"
     "up to +-F (default 0: all alike)",
     [](const OptionValue& v, CameraSourceChoice* c) { c->simulation.prnu = v.real; }},
    {"vignetting", "vignetting=F", ValueRule::kReal, 0, CSimulatedCamera::kMostVignetting,
     "a fraction", kSimulated,
     "the disc's edge gets F less light than its\n"
     "centre (default 0: none)",
     [](const OptionValue& v, CameraSourceChoice* c) { c->simulation.vignetting = v.real; }},
    {"drift", "drift", ValueRule::kFlag, 0, 0, "", Of({Kind::kImage}),
     "the view drifts slowly over the picture",
     [](const OptionValue&, CameraSourceChoice* c) { c->drift = true; }},
    {"color", "color", ValueRule::kFlag, 0, 0, "", kGazed, "seen through the colour mosaic",
     [](const OptionValue&, CameraSourceChoice* c) { c->simulation.color = true; }},
    {"loop", "loop=0|1", ValueRule::kSwitch, 0, 1, "", Of({Kind::kReplay, Kind::kVideo}),
     "start again after the last frame (default 1)",
     [](const OptionValue& v, CameraSourceChoice* c) { c->loop = v.whole == 1; }},
    {"ignore-sidecar", "ignore-sidecar", ValueRule::kFlag, 0, 0, "", Of({Kind::kReplay}),
     "play without the recording's sidecar (its times and settings),\n"
     "which is otherwise refused when it cannot be read",
     [](const OptionValue&, CameraSourceChoice* c) { c->ignoreSidecar = true; }},
    {"gaze", "gaze=X:Y", ValueRule::kPoint, 0, 1, "", kGazed,
     "the sensor's centre as fractions of the\n"
     "picture's width and height (default 0.5:0.5)",
     [](const OptionValue& v, CameraSourceChoice* c) {
         c->gaze.x = v.real;
         c->gaze.y = v.y;
         c->gazeGiven = true;
     }},
    {"field", "field=F", ValueRule::kReal, Gaze::kLeastField, Gaze::kMostField, "a field", kGazed,
     "the sensor's outer diameter as a fraction\n"
     "of the picture's shorter side (default 0.914, as image: has always\n"
     "shown a picture)",
     [](const OptionValue& v, CameraSourceChoice* c) {
         c->gaze.field = v.real;
         c->gazeGiven = true;
     }},
};

const SourceOption* OptionNamed(std::string_view name) {
    for (const SourceOption& option : kOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

// "0", "0.05", "1000": the shortest form of a bound.
std::string BoundText(double bound) {
    char text[32];
    auto [end, ignored] = std::to_chars(text, text + sizeof text, bound);
    return std::string(text, end);
}

// What a bad value gets told: "expected a frame rate from 0 to 1000".
std::string Expected(const SourceOption& option) {
    switch (option.rule) {
        case ValueRule::kFlag:
            return "takes no value";
        case ValueRule::kSwitch:
            return "expected " + std::string(option.name) + "=0 or " + std::string(option.name) +
                   "=1";
        case ValueRule::kPoint:
            return "expected " + std::string(option.form) + ", each from " +
                   BoundText(option.least) + " to " + BoundText(option.most);
        default:
            break;
    }
    if (option.most == kNoMost) {
        return "expected " + std::string(option.noun) +
               (option.least > 0 ? " of at least " + BoundText(option.least) : "");
    }
    return "expected " + std::string(option.noun) + " from " + BoundText(option.least) + " to " +
           BoundText(option.most);
}

template <typename T>
bool ParseNumber(std::string_view text, T least, T most, T* value) {
    T parsed{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    // Written so that NaN, which compares false with everything, fails the range too.
    const bool inRange = parsed >= least && parsed <= most;
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !inRange) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseValue(const SourceOption& option, bool hasValue, std::string_view text,
                OptionValue* value) {
    const auto least = std::int64_t(option.least);
    const auto most = option.most == kNoMost ? std::numeric_limits<std::int64_t>::max()
                                             : std::int64_t(option.most);
    switch (option.rule) {
        case ValueRule::kFlag:
            return !hasValue;
        case ValueRule::kReal:
            return ParseNumber(text, option.least, option.most, &value->real);
        case ValueRule::kWhole:
            return ParseNumber(text, least, most, &value->whole);
        case ValueRule::kWholeOrNo:
            value->given = hasValue;
            return !hasValue || ParseNumber(text, least, most, &value->whole);
        case ValueRule::kSwitch:
            return (text == "0" || text == "1") && ParseNumber(text, least, most, &value->whole);
        case ValueRule::kPoint: {
            const std::size_t colon = text.find(':');
            return colon != std::string_view::npos &&
                   ParseNumber(text.substr(0, colon), option.least, option.most, &value->real) &&
                   ParseNumber(text.substr(colon + 1), option.least, option.most, &value->y);
        }
    }
    return false;
}

// Applies one OPTION[=VALUE]; false with *error set when the source does not take it.
bool ApplyOption(std::string_view written, CameraSourceChoice* choice, std::string* error) {
    const std::size_t equals = written.find('=');
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view value = hasValue ? written.substr(equals + 1) : std::string_view{};
    auto bad = [&](const std::string& expected) {
        *error = "option '" + std::string(written) + "': " + expected;
        return false;
    };
    if (choice->kind == Kind::kNone) {
        return bad("the source 'none' takes no options");
    }
    const SourceOption* option = OptionNamed(written.substr(0, equals));
    if (option == nullptr || !In(option->kinds, choice->kind)) {
        return bad("unknown option for this source (see 'pandry-cli sources')");
    }
    if (option->name == "fps") {
        choice->framesPerSecondGiven = true;
    }
    OptionValue parsed;
    if (!ParseValue(*option, hasValue, value, &parsed)) {
        return bad(Expected(*option));
    }
    option->store(parsed, choice);
    return true;
}

// Where a gst: pipeline ends: before the first comma that starts one of our options.
std::size_t PipelineEnd(std::string_view text, std::size_t from) {
    for (std::size_t comma = text.find(',', from); comma != std::string_view::npos;
         comma = text.find(',', comma + 1)) {
        std::string_view next = text.substr(comma + 1);
        if (OptionNamed(next.substr(0, std::min(next.find('='), next.find(',')))) != nullptr) {
            return comma;
        }
    }
    return std::string_view::npos;
}

// Takes NAME[:PATH] into *choice; false with *error when it is not a source.
bool ParseHead(std::string_view head, CameraSourceChoice* choice, std::string* error) {
    const std::size_t colon = head.find(':');
    const std::string_view name = head.substr(0, colon);
    const auto found = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&](const SourceKind& entry) { return entry.name == name; });
    if (found == std::end(kKinds)) {
        *error = "unknown camera source '" + std::string(name) + "' (one of ";
        for (const SourceKind& entry : kKinds) {
            *error += std::string(&entry == kKinds ? "" : ", ") + entry.form;
        }
        *error += ")";
        return false;
    }
    choice->kind = found->kind;
    choice->simulation.color = found->kind == Kind::kSimColor;
    const bool hasPath = colon != std::string_view::npos;
    const bool pathEmpty = !hasPath || colon + 1 == head.size();
    switch (found->path) {
        case PathRule::kRequired:
            if (pathEmpty) {
                *error = "camera source '" + std::string(name) + "' needs a file: " + found->form;
                return false;
            }
            break;
        case PathRule::kDevice:
            if (hasPath && pathEmpty) {
                *error = "camera source '" + std::string(name) +
                         ":' needs a device: " + std::string(name) + ":/dev/videoN";
                return false;
            }
            break;
        case PathRule::kNone:
            if (hasPath) {
                *error = "camera source '" + std::string(name) + "' takes no file";
                return false;
            }
            break;
    }
    choice->path = hasPath ? std::string(head.substr(colon + 1)) : std::string();
    return true;
}

// The kinds an option's help names: none for an option the plain simulated camera takes
// (the general ones), otherwise every kind that takes it.
std::string KindsNamed(KindSet kinds) {
    if (In(kinds, Kind::kSim)) {
        return {};
    }
    std::string named;
    for (const SourceKind& entry : kKinds) {
        if (In(kinds, entry.kind)) {
            named += (named.empty() ? "" : ", ") + std::string(entry.name);
        }
    }
    return named + ": ";
}

}  // namespace

bool ParseCameraSource(const std::string& text, CameraSourceChoice* choice, std::string* error) {
    std::string_view rest = text;
    std::size_t comma = rest.starts_with("gst:") ? PipelineEnd(rest, 4) : rest.find(',');
    *choice = CameraSourceChoice{};
    choice->faults.framesPerSecond = kDefaultFramesPerSecond;
    if (!ParseHead(rest.substr(0, comma), choice, error)) {
        return false;
    }
    while (comma != std::string_view::npos) {
        rest = rest.substr(comma + 1);
        comma = rest.find(',');
        std::string_view option = rest.substr(0, comma);
        if (option.empty()) {
            *error = "empty option in camera source '" + text + "'";
            return false;
        }
        if (!ApplyOption(option, choice, error)) {
            *error = "camera source '" + text + "': " + *error;
            return false;
        }
    }
    return true;
}

bool HasGaze(CameraSourceKind kind) {
    return In(kGazed, kind);
}

std::optional<bool> ImpliedColor(const CameraSourceChoice& choice) {
    if (choice.kind == Kind::kAuto || !In(kSimulated, choice.kind)) {
        return std::nullopt;  // a device or a recording: the frames do not say
    }
    return choice.simulation.color;
}

const std::vector<CameraSourceInfo>& CameraSources() {
    static const std::vector<CameraSourceInfo> kSources = [] {
        std::vector<CameraSourceInfo> sources;
        for (const SourceKind& entry : kKinds) {
            sources.push_back({entry.form, entry.summary});
        }
        return sources;
    }();
    return kSources;
}

const std::vector<CameraSourceOptionInfo>& CameraSourceOptions() {
    static const std::vector<CameraSourceOptionInfo> kInfo = [] {
        std::vector<CameraSourceOptionInfo> options;
        for (const SourceOption& option : kOptions) {
            options.push_back({option.name.data(), option.form});  // names are literals
        }
        return options;
    }();
    return kInfo;
}

std::string CameraSourceHelp() {
    constexpr std::size_t kKindColumn = 14;
    constexpr std::size_t kOptionColumn = 17;
    std::string help = "Camera sources (--camera SOURCE, or the variable PANDRY_CAMERA):\n";
    for (const SourceKind& entry : kKinds) {
        std::string form = entry.form;
        form.resize(std::max(form.size() + 2, kKindColumn), ' ');
        help += "  " + form + entry.summary + "\n";
    }
    help += "Options follow the source, each after a comma: SOURCE[:PATH][,OPTION[=VALUE]]...\n";
    std::string alsoForMedia;
    for (const SourceOption& option : kOptions) {
        std::string form = option.form;
        form.resize(std::max(form.size() + 2, kOptionColumn), ' ');
        std::string text = KindsNamed(option.kinds) + option.help;
        for (std::size_t line = text.find('\n'); line != std::string::npos;
             line = text.find('\n', line + 1)) {
            text.insert(line + 1, std::string(kOptionColumn + 2, ' '));
        }
        help += "  " + form + text + "\n";
        if (option.name != "fps" && In(option.kinds, Kind::kSim) &&
            In(option.kinds, Kind::kVideo)) {
            alsoForMedia += (alsoForMedia.empty() ? "" : " and ") + std::string(option.form);
        }
    }
    help +=
        "  " + alsoForMedia +
        " apply to video, webcam and gst as to image; so does fps=N\n"
        "  (default: the source's own rate). A gst: pipeline runs to the first of these options.\n"
        "Examples: sim,fps=0   image:photo.jpg,drift   replay:run.raw,loop=0\n"
        "          video:walk.mp4,gaze=0.3:0.5,field=0.5   webcam:/dev/video0,color\n"
        "          gst:videotestsrc pattern=ball ! video/x-raw,width=640,height=480,color\n"
        "A device read that does not answer within 5 seconds fails.\n";
    return help;
}
