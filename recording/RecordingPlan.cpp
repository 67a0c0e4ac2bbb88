#include "recording/RecordingPlan.h"

#include <cmath>

#include "sensor/LogPolarFrame.h"

CPlannedFrames::CPlannedFrames(const RecordingPlan& plan)
    : m_plan(plan), m_mean(plan.average > 1 ? kFrameBytes : 0) {}

bool CPlannedFrames::Due(std::int64_t timeUs) const {
    const double sinceFirstUs = double(timeUs - m_nFirstUs);
    if (m_plan.seconds > 0 && sinceFirstUs >= m_plan.seconds * 1e6) {
        return false;
    }
    return sinceFirstUs >= std::round(double(m_nStored) * m_plan.every * 1e6);
}

const std::uint8_t* CPlannedFrames::Take(const std::uint8_t* pFrame, std::int64_t timeUs,
                                         std::int64_t* pFirstUs) {
    if (m_bDone) {
        return nullptr;
    }
    if (!m_bStarted) {
        m_bStarted = true;
        m_nFirstUs = timeUs;
    }
    if (m_sum.Count() == 0) {
        if (!Due(timeUs)) {
            m_bDone = m_plan.seconds > 0 && double(timeUs - m_nFirstUs) >= m_plan.seconds * 1e6;
            return nullptr;
        }
        m_nPointUs = timeUs;
    }
    const std::uint8_t* pStored = pFrame;
    if (m_plan.average > 1) {
        m_sum.Add(pFrame);
        if (m_sum.Count() < m_plan.average) {
            return nullptr;
        }
        m_sum.TakeMean(m_mean.data());
        pStored = m_mean.data();
    }
    *pFirstUs = m_nPointUs;
    ++m_nStored;
    m_bDone = m_plan.frames > 0 && m_nStored >= m_plan.frames;
    return pStored;
}
