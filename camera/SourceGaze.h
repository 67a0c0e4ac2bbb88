#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "sidecar/RecordingMetadata.h"
#include "simulation/PictureFile.h"

// Where the sensor looks in a source picture: its centre as fractions of the picture's
// width and height, and its outer diameter as a fraction of the picture's shorter side.
struct Gaze {
    static constexpr double kLeastField = GazeChange::kLeastField;
    static constexpr double kMostField = GazeChange::kMostField;
    // The view a picture file has always had: the sensor's disc over 512 of the 560 pixels
    // its shorter side is scaled to, which leaves a margin for drift. 512 / kDefaultField
    // is exactly 560, so that view is sampled to the same bytes.
    static constexpr double kDefaultField = 32.0 / 35.0;

    double x = 0.5;
    double y = 0.5;
    double field = kDefaultField;

    bool operator==(const Gaze&) const = default;
    // The same gaze with its centre kept on the picture and its field in range.
    Gaze Clamped() const;
    // The gaze after the scene seen by the sensor was dragged by (dx, dy) sensor
    // diameters on a width x height picture: the scene follows the pointer, as a map does.
    Gaze DraggedBy(double dx, double dy, int width, int height) const;
    // The gaze after `notches` turns of a wheel: forward narrows the field.
    Gaze ZoomedBy(double notches) const;
};

// The gaze of a running source, shared by the thread that samples frames and the window
// that moves it. The sampler reads the gaze for each frame and notes the gaze it used;
// while someone asks for it, it also leaves a copy of the picture it sampled.
class CSourceGaze {
  public:
    explicit CSourceGaze(Gaze initial = {}) : m_gaze(initial.Clamped()) {}

    // Any thread.
    void Set(Gaze gaze);
    Gaze Get() const;
    // The gaze the latest frame was sampled at; nothing while the source shows a fixed
    // view (a picture file before its gaze first moves).
    std::optional<Gaze> Used() const;
    // The size of the source's latest picture (0 x 0 before the first).
    void PictureSize(int* width, int* height) const;
    // Counts every Set, so that a sampler sees a change without comparing doubles.
    std::uint64_t Generation() const;

    // While asked for (a count of askers), the sampler leaves each picture here.
    void AskForPicture(bool ask);
    bool PictureWanted() const;
    std::shared_ptr<const BgrPicture> LatestPicture() const;

    // The sampler's thread.
    void NoteUsed(const Gaze& gaze, int width, int height);
    void NotePictureSize(int width, int height);
    void LeavePicture(std::shared_ptr<const BgrPicture> picture);

  private:
    mutable std::mutex m_mutex;  // guards every member below
    Gaze m_gaze;
    std::optional<Gaze> m_used;
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::uint64_t m_nGeneration = 0;
    int m_nPictureAskers = 0;
    std::shared_ptr<const BgrPicture> m_pPicture;
};

// The gaze of the source selected for this process; null when the source has none.
std::shared_ptr<CSourceGaze> ActiveSourceGaze();
void SetActiveSourceGaze(std::shared_ptr<CSourceGaze> gaze);
