#include "export/FrameRenderer.h"

#include <cstring>

#include "export/ProcessorPicture.h"
#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"

namespace {

constexpr int kAux = 320;

}  // namespace

std::string RenderSettings::Describe() const {
    return std::string("sensor=") + (color ? "color" : "mono") + " size=" + std::to_string(size) +
           " view=" + (remapped ? "remapped" : "unmapped") + " offset=" + std::to_string(offset) +
           " gain=" + std::to_string(gain) +
           " calibration=" + (calibration.empty() ? "none" : calibration) +
           (calibration.empty() || calibrationSha256.empty()
                ? ""
                : " calibration_sha256=" + calibrationSha256.substr(0, 12));
}

CFrameRenderer::CFrameRenderer(const RenderSettings& settings) : m_settings(settings) {
    if (settings.color) {
        m_pProcessor = std::make_unique<CColorProcessor>();
    } else {
        m_pProcessor = std::make_unique<CMonoProcessor>();
    }
    m_pProcessor->SetCalibrationPath(settings.calibration);
    m_pProcessor->Configure(0, settings.offset, kAux, kAux, settings.gain, settings.size,
                            settings.size);
    m_pProcessor->SetCamera(&m_feed.Camera());
}

int CFrameRenderer::Width() const {
    return m_settings.remapped ? m_settings.size : kRings;
}

int CFrameRenderer::Height() const {
    return m_settings.remapped ? m_settings.size : kSectors;
}

bool CFrameRenderer::Render(const std::uint8_t* pRaw, Picture* picture) {
    return Process(pRaw, picture, nullptr);
}

bool CFrameRenderer::RenderInto(const std::uint8_t* pRaw, std::uint8_t* pRgbOut) {
    return Process(pRaw, &m_scratch, pRgbOut);
}

bool CFrameRenderer::Process(const std::uint8_t* pRaw, Picture* picture, std::uint8_t* pRgbOut) {
    m_feed.Next(pRaw);
    if (!m_pProcessor->Acquire()) {
        return false;
    }
    if (m_settings.remapped) {
        m_pProcessor->Remap();
    }
    TakeProcessorPicture(*m_pProcessor, m_settings.remapped, !m_settings.color, picture, pRgbOut);
    return true;
}

bool CFrameRenderer::Correct(const std::uint8_t* pRaw, std::uint8_t* pCorrected) {
    if (!m_pProcessor->IsConfigured()) {
        return false;
    }
    CFrameProcessor::Correct(*m_pProcessor->CurrentGainTable(), pCorrected, pRaw,
                             m_pProcessor->CalibrationImage(), m_pProcessor->Offset());
    return true;
}
