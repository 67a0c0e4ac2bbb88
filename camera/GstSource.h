#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/GstPipeline.h"
#include "camera/SourceGaze.h"
#include "platform/device/DeviceFile.h"
#include "simulation/SimulatedCamera.h"

class CGazeScene;

// The pipelines behind the sources video:PATH, webcam[:DEVICE] and gst:PIPELINE. A webcam
// is read through `cameraElement` (v4l2src; tests put a stand-in there) and decoded as the
// camera sends it, raw or compressed.
CGstPipeline::Settings VideoFilePipeline(const std::string& path, bool paced);
CGstPipeline::Settings WebcamPipeline(const std::string& device,
                                      const std::string& cameraElement = "v4l2src");
CGstPipeline::Settings UserPipeline(const std::string& description, bool paced);

// The device a webcam source names, or the first /dev/video<N> there is; empty with
// *error when there is none.
std::string WebcamDevice(const std::string& named, std::string* error);

// A camera on a media pipeline: each picture it delivers is seen by the simulated sensor
// through the gaze and handed out as a raw frame, in reads bounded like any device's.
// A file ends (or starts again, with loop); a live source that ends or fails is lost.
class CGstSourceDevice : public IDevice {
  public:
    struct Options {
        SimulationOptions simulation;
        double framesPerSecond = 0;  // 0: the source's own pace
        bool loop = false;           // a file starts again at its end
    };

    static std::unique_ptr<CGstSourceDevice> Open(const CGstPipeline::Settings& settings,
                                                  std::shared_ptr<CSourceGaze> gaze,
                                                  const Options& options, std::string* error);

    bool Read(void* buffer, std::size_t size, std::size_t* delivered,
              const ReadLimit& limit) override;

  private:
    CGstSourceDevice(std::unique_ptr<CGstPipeline> pipeline, std::shared_ptr<CSourceGaze> gaze,
                     const Options& options);
    // Takes the next picture and samples it; false when none came (*ended: the file ended).
    bool TakeFrame(const ReadLimit& limit, bool* ended);
    bool WaitForBeat(const ReadLimit& limit);
    void Report(const std::string& reason);

    std::unique_ptr<CGstPipeline> m_pPipeline;
    Options m_options;
    CGazeScene* m_pScene;  // owned by m_pCamera
    std::unique_ptr<CSimulatedCamera> m_pCamera;
    std::vector<std::uint8_t> m_frame;
    std::size_t m_nFramePosition = 0;
    bool m_bFrameLoaded = false;
    bool m_bEnded = false;
    std::string m_strReported;
    std::chrono::steady_clock::time_point m_nextBeat{};
};
