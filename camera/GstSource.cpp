#include "camera/GstSource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "camera/GazeScene.h"
#include "platform/device/DeviceTimeout.h"
#include "sensor/LogPolarFrame.h"

namespace {

constexpr int kMostVideoDevices = 64;

}  // namespace

CGstPipeline::Settings VideoFilePipeline(const std::string& path, bool paced) {
    return {"filesrc name=src ! decodebin", {{"location", path}}, path, paced};
}

CGstPipeline::Settings WebcamPipeline(const std::string& device, const std::string& cameraElement) {
    return {cameraElement + " name=src ! decodebin", {{"device", device}}, device, false};
}

CGstPipeline::Settings UserPipeline(const std::string& description, bool paced) {
    return {description, {}, "pipeline '" + description + "'", paced};
}

std::string WebcamDevice(const std::string& named, std::string* error) {
    std::error_code ignored;
    if (!named.empty()) {
        if (std::filesystem::exists(named, ignored)) {
            return named;
        }
        *error = "cannot open camera " + named + ": no such device";
        return {};
    }
    for (int index = 0; index < kMostVideoDevices; ++index) {
        const std::string device = "/dev/video" + std::to_string(index);
        if (std::filesystem::exists(device, ignored)) {
            return device;
        }
    }
    *error = "no camera found: there is no /dev/video device";
    return {};
}

std::unique_ptr<CGstSourceDevice> CGstSourceDevice::Open(const CGstPipeline::Settings& settings,
                                                         std::shared_ptr<CSourceGaze> gaze,
                                                         const Options& options,
                                                         std::string* error) {
    std::unique_ptr<CGstPipeline> pipeline =
        CGstPipeline::Start(settings, ReadLimit::Within(DeviceReadTimeout()), error);
    if (!pipeline) {
        return nullptr;
    }
    return std::unique_ptr<CGstSourceDevice>(
        new CGstSourceDevice(std::move(pipeline), std::move(gaze), options));
}

CGstSourceDevice::CGstSourceDevice(std::unique_ptr<CGstPipeline> pipeline,
                                   std::shared_ptr<CSourceGaze> gaze, const Options& options)
    : m_pPipeline(std::move(pipeline)), m_options(options), m_frame(kFrameBytes) {
    CGazeScene::Options seen;
    seen.color = options.simulation.color;
    auto scene = std::make_unique<CGazeScene>(std::move(gaze), seen);
    m_pScene = scene.get();
    m_pCamera = std::make_unique<CSimulatedCamera>(std::move(scene), options.simulation);
}

bool CGstSourceDevice::Read(void* buffer, std::size_t size, std::size_t* delivered,
                            const ReadLimit& limit) {
    *delivered = 0;
    if (size == kProbeBytes && !m_bFrameLoaded) {
        std::memset(buffer, 0, kProbeBytes);
        *delivered = kProbeBytes;
        return true;
    }
    if (!m_bFrameLoaded) {
        if (m_bEnded) {
            return true;  // ended: nothing delivered
        }
        if (!WaitForBeat(limit) || !TakeFrame(limit, &m_bEnded)) {
            return m_bEnded;
        }
        m_bFrameLoaded = true;
        m_nFramePosition = 0;
    }
    const std::size_t count = std::min(size, kFrameBytes - m_nFramePosition);
    std::memcpy(buffer, m_frame.data() + m_nFramePosition, count);
    m_nFramePosition += count;
    m_bFrameLoaded = m_nFramePosition < kFrameBytes;
    *delivered = count;
    return true;
}

bool CGstSourceDevice::TakeFrame(const ReadLimit& limit, bool* ended) {
    SourcePicture picture;
    std::string error;
    CGstPipeline::Pulled pulled = m_pPipeline->Pull(limit, &picture, &error);
    if (pulled == CGstPipeline::Pulled::kEnded && m_options.loop && m_pPipeline->Rewind()) {
        pulled = m_pPipeline->Pull(limit, &picture, &error);
    }
    if (pulled == CGstPipeline::Pulled::kEnded) {
        *ended = true;
        return false;
    }
    if (pulled == CGstPipeline::Pulled::kFailed) {
        if (!error.empty()) {
            Report(error);
        }
        return false;
    }
    m_pScene->SetPicture(picture);
    return m_pCamera->NextFrame(m_frame.data());
}

// With fps=N, pictures are taken on a beat of N a second; the beat may outlast the read's
// deadline (it is the camera's pace, not a stall) but not a cancel.
bool CGstSourceDevice::WaitForBeat(const ReadLimit& limit) {
    if (m_options.framesPerSecond <= 0) {
        return true;
    }
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / m_options.framesPerSecond));
    const auto now = Clock::now();
    if (m_nextBeat < now - period) {
        m_nextBeat = now;
    }
    if (!limit.SleepUntil(m_nextBeat)) {
        return false;
    }
    m_nextBeat += period;
    return true;
}

// Said once on stderr: the reader sees only that the read failed.
void CGstSourceDevice::Report(const std::string& reason) {
    if (reason != m_strReported) {
        std::fprintf(stderr, "camera: %s\n", reason.c_str());
        m_strReported = reason;
    }
}
