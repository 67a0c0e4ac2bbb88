#include "camera/SimulatedCamera.h"

#include <algorithm>

#include "camera/SensorGeometry.h"
#include "sensor/LogPolarFrame.h"

namespace {

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

}  // namespace

CSimulatedCamera::CSimulatedCamera(std::unique_ptr<IScene> scene, SimulationOptions options)
    : m_pScene(std::move(scene)), m_options(options), m_means(kFrameBytes, 0) {
    for (int level = 0; level < 256; ++level) {
        m_signal[std::size_t(level)] = std::uint8_t((level * kSignalSpan + 127) / 255);
    }
}

std::uint8_t CSimulatedCamera::DarkLevel(std::size_t index) {
    return DarkPattern()[index];
}

bool CSimulatedCamera::NextFrame(std::uint8_t* pFrame) {
    if (m_options.dark) {
        std::fill(m_means.begin(), m_means.end(), std::uint8_t{0});
    } else {
        CSensorGeometry::Instance().Sample(m_pScene->Render(m_nFrame), m_options.color,
                                           m_means.data());
    }
    ++m_nFrame;
    const std::uint8_t* dark = DarkPattern().data();
    int noise = m_options.noise;
    int span = 2 * noise + 1;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        int value = dark[i] + m_signal[m_means[i]];
        if (noise > 0) {
            m_nNoiseState ^= m_nNoiseState << 13;
            m_nNoiseState ^= m_nNoiseState >> 17;
            m_nNoiseState ^= m_nNoiseState << 5;
            value += int((std::uint64_t(m_nNoiseState) * unsigned(span)) >> 32) - noise;
        }
        pFrame[i] = std::uint8_t(std::clamp(value, 0, 255));
    }
    return true;
}
