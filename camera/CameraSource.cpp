#include "camera/CameraSource.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "camera/GazeScene.h"
#include "camera/MediaSource.h"
#include "camera/ReplaySource.h"
#include "platform/device/FileDevice.h"
#include "platform/device/ScriptedDevice.h"
#include "sensor/LogPolarFrame.h"
#include "simulation/BuiltInScene.h"

namespace {

std::unique_ptr<IDevice> MakeSimulatedDevice(const CameraSourceChoice& choice,
                                             const std::shared_ptr<const BgrPicture>& picture = {},
                                             const std::shared_ptr<CSourceGaze>& gaze = {}) {
    if (choice.kind == CameraSourceKind::kImage) {
        return OpenGazeImage(choice, picture, gaze);
    }
    return std::make_unique<CScriptedDevice>(
        std::make_unique<CSimulatedCamera>(std::make_unique<CBuiltInScene>(choice.simulation.color),
                                           choice.simulation),
        choice.faults);
}

class CCameraSourceResolver : public IDeviceResolver {
  public:
    CCameraSourceResolver(CameraSourceChoice choice, std::shared_ptr<const BgrPicture> picture)
        : m_choice(std::move(choice)), m_pPicture(std::move(picture)) {
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
                return MakeSimulatedDevice(m_choice);
            }
            case CameraSourceKind::kSim:
            case CameraSourceKind::kSimColor:
            case CameraSourceKind::kImage:
                return MakeSimulatedDevice(m_choice, m_pPicture, m_pGaze);
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
    std::shared_ptr<const BgrPicture> m_pPicture;
    std::unique_ptr<IDevice> m_pOpened;
    std::shared_ptr<CSourceGaze> m_pGaze;
    CFileDeviceResolver m_files;
};

}  // namespace

std::shared_ptr<IDeviceResolver> MakeCameraResolver(const CameraSourceChoice& choice,
                                                    std::string* error) {
    std::shared_ptr<const BgrPicture> picture;
    if (choice.kind == CameraSourceKind::kImage) {
        auto decoded = std::make_shared<BgrPicture>();
        if (const FileResult read = DecodePictureFile(choice.path, decoded.get()); !read) {
            *error = read.Error();
            return nullptr;
        }
        picture = std::move(decoded);
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
        // Its times and settings would be lost without a word: the operator must say so.
        RecordingMetadata unused;
        if (std::string problem; !ReplayMetadataOf(choice, &unused, &problem) && !problem.empty()) {
            *error = problem + " (ignore-sidecar replays the frames without it)";
            return nullptr;
        }
        if (!warning.empty()) {
            std::fprintf(stderr, "warning: %s\n", warning.c_str());
        }
    }
    return std::make_shared<CCameraSourceResolver>(choice, std::move(picture));
}

std::shared_ptr<CSourceGaze> SourceGazeOf(const IDeviceResolver& resolver) {
    const auto* source = dynamic_cast<const CCameraSourceResolver*>(&resolver);
    return source ? source->SourceGaze() : nullptr;
}

bool ReplayMetadataOf(const CameraSourceChoice& choice, RecordingMetadata* metadata,
                      std::string* problem) {
    problem->clear();
    if (choice.kind != CameraSourceKind::kReplay || choice.ignoreSidecar) {
        return false;
    }
    // A link that leads nowhere is a sidecar that cannot be read, not a missing one.
    std::error_code ignored;
    if (!std::filesystem::exists(
            std::filesystem::symlink_status(SidecarPathFor(choice.path), ignored))) {
        return false;
    }
    if (const FileResult read = ReadSidecarOf(choice.path, metadata); !read) {
        *problem = read.Error();
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
    SetActiveSourceGaze(SourceGazeOf(*resolver));
    SetDeviceResolver(std::move(resolver));
    return true;
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
