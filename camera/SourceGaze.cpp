#include "camera/SourceGaze.h"

#include <algorithm>

Gaze Gaze::Clamped() const {
    return {std::clamp(x, 0.0, 1.0), std::clamp(y, 0.0, 1.0),
            std::clamp(field, kLeastField, kMostField)};
}

void CSourceGaze::Set(Gaze gaze) {
    std::lock_guard lock(m_mutex);
    m_gaze = gaze.Clamped();
    ++m_nGeneration;
}

Gaze CSourceGaze::Get() const {
    std::lock_guard lock(m_mutex);
    return m_gaze;
}

Gaze CSourceGaze::Used() const {
    std::lock_guard lock(m_mutex);
    return m_used;
}

std::uint64_t CSourceGaze::Generation() const {
    std::lock_guard lock(m_mutex);
    return m_nGeneration;
}

void CSourceGaze::AskForPicture(bool ask) {
    std::lock_guard lock(m_mutex);
    m_nPictureAskers = std::max(0, m_nPictureAskers + (ask ? 1 : -1));
    if (m_nPictureAskers == 0) {
        m_pPicture.reset();
    }
}

bool CSourceGaze::PictureWanted() const {
    std::lock_guard lock(m_mutex);
    return m_nPictureAskers > 0;
}

std::shared_ptr<const SourcePicture> CSourceGaze::LatestPicture() const {
    std::lock_guard lock(m_mutex);
    return m_pPicture;
}

void CSourceGaze::NoteUsed(const Gaze& gaze) {
    std::lock_guard lock(m_mutex);
    m_used = gaze;
}

void CSourceGaze::LeavePicture(std::shared_ptr<const SourcePicture> picture) {
    std::lock_guard lock(m_mutex);
    if (m_nPictureAskers > 0) {
        m_pPicture = std::move(picture);
    }
}

namespace {

std::mutex g_activeMutex;  // guards g_pActive
std::shared_ptr<CSourceGaze> g_pActive;

}  // namespace

std::shared_ptr<CSourceGaze> ActiveSourceGaze() {
    std::lock_guard lock(g_activeMutex);
    return g_pActive;
}

void SetActiveSourceGaze(std::shared_ptr<CSourceGaze> gaze) {
    std::lock_guard lock(g_activeMutex);
    g_pActive = std::move(gaze);
}
