#include "camera/CameraSource.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string_view>

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
    {"none", "no camera: the device does not open and acquisition fails"},
};

struct KindName {
    std::string_view name;
    CameraSourceKind kind;
    bool takesPath;
};
constexpr KindName kKindNames[] = {
    {"auto", CameraSourceKind::kAuto, false},          {"sim", CameraSourceKind::kSim, false},
    {"sim-color", CameraSourceKind::kSimColor, false}, {"image", CameraSourceKind::kImage, true},
    {"replay", CameraSourceKind::kReplay, true},       {"none", CameraSourceKind::kNone, false},
};

bool Simulates(CameraSourceKind kind) {
    return kind == CameraSourceKind::kAuto || kind == CameraSourceKind::kSim ||
           kind == CameraSourceKind::kSimColor || kind == CameraSourceKind::kImage;
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
    if (name == "color" && kind == CameraSourceKind::kImage && !hasValue) {
        choice->simulation.color = true;
        return true;
    }
    if (name == "loop" && kind == CameraSourceKind::kReplay) {
        if (value == "0" || value == "1") {
            choice->loop = value == "1";
            return true;
        }
        return bad("expected loop=0 or loop=1");
    }
    return bad("unknown option for this source (see 'pandry-cli sources')");
}

std::unique_ptr<IDevice> MakeSimulatedDevice(const CameraSourceChoice& choice,
                                             const std::shared_ptr<const CSceneImage>& picture) {
    std::unique_ptr<IScene> scene;
    if (choice.kind == CameraSourceKind::kImage) {
        scene = std::make_unique<CImageScene>(picture, choice.simulation.color, choice.drift);
    } else {
        scene = std::make_unique<CBuiltInScene>(choice.simulation.color);
    }
    return std::make_unique<CScriptedDevice>(
        std::make_unique<CSimulatedCamera>(std::move(scene), choice.simulation), choice.faults);
}

class CCameraSourceResolver : public IDeviceResolver {
  public:
    CCameraSourceResolver(CameraSourceChoice choice, std::shared_ptr<const CSceneImage> picture)
        : m_choice(std::move(choice)), m_pPicture(std::move(picture)) {}

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
                return MakeSimulatedDevice(m_choice, m_pPicture);
            case CameraSourceKind::kReplay: {
                std::string ignored;
                if (CReplaySource::CountWholeFrames(m_choice.path, &ignored, &ignored) == 0) {
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
    CFileDeviceResolver m_files;
};

}  // namespace

bool ParseCameraSource(const std::string& text, CameraSourceChoice* choice, std::string* error) {
    std::string_view rest = text;
    std::size_t comma = rest.find(',');
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
                 "' (one of auto, sim, sim-color, image:PATH, replay:PATH, none)";
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
    if (choice.kind == CameraSourceKind::kImage) {
        picture = CSceneImage::Load(choice.path, error);
        if (!picture) {
            return nullptr;
        }
    }
    if (choice.kind == CameraSourceKind::kReplay) {
        std::string warning;
        if (CReplaySource::CountWholeFrames(choice.path, error, &warning) == 0) {
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
    return std::make_shared<CCameraSourceResolver>(choice, std::move(picture));
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
    if (!ReadSidecarOf(choice.path, metadata, warning)) {
        *warning += "; replaying without it";
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
    SetDeviceResolver(std::move(resolver));
    return true;
}

std::optional<bool> ImpliedColor(const CameraSourceChoice& choice) {
    switch (choice.kind) {
        case CameraSourceKind::kSim:
        case CameraSourceKind::kSimColor:
        case CameraSourceKind::kImage:
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
        "  loop=0|1         replay: start again after the last frame (default 1)\n"
        "Examples: sim,fps=0   image:photo.jpg,drift   replay:run.raw,loop=0\n"
        "A device read that does not answer within 5 seconds fails.\n";
    return help;
}
