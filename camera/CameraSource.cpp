#include "camera/CameraSource.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string_view>

#include "camera/GazeScene.h"
#include "camera/MediaSource.h"
#include "camera/ReplaySource.h"
#include "platform/device/FileDevice.h"
#include "platform/device/ScriptedDevice.h"
#include "sensor/LogPolarFrame.h"
#include "simulation/BuiltInScene.h"
#include "simulation/ImageScene.h"
#include "simulation/SceneImage.h"

namespace {

constexpr std::size_t kDefaultShortRead = 4096;
constexpr int kMaxNoise = 50;
constexpr double kMaxFramesPerSecond = 1000;

const std::vector<CameraSourceInfo> kSources = {
    {"auto", "the camera device /dev/lptsimple<N> when it exists, otherwise sim (default)"},
    {"sim", "a simulated black-and-white camera looking at a built-in moving scene"},
    {"sim-color", "the simulated camera behind the colour sensor's mosaic"},
    {"image:PATH", "the simulated camera looking at a picture file (PNG, JPEG, BMP, ...)"},
    {"replay:PATH", "the frames of a recorded file (whole 38304-byte frames), looping"},
    {"video:PATH", "the simulated camera looking at a video file (MKV, MP4, WebM, AVI, ...)"},
    {"webcam[:DEV]", "the simulated camera looking through a V4L2 camera (default the first)"},
    {"gst:PIPELINE", "the simulated camera looking at a GStreamer pipeline's raw video"},
    {"none", "no camera: the device does not open and acquisition fails"},
};

struct KindName {
    std::string_view name;
    CameraSourceKind kind;
    bool takesPath;
};
constexpr KindName kKindNames[] = {
    {"auto", CameraSourceKind::kAuto, false},
    {"sim", CameraSourceKind::kSim, false},
    {"sim-color", CameraSourceKind::kSimColor, false},
    {"image", CameraSourceKind::kImage, true},
    {"replay", CameraSourceKind::kReplay, true},
    {"none", CameraSourceKind::kNone, false},
    {"video", CameraSourceKind::kVideo, true},
    {"webcam", CameraSourceKind::kWebcam, false},
    {"gst", CameraSourceKind::kGst, true},
};

bool IsMedia(CameraSourceKind kind) {
    return kind == CameraSourceKind::kVideo || kind == CameraSourceKind::kWebcam ||
           kind == CameraSourceKind::kGst;
}

// The options a media source takes; the device faults are the stand-in devices' own.
bool IsMediaOption(std::string_view name) {
    for (std::string_view option : {"fps", "dark", "noise", "color", "gaze", "field", "loop"}) {
        if (name == option) {
            return true;
        }
    }
    return false;
}

// Where a gst: pipeline ends: before the first comma that starts one of our options.
std::size_t PipelineEnd(std::string_view text, std::size_t from) {
    for (std::size_t comma = text.find(',', from); comma != std::string_view::npos;
         comma = text.find(',', comma + 1)) {
        std::string_view next = text.substr(comma + 1);
        if (IsMediaOption(next.substr(0, std::min(next.find('='), next.find(','))))) {
            return comma;
        }
    }
    return std::string_view::npos;
}

bool Simulates(CameraSourceKind kind) {
    return kind == CameraSourceKind::kAuto || kind == CameraSourceKind::kSim ||
           kind == CameraSourceKind::kSimColor || kind == CameraSourceKind::kImage || IsMedia(kind);
}

template <typename T>
bool ParseNumber(std::string_view text, T min, T max, T* value) {
    T parsed{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    // Written so that NaN, which compares false with everything, fails the range too.
    const bool inRange = parsed >= min && parsed <= max;
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !inRange) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ApplyGazeOption(std::string_view name, std::string_view value, Gaze* gaze) {
    if (name == "field") {
        return ParseNumber(value, Gaze::kLeastField, Gaze::kMostField, &gaze->field);
    }
    const std::size_t colon = value.find(':');
    return colon != std::string_view::npos &&
           ParseNumber(value.substr(0, colon), 0.0, 1.0, &gaze->x) &&
           ParseNumber(value.substr(colon + 1), 0.0, 1.0, &gaze->y);
}

// Applies one OPTION[=VALUE]; false with *error set when the source does not take it.
bool ApplyOption(std::string_view option, CameraSourceChoice* choice, std::string* error) {
    std::size_t equals = option.find('=');
    std::string_view name = option.substr(0, equals);
    bool hasValue = equals != std::string_view::npos;
    std::string_view value = hasValue ? option.substr(equals + 1) : std::string_view{};
    CameraSourceKind kind = choice->kind;
    auto bad = [&](const char* expected) {
        *error = "option '" + std::string(option) + "': " + expected;
        return false;
    };
    constexpr std::int64_t kMaxCount = std::numeric_limits<std::int64_t>::max();
    if (kind == CameraSourceKind::kNone) {
        return bad("the source 'none' takes no options");
    }
    if (IsMedia(kind) && !IsMediaOption(name)) {
        return bad("unknown option for this source (see 'pandry-cli sources')");
    }
    if (HasGaze(kind) && (name == "gaze" || name == "field")) {
        if (!ApplyGazeOption(name, value, &choice->gaze)) {
            return bad(name == "gaze" ? "expected gaze=X:Y, each from 0 to 1"
                                      : "expected a field from 0.05 to 4");
        }
        choice->gazeGiven = true;
        return true;
    }
    if (name == "fps") {
        choice->framesPerSecondGiven = true;
        return ParseNumber(value, 0.0, kMaxFramesPerSecond, &choice->faults.framesPerSecond) ||
               bad("expected a frame rate from 0 (as fast as possible) to 1000");
    }
    if (name == "probe") {
        return ParseNumber<std::uint32_t>(value, 0, 65535, &choice->faults.probeCount) ||
               bad("expected the byte count the probe reports, 0 to 65535");
    }
    if (name == "fail-after") {
        return ParseNumber<std::int64_t>(value, 0, kMaxCount, &choice->faults.failAfterFrames) ||
               bad("expected a frame count");
    }
    if (name == "stall-after") {
        return ParseNumber<std::int64_t>(value, 0, kMaxCount, &choice->faults.stallAfterFrames) ||
               bad("expected a frame count");
    }
    if (name == "corrupt-every") {
        return ParseNumber<std::int64_t>(value, 1, kMaxCount, &choice->faults.corruptEvery) ||
               bad("expected a frame count of at least 1");
    }
    if (name == "short-read") {
        choice->faults.chunkBytes = kDefaultShortRead;
        return !hasValue ||
               ParseNumber<std::size_t>(value, 1, kFrameBytes, &choice->faults.chunkBytes) ||
               bad("expected a byte count from 1 to 38304");
    }
    if (name == "dark" && Simulates(kind) && !hasValue) {
        choice->simulation.dark = true;
        return true;
    }
    if (name == "noise" && Simulates(kind)) {
        return ParseNumber(value, 0, kMaxNoise, &choice->simulation.noise) ||
               bad("expected a noise amplitude from 0 to 50");
    }
    if (name == "drift" && kind == CameraSourceKind::kImage && !hasValue) {
        choice->drift = true;
        return true;
    }
    if (name == "color" && (kind == CameraSourceKind::kImage || IsMedia(kind)) && !hasValue) {
        choice->simulation.color = true;
        return true;
    }
    if (name == "loop" && (kind == CameraSourceKind::kReplay || kind == CameraSourceKind::kVideo)) {
        if (value == "0" || value == "1") {
            choice->loop = value == "1";
            return true;
        }
        return bad("expected loop=0 or loop=1");
    }
    return bad("unknown option for this source (see 'pandry-cli sources')");
}

std::unique_ptr<IDevice> MakeSimulatedDevice(const CameraSourceChoice& choice,
                                             const std::shared_ptr<const CSceneImage>& picture,
                                             const std::shared_ptr<const SourcePicture>& full = {},
                                             const std::shared_ptr<CSourceGaze>& gaze = {}) {
    std::unique_ptr<IScene> scene;
    if (choice.kind == CameraSourceKind::kImage) {
        scene = std::make_unique<CImageScene>(picture, choice.simulation.color, choice.drift);
        if (gaze) {
            return OpenGazeImage(choice, full, std::move(scene), gaze);
        }
    } else {
        scene = std::make_unique<CBuiltInScene>(choice.simulation.color);
    }
    return std::make_unique<CScriptedDevice>(
        std::make_unique<CSimulatedCamera>(std::move(scene), choice.simulation), choice.faults);
}

class CCameraSourceResolver : public IDeviceResolver {
  public:
    CCameraSourceResolver(CameraSourceChoice choice, std::shared_ptr<const CSceneImage> picture,
                          std::shared_ptr<const SourcePicture> fullPicture = {},
                          std::unique_ptr<IDevice> opened = {})
        : m_choice(std::move(choice)),
          m_pPicture(std::move(picture)),
          m_pFullPicture(std::move(fullPicture)),
          m_pOpened(std::move(opened)) {
        if (HasGaze(m_choice.kind)) {
            m_pGaze = std::make_shared<CSourceGaze>(m_choice.gaze);
        }
    }

    const std::shared_ptr<CSourceGaze>& SourceGaze() const { return m_pGaze; }
    // The device opened to check the source, handed to the first open.
    void KeepOpened(std::unique_ptr<IDevice> device) { m_pOpened = std::move(device); }

    std::unique_ptr<IDevice> OpenDevice(int index, std::string* error) override {
        switch (m_choice.kind) {
            case CameraSourceKind::kAuto: {
                std::string path = m_files.DevicePath(index);
                std::error_code ignored;
                if (std::filesystem::exists(path, ignored)) {
                    return CFileDevice::Open(path, error);
                }
                return MakeSimulatedDevice(m_choice, nullptr);
            }
            case CameraSourceKind::kSim:
            case CameraSourceKind::kSimColor:
            case CameraSourceKind::kImage:
                return MakeSimulatedDevice(m_choice, m_pPicture, m_pFullPicture, m_pGaze);
            case CameraSourceKind::kVideo:
            case CameraSourceKind::kWebcam:
            case CameraSourceKind::kGst:
                if (m_pOpened) {
                    return std::move(m_pOpened);
                }
                return OpenMediaSource(m_choice, m_pGaze, error);
            case CameraSourceKind::kReplay: {
                std::uint64_t frames = 0;
                std::string cutOff;
                if (!CReplaySource::CountWholeFrames(m_choice.path, &frames, &cutOff)) {
                    return nullptr;
                }
                return OpenReplay();
            }
            case CameraSourceKind::kNone:
                break;
        }
        return nullptr;
    }

  private:
    // Without fps=N a recording with a sidecar plays at its recorded times.
    std::unique_ptr<IDevice> OpenReplay() const {
        std::vector<std::int64_t> times;
        DeviceFaults faults = m_choice.faults;
        RecordingMetadata metadata;
        std::string ignored;
        if (!m_choice.framesPerSecondGiven && ReplayMetadataOf(m_choice, &metadata, &ignored)) {
            for (const RecordedFrame& frame : metadata.frames) {
                times.push_back(frame.timeUs / 1000);
            }
            faults.framesPerSecond = 0;
        }
        return std::make_unique<CScriptedDevice>(
            std::make_unique<CReplaySource>(m_choice.path, m_choice.loop, std::move(times)),
            faults);
    }

    CameraSourceChoice m_choice;
    std::shared_ptr<const CSceneImage> m_pPicture;
    std::shared_ptr<const SourcePicture> m_pFullPicture;
    std::unique_ptr<IDevice> m_pOpened;
    std::shared_ptr<CSourceGaze> m_pGaze;
    CFileDeviceResolver m_files;
};

}  // namespace

bool ParseCameraSource(const std::string& text, CameraSourceChoice* choice, std::string* error) {
    std::string_view rest = text;
    std::size_t comma = rest.starts_with("gst:") ? PipelineEnd(rest, 4) : rest.find(',');
    std::string_view head = rest.substr(0, comma);
    std::size_t colon = head.find(':');
    std::string_view name = head.substr(0, colon);
    *choice = CameraSourceChoice{};
    choice->faults.framesPerSecond = kDefaultFramesPerSecond;
    const KindName* found = nullptr;
    for (const KindName& candidate : kKindNames) {
        if (candidate.name == name) {
            found = &candidate;
        }
    }
    if (!found) {
        *error = "unknown camera source '" + std::string(name) +
                 "' (one of auto, sim, sim-color, image:PATH, replay:PATH, none, video:PATH, "
                 "webcam[:DEVICE], gst:PIPELINE)";
        return false;
    }
    choice->kind = found->kind;
    choice->simulation.color = found->kind == CameraSourceKind::kSimColor;
    if (found->takesPath) {
        if (colon == std::string_view::npos || colon + 1 == head.size()) {
            *error = "camera source '" + std::string(name) +
                     "' needs a file: " + std::string(name) + ":PATH";
            return false;
        }
        choice->path = std::string(head.substr(colon + 1));
    } else if (found->kind == CameraSourceKind::kWebcam && colon != std::string_view::npos) {
        if (colon + 1 == head.size()) {
            *error = "camera source 'webcam:' needs a device: webcam:/dev/videoN";
            return false;
        }
        choice->path = std::string(head.substr(colon + 1));
    } else if (colon != std::string_view::npos) {
        *error = "camera source '" + std::string(name) + "' takes no file";
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

std::shared_ptr<IDeviceResolver> MakeCameraResolver(const CameraSourceChoice& choice,
                                                    std::string* error) {
    std::shared_ptr<const CSceneImage> picture;
    std::shared_ptr<const SourcePicture> fullPicture;
    if (choice.kind == CameraSourceKind::kImage) {
        DecodedPicture decoded;
        if (const FileResult read = DecodePictureFile(choice.path, &decoded); !read) {
            *error = read.Error();
            return nullptr;
        }
        picture = CSceneImage::Covering(decoded);
        fullPicture = SourcePictureOf(std::move(decoded));
    }
    if (HasGaze(choice.kind) && choice.kind != CameraSourceKind::kImage) {
        auto resolver = std::make_shared<CCameraSourceResolver>(choice, nullptr);
        std::unique_ptr<IDevice> device = OpenMediaSource(choice, resolver->SourceGaze(), error);
        if (!device) {
            return nullptr;
        }
        resolver->KeepOpened(std::move(device));
        return resolver;
    }
    if (choice.kind == CameraSourceKind::kReplay) {
        std::string warning;
        std::uint64_t frames = 0;
        if (const FileResult counted =
                CReplaySource::CountWholeFrames(choice.path, &frames, &warning);
            !counted) {
            *error = counted.Error();
            return nullptr;
        }
        RecordingMetadata ignored;
        if (warning.empty()) {
            ReplayMetadataOf(choice, &ignored, &warning);
        }
        if (!warning.empty()) {
            std::fprintf(stderr, "warning: %s\n", warning.c_str());
        }
    }
    return std::make_shared<CCameraSourceResolver>(choice, std::move(picture),
                                                   std::move(fullPicture));
}

bool ReplayMetadataOf(const CameraSourceChoice& choice, RecordingMetadata* metadata,
                      std::string* warning) {
    warning->clear();
    if (choice.kind != CameraSourceKind::kReplay) {
        return false;
    }
    std::error_code ignored;
    if (!std::filesystem::exists(SidecarPathFor(choice.path), ignored)) {
        return false;
    }
    if (const FileResult read = ReadSidecarOf(choice.path, metadata); !read) {
        *warning = read.Error() + "; replaying without it";
        return false;
    }
    return true;
}

bool SelectCameraSource(const std::string& text, std::string* error) {
    CameraSourceChoice choice;
    if (!ParseCameraSource(text, &choice, error)) {
        return false;
    }
    std::shared_ptr<IDeviceResolver> resolver = MakeCameraResolver(choice, error);
    if (!resolver) {
        return false;
    }
    auto* sourceResolver = dynamic_cast<CCameraSourceResolver*>(resolver.get());
    SetActiveSourceGaze(sourceResolver ? sourceResolver->SourceGaze() : nullptr);
    SetDeviceResolver(std::move(resolver));
    return true;
}

bool HasGaze(CameraSourceKind kind) {
    return kind == CameraSourceKind::kImage || IsMedia(kind);
}

std::optional<bool> ImpliedColor(const CameraSourceChoice& choice) {
    switch (choice.kind) {
        case CameraSourceKind::kSim:
        case CameraSourceKind::kSimColor:
        case CameraSourceKind::kImage:
        case CameraSourceKind::kVideo:
        case CameraSourceKind::kWebcam:
        case CameraSourceKind::kGst:
            return choice.simulation.color;
        case CameraSourceKind::kAuto:
        case CameraSourceKind::kReplay:
        case CameraSourceKind::kNone:
            break;
    }
    return std::nullopt;
}

std::string DescribeCameraSource(const CameraSourceChoice& choice, int deviceIndex,
                                 bool* pFellBack) {
    if (pFellBack != nullptr) {
        *pFellBack = false;
    }
    const std::string file = std::filesystem::path(choice.path).filename().string();
    switch (choice.kind) {
        case CameraSourceKind::kAuto: {
            const std::string path = CFileDeviceResolver().DevicePath(deviceIndex);
            std::error_code ignored;
            if (std::filesystem::exists(path, ignored)) {
                return "Camera " + path;
            }
            if (pFellBack != nullptr) {
                *pFellBack = true;
            }
            return "Simulated camera";
        }
        case CameraSourceKind::kSim:
        case CameraSourceKind::kSimColor:
            return "Simulated camera";
        case CameraSourceKind::kImage:
            return "Simulated camera on " + file;
        case CameraSourceKind::kReplay:
            return "Replay " + file;
        case CameraSourceKind::kVideo:
            return "Simulated camera on video " + file;
        case CameraSourceKind::kWebcam:
            return choice.path.empty() ? "Simulated camera on the first webcam"
                                       : "Simulated camera on webcam " + choice.path;
        case CameraSourceKind::kGst:
            return "Simulated camera on a GStreamer pipeline";
        case CameraSourceKind::kNone:
            break;
    }
    return "No camera";
}

std::string CameraSourceFromEnvironment() {
    const char* source = std::getenv("PANDRY_CAMERA");
    return source && *source ? source : kDefaultCameraSource;
}

const std::vector<CameraSourceInfo>& CameraSources() {
    return kSources;
}

std::string CameraSourceHelp() {
    std::string help = "Camera sources (--camera SOURCE, or the variable PANDRY_CAMERA):\n";
    for (const CameraSourceInfo& source : kSources) {
        std::string name = source.name;
        name.resize(std::max<std::size_t>(name.size() + 2, 14), ' ');
        help += "  " + name + source.summary + "\n";
    }
    help +=
        "Options follow the source, each after a comma: SOURCE[:PATH][,OPTION[=VALUE]]...\n"
        "  fps=N            frames a second (default 25; 0: as fast as they are read)\n"
        "  probe=N          byte count the device's probe reports (0 or 5: no camera)\n"
        "  fail-after=N     every read after N frames fails (a disconnect)\n"
        "  stall-after=N    every read after N frames never answers (it times out)\n"
        "  corrupt-every=N  every N-th frame arrives garbled\n"
        "  short-read[=N]   the device delivers at most N bytes a read (default 4096)\n"
        "  dark             lens covered: dark pattern and noise only (to calibrate)\n"
        "  noise=N          noise amplitude in levels (default 1)\n"
        "  drift            image: the view drifts slowly over the picture\n"
        "  color            image: seen through the colour mosaic\n"
        "  loop=0|1         replay, video: start again after the last frame (default 1)\n"
        "  gaze=X:Y         image, video, webcam, gst: the sensor's centre as fractions of the\n"
        "                   picture's width and height (default 0.5:0.5)\n"
        "  field=F          image, video, webcam, gst: the sensor's outer diameter as a fraction\n"
        "                   of the picture's shorter side (default 1)\n"
        "  color, noise=N and dark apply to video, webcam and gst as to image; so does fps=N\n"
        "  (default: the source's own rate). A gst: pipeline runs to the first of these options.\n"
        "Examples: sim,fps=0   image:photo.jpg,drift   replay:run.raw,loop=0\n"
        "          video:walk.mp4,gaze=0.3:0.5,field=0.5   webcam:/dev/video0,color\n"
        "          gst:videotestsrc pattern=ball ! video/x-raw,width=640,height=480,color\n"
        "A device read that does not answer within 5 seconds fails.\n";
    return help;
}
