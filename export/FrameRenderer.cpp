#include "export/FrameRenderer.h"

#include <cstring>

#include "export/ProcessorPicture.h"

CFrameRenderer::CFrameRenderer(const RenderSettings& settings)
    : m_settings(settings), m_pProcessor(MakeConfiguredProcessor(settings)) {}

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
    if (!m_pProcessor->TakeFrame(pRaw)) {
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
