#include "export/FrameRenderer.h"

#include <cstring>

#include "export/ProcessorPicture.h"
#include "processing/FlatField.h"

std::vector<std::pair<std::string, std::string>> RenderSettings::Pairs() const {
    std::vector<std::pair<std::string, std::string>> pairs = ProcessorSettings::Pairs();
    if (values != SampleValues::kShown) {
        pairs.emplace_back("values", SampleValuesName(values));
    }
    if (sidecarIgnored) {
        pairs.emplace_back("sidecar", "ignored");
    }
    return pairs;
}

std::string RenderSettings::Describe() const {
    std::string text;
    for (const auto& [key, value] : Pairs()) {
        text += (text.empty() ? "" : " ") + key + "=" + value;
    }
    return text;
}

CFrameRenderer::CFrameRenderer(const RenderSettings& settings)
    : m_settings(settings), m_pProcessor(MakeConfiguredProcessor(settings)) {}

int CFrameRenderer::Width() const {
    return m_settings.remapped ? m_settings.size : kRings;
}

int CFrameRenderer::Height() const {
    return m_settings.remapped ? m_settings.size : kSectors;
}

bool CFrameRenderer::Render(const std::uint8_t* pRaw, Picture* picture) {
    if (m_settings.values != SampleValues::kShown) {
        return RenderValues(pRaw, picture);
    }
    return Process(pRaw, picture, nullptr);
}

bool CFrameRenderer::RenderValues(const std::uint8_t* pRaw, Picture* picture) {
    picture->width = Width();
    picture->height = Height();
    picture->grey = true;
    const std::size_t pixels = std::size_t(picture->width) * picture->height;
    std::vector<std::uint8_t>& plane = picture->rgb;  // spread over three channels below
    plane.resize(pixels * 3);
    if (!SampleValuesInto(pRaw, m_settings.values, plane.data() + pixels * 2)) {
        return false;
    }
    // Every writer reads one of the two layouts, so both carry the grey level three times.
    const std::uint8_t* pGrey = plane.data() + pixels * 2;
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t level = pGrey[i];
        plane[3 * i] = level;
        plane[3 * i + 1] = level;
        plane[3 * i + 2] = level;
    }
    const std::size_t rowBytes = std::size_t(picture->width) * 3;
    picture->bgrFlipped.resize(plane.size());
    for (int row = 0; row < picture->height; ++row) {
        std::memcpy(picture->bgrFlipped.data() + std::size_t(picture->height - 1 - row) * rowBytes,
                    plane.data() + std::size_t(row) * rowBytes, rowBytes);
    }
    return true;
}

bool CFrameRenderer::SampleValuesInto(const std::uint8_t* pRaw, SampleValues values,
                                      std::uint8_t* pOut) {
    if (values == SampleValues::kShown) {
        return false;
    }
    m_grid.resize(kFrameBytes);
    if (values == SampleValues::kRaw) {
        std::memcpy(m_grid.data(), pRaw, kFrameBytes);
    } else if (values == SampleValues::kFlat) {
        const std::int32_t* pFactors = m_pProcessor->FlatFactorsInUse();
        if (pFactors == nullptr || !m_pProcessor->IsConfigured()) {
            return false;
        }
        FlatCorrectedLevels(m_grid.data(), pRaw, m_pProcessor->CalibrationImage(), pFactors);
    } else if (!Correct(pRaw, m_grid.data())) {
        return false;
    }
    if (m_settings.remapped) {
        RemapSampleGrid(m_grid.data(), m_settings.size, pOut);
    } else {
        std::memcpy(pOut, m_grid.data(), kFrameBytes);
    }
    return true;
}

bool CFrameRenderer::RenderInto(const std::uint8_t* pRaw, std::uint8_t* pRgbOut, bool streamed) {
    return Process(pRaw, &m_scratch, pRgbOut, streamed);
}

bool CFrameRenderer::StreamsPictures() const {
    return StreamsPicture(*m_pProcessor, m_settings.remapped);
}

bool CFrameRenderer::RenderGreyInto(const std::uint8_t* pRaw, std::uint8_t* pGreyOut) {
    if (m_settings.color || !m_pProcessor->TakeFrame(pRaw)) {
        return false;
    }
    if (m_settings.remapped) {
        m_pProcessor->Remap();
    }
    TakeGreyProcessorPicture(*m_pProcessor, m_settings.remapped, pGreyOut);
    return true;
}

bool CFrameRenderer::Process(const std::uint8_t* pRaw, Picture* picture, std::uint8_t* pRgbOut,
                             bool streamed) {
    if (!m_pProcessor->TakeFrame(pRaw)) {
        return false;
    }
    if (m_settings.remapped) {
        m_pProcessor->Remap();
    }
    TakeProcessorPicture(*m_pProcessor, m_settings.remapped, !m_settings.color, picture, pRgbOut,
                         streamed);
    return true;
}

bool CFrameRenderer::Correct(const std::uint8_t* pRaw, std::uint8_t* pCorrected) {
    if (!m_pProcessor->IsConfigured()) {
        return false;
    }
    const GainTable& table = *m_pProcessor->CurrentGainTable();
    if (const std::int32_t* pFactors = m_pProcessor->FlatFactorsInUse(); pFactors != nullptr) {
        CorrectWithFlat(table, pCorrected, pRaw, m_pProcessor->CalibrationImage(), pFactors,
                        m_pProcessor->Offset());
        return true;
    }
    CFrameProcessor::Correct(table, pCorrected, pRaw, m_pProcessor->CalibrationImage(),
                             m_pProcessor->Offset());
    return true;
}
