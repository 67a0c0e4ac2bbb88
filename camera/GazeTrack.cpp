#include "camera/GazeTrack.h"

void CGazeTrack::Note(std::uint64_t index) {
    const std::optional<Gaze> used = m_pGaze ? m_pGaze->Used() : std::nullopt;
    if (!used) {
        return;
    }
    const GazeChange change{index, used->x, used->y, used->field};
    const GazeChange* last = m_changes.empty() ? nullptr : &m_changes.back();
    if (!last || last->x != change.x || last->y != change.y || last->field != change.field) {
        m_changes.push_back(change);
    }
}
