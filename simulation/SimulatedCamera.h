#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/device/FrameSource.h"
#include "simulation/SceneCanvas.h"

struct SimulationOptions {
    bool color = false;  // behind the colour mosaic
    bool dark = false;   // lens covered: dark pattern and noise only
    int noise = 1;       // noise amplitude in levels (0: none)
    // Each cell's response differs from the mean by a fixed amount up to +-prnu (0.05: 5 %).
    double prnu = 0;
    // The lens lets this fraction less light reach the disc's edge than its centre, falling
    // off with the square of the distance from the centre.
    double vignetting = 0;
};

// A sensor looking at a scene: every sample is its cell's mean of the scene, scaled into
// the few dozen levels a real sensor gives above its dark level, plus a fixed per-sample
// dark pattern and a little noise. Frames come out in raw layout, fovea unsorted.
class CSimulatedCamera : public IFrameSource {
  public:
    // Scene levels 0..255 rise this many levels above the dark pattern: the band the
    // processing's defaults (offset 80, gain 3) show from grey to white.
    static constexpr int kSignalSpan = 30;

    CSimulatedCamera(std::unique_ptr<IScene> scene, SimulationOptions options);

    bool NextFrame(std::uint8_t* pFrame) override;

    // The fixed dark level of each raw sample (0..11).
    static std::uint8_t DarkLevel(std::size_t index);
    // What a cell makes of the light it gets, as a multiple of the mean cell: 1 + prnu times
    // a fixed value in -1..1 drawn for the index, times the lens's fall-off at its ring.
    static double Response(std::size_t index, double prnu, double vignetting);
    // The few most a response option may be, which keeps every signal within a byte.
    static constexpr double kMostPrnu = 0.5;
    static constexpr double kMostVignetting = 0.9;

  private:
    std::unique_ptr<IScene> m_pScene;
    SimulationOptions m_options;
    std::uint64_t m_nFrame = 0;
    std::uint32_t NextRandom();

    std::vector<std::uint8_t> m_means;  // each sample's signal
    std::array<std::uint8_t, 256> m_signal{};
    // With a response pattern: the scene's level 0..255 is sampled as it is, then scaled per
    // cell by this signal per level in 1/65536 (empty: every cell alike, through m_signal).
    std::vector<std::uint32_t> m_cellGain;
    // Noise drawn once, longer than a frame; each frame reads it from a random start.
    std::vector<std::int16_t> m_noise;
    std::uint32_t m_nNoiseState = 0x12345678u;
};
