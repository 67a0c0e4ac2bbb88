#include "camera/GazeTrack.h"

#include "sidecar/GazeChanges.h"

std::optional<GazeChange> UsedGaze(const std::shared_ptr<CSourceGaze>& gaze) {
    const std::optional<Gaze> used = gaze ? gaze->Used() : std::nullopt;
    if (!used) {
        return std::nullopt;
    }
    return GazeChange{0, used->x, used->y, used->field};
}

void CGazeTrack::Note(std::uint64_t index) {
    if (std::optional<GazeChange> change = UsedGaze(m_pGaze)) {
        change->frame = index;
        AppendGazeChange(&m_changes, *change);
    }
}
