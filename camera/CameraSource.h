#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera/SourceGaze.h"
#include "platform/device/DeviceFaults.h"
#include "platform/device/DeviceFile.h"
#include "sidecar/RecordingMetadata.h"
#include "simulation/SimulatedCamera.h"

// What stands behind the camera devices: the driver's device files, or a stand-in.
// A source is written NAME[:PATH][,OPTION[=VALUE]]..., for example
//   sim,fps=10,fail-after=100     image:/tmp/pic.png,drift     replay:run.raw,loop=0
// A path runs up to the first comma; a gst: pipeline up to the first comma that starts
// one of our options (its caps keep theirs).
enum class CameraSourceKind {
    kAuto,
    kSim,
    kSimColor,
    kImage,
    kReplay,
    kNone,
    kVideo,
    kWebcam,
    kGst
};

struct CameraSourceChoice {
    CameraSourceKind kind = CameraSourceKind::kAuto;
    std::string path;  // image, replay and video; webcam's device; gst's pipeline
    DeviceFaults faults;
    SimulationOptions simulation;
    bool drift = false;                 // image
    bool loop = true;                   // replay
    bool ignoreSidecar = false;         // replay: play without the recording's sidecar
    bool framesPerSecondGiven = false;  // fps=N was written (else a replay keeps its own pace)
    Gaze gaze;                          // image, video, webcam, gst
    bool gazeGiven = false;             // gaze= or field= was written
};

// The sources a gaze can be moved over.
bool HasGaze(CameraSourceKind kind);

inline constexpr double kDefaultFramesPerSecond = 25;
inline constexpr const char* kDefaultCameraSource = "auto";

// Parses a source; false, with one line naming the fault in *error, when it is not valid.
bool ParseCameraSource(const std::string& text, CameraSourceChoice* choice, std::string* error);

// The resolver that serves a parsed source. It checks now what can be checked (a picture
// decodes, a recording is whole frames) so that a bad source is reported before use;
// null with *error set otherwise.
std::shared_ptr<IDeviceResolver> MakeCameraResolver(const CameraSourceChoice& choice,
                                                    std::string* error);

// The gaze of the source a resolver from MakeCameraResolver serves; null for a source
// without one. Any thread may Set it; the frame after takes it, and Used() tells the gaze
// the latest frame was sampled at.
std::shared_ptr<CSourceGaze> SourceGazeOf(const IDeviceResolver& resolver);

// What a replay source's recording says about itself (its sidecar); false when it has none,
// the operator set it aside (ignore-sidecar) or it cannot be read (then *problem names the
// file and the reason; MakeCameraResolver refuses such a source).
bool ReplayMetadataOf(const CameraSourceChoice& choice, RecordingMetadata* metadata,
                      std::string* problem);

// Parses, checks and installs a source for every later device open.
bool SelectCameraSource(const std::string& text, std::string* error);

// The sensor a source implies: colour for sim-color and image:...,color, black-and-white
// for sim and a plain image; nothing for a device or a recording (frames do not say).
std::optional<bool> ImpliedColor(const CameraSourceChoice& choice);

// The source as the operator knows it: "Simulated camera", "Replay run.raw",
// "Camera /dev/lptsimple1", "No camera". For auto it names what device number
// deviceIndex opens now; *pFellBack (when given) says whether that is the simulation.
std::string DescribeCameraSource(const CameraSourceChoice& choice, int deviceIndex,
                                 bool* pFellBack = nullptr);

// The source named by the environment variable PANDRY_CAMERA, or "auto" when unset.
std::string CameraSourceFromEnvironment();

struct CameraSourceInfo {
    const char* name;
    const char* summary;
};
const std::vector<CameraSourceInfo>& CameraSources();
// The options a source may take, in the help's order.
struct CameraSourceOptionInfo {
    const char* name;  // fps
    const char* form;  // fps=N
};
const std::vector<CameraSourceOptionInfo>& CameraSourceOptions();
// The list of sources and their options, as printed by the tools' help.
std::string CameraSourceHelp();
