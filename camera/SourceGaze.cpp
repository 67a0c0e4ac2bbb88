#include "camera/SourceGaze.h"

#include <algorithm>
#include <cmath>

namespace {

// One wheel notch changes the field by this factor.
constexpr double kFieldStep = 1.1;

}  // namespace

Gaze Gaze::Clamped() const {
    return {std::clamp(x, 0.0, 1.0), std::clamp(y, 0.0, 1.0),
            std::clamp(field, kLeastField, kMostField)};
}

Gaze Gaze::DraggedBy(double dx, double dy, int width, int height) const {
    if (width <= 0 || height <= 0) {
        return *this;
    }
    const double diameter = field * std::min(width, height);  // in picture pixels
    Gaze moved = *this;
    moved.x -= dx * diameter / width;
    moved.y -= dy * diameter / height;
    return moved.Clamped();
}

Gaze Gaze::ZoomedBy(double notches) const {
    Gaze zoomed = *this;
    zoomed.field /= std::pow(kFieldStep, notches);
    return zoomed.Clamped();
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

std::optional<Gaze> CSourceGaze::Used() const {
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

std::shared_ptr<const BgrPicture> CSourceGaze::LatestPicture() const {
    std::lock_guard lock(m_mutex);
    return m_pPicture;
}

void CSourceGaze::PictureSize(int* width, int* height) const {
    std::lock_guard lock(m_mutex);
    *width = m_nWidth;
    *height = m_nHeight;
}

void CSourceGaze::NotePictureSize(int width, int height) {
    std::lock_guard lock(m_mutex);
    m_nWidth = width;
    m_nHeight = height;
}

void CSourceGaze::NoteUsed(const Gaze& gaze, int width, int height) {
    std::lock_guard lock(m_mutex);
    m_used = gaze;
    m_nWidth = width;
    m_nHeight = height;
}

void CSourceGaze::LeavePicture(std::shared_ptr<const BgrPicture> picture) {
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
