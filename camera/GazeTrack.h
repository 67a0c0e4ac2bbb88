#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "camera/SourceGaze.h"
#include "sidecar/RecordingMetadata.h"

// The gaze the source's latest frame was sampled at, as the sidecar lists it (its frame
// number left 0); nothing for a source without a gaze or in a fixed view.
std::optional<GazeChange> UsedGaze(const std::shared_ptr<CSourceGaze>& gaze);

// Follows a source's gaze frame by frame for a recording: the first frame's gaze and each
// change after it, as the sidecar lists them. Used on one thread (the one reading frames),
// after each frame is read.
class CGazeTrack {
  public:
    explicit CGazeTrack(std::shared_ptr<CSourceGaze> gaze) : m_pGaze(std::move(gaze)) {}

    // Frame `index` of the recording has just been read.
    void Note(std::uint64_t index);
    const std::vector<GazeChange>& Changes() const { return m_changes; }

  private:
    std::shared_ptr<CSourceGaze> m_pGaze;  // may be null: a source without a gaze
    std::vector<GazeChange> m_changes;
};
