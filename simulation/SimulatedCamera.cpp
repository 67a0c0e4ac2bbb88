#include "simulation/SimulatedCamera.h"

#include <algorithm>

#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"
#include "simulation/SensorGeometry.h"

namespace {

// How far apart two frames' noise may start; the table is this much longer than a frame.
constexpr std::size_t kNoiseStarts = 8192;

const std::vector<std::uint8_t>& DarkPattern() {
    static const std::vector<std::uint8_t> pattern = [] {
        // A per-sample part and a slight rise along each sector's readout.
        std::vector<std::uint8_t> levels(kFrameBytes);
        for (std::size_t i = 0; i < kFrameBytes; ++i) {
            std::uint32_t hash = std::uint32_t(i) * 2654435761u;
            hash ^= hash >> 15;
            int ring = int(i % kRings);
            levels[i] = std::uint8_t(hash % 9 + std::uint32_t(ring * 4 / kRings));
        }
        return levels;
    }();
    return pattern;
}

// A value in -1..1 fixed for each index, unrelated to the dark pattern's.
double CellDeviation(std::size_t index) {
    std::uint64_t hash = (std::uint64_t(index) + 1) * 0x9E3779B97F4A7C15u;
    hash ^= hash >> 31;
    hash *= 0xBF58476D1CE4E5B9u;
    hash ^= hash >> 27;
    return double(hash >> 40) / double(1u << 23) - 1.0;
}

}  // namespace

double CSimulatedCamera::Response(std::size_t index, double prnu, double vignetting) {
    const int ring = int(index % kRings);
    const double middle = (RingInnerRadius(ring) + RingOuterRadius(ring)) / 2;
    const double fromCentre = middle / RingOuterRadius(kRings - 1);
    return (1 + prnu * CellDeviation(index)) * (1 - vignetting * fromCentre * fromCentre);
}

CSimulatedCamera::CSimulatedCamera(std::unique_ptr<IScene> scene, SimulationOptions options)
    : m_pScene(std::move(scene)), m_options(options), m_means(kFrameBytes, 0) {
    for (int level = 0; level < 256; ++level) {
        m_signal[std::size_t(level)] = std::uint8_t((level * kSignalSpan + 127) / 255);
    }
    if (m_options.prnu > 0 || m_options.vignetting > 0) {
        const double prnu = std::min(m_options.prnu, kMostPrnu);
        const double vignetting = std::min(m_options.vignetting, kMostVignetting);
        m_cellGain.resize(kFrameBytes);
        for (std::size_t i = 0; i < kFrameBytes; ++i) {
            const double perLevel = kSignalSpan * Response(i, prnu, vignetting) / 255;
            m_cellGain[i] = std::uint32_t(perLevel * 65536 + 0.5);
        }
    }
    if (m_options.noise > 0) {
        const std::uint64_t span = 2 * std::uint64_t(m_options.noise) + 1;
        m_noise.resize(kFrameBytes + kNoiseStarts);
        for (std::int16_t& value : m_noise) {
            value = std::int16_t(std::int64_t((NextRandom() * span) >> 32) - m_options.noise);
        }
    }
}

std::uint32_t CSimulatedCamera::NextRandom() {
    m_nNoiseState ^= m_nNoiseState << 13;
    m_nNoiseState ^= m_nNoiseState >> 17;
    m_nNoiseState ^= m_nNoiseState << 5;
    return m_nNoiseState;
}

std::uint8_t CSimulatedCamera::DarkLevel(std::size_t index) {
    return DarkPattern()[index];
}

bool CSimulatedCamera::NextFrame(std::uint8_t* pFrame) {
    if (m_options.dark) {
        std::fill(m_means.begin(), m_means.end(), std::uint8_t{0});
    } else if (m_cellGain.empty()) {
        CSensorGeometry::Instance().Sample(m_pScene->Render(m_nFrame), m_options.color, m_signal,
                                           m_means.data());
    } else {
        CSensorGeometry::Instance().Sample(m_pScene->Render(m_nFrame), m_options.color,
                                           m_means.data());
        // Rounded to nearest; at most 255 * 45 / 255 levels, as kMostPrnu allows.
        for (std::size_t i = 0; i < kFrameBytes; ++i) {
            m_means[i] = std::uint8_t((m_means[i] * m_cellGain[i] + 32768) >> 16);
        }
    }
    ++m_nFrame;
    // Plain arithmetic from here, which the compiler runs many samples at a time.
    const std::uint8_t* dark = DarkPattern().data();
    const std::uint8_t* signal = m_means.data();
    if (m_noise.empty()) {
        for (std::size_t i = 0; i < kFrameBytes; ++i) {
            pFrame[i] = std::uint8_t(dark[i] + signal[i]);  // at most 11 + 45
        }
        return true;
    }
    const std::int16_t* noise = m_noise.data() + NextRandom() % kNoiseStarts;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        const int value = dark[i] + signal[i] + noise[i];
        pFrame[i] = std::uint8_t(std::clamp(value, 0, 255));
    }
    return true;
}
