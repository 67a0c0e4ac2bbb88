#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "camera/PortCamera.h"
#include "platform/device/MemoryDevice.h"
#include "sensor/LogPolarFrame.h"

// A scratch directory removed with everything in it when the test ends.
class CScratchDirectory {
  public:
    CScratchDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pandry-proc-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~CScratchDirectory() { std::filesystem::remove_all(m_path); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    // Names of everything in the directory, to show no temporary file was left behind.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

  private:
    std::filesystem::path m_path;
};

// count bytes drawn from a seeded generator: the same bytes on every run.
inline std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A camera link on an in-memory device 1 that delivers `frames` (looping), or fails every
// read after `failAfterFrames` frames.
class CTestCamera {
  public:
    explicit CTestCamera(std::vector<FrameBytes> frames, std::int64_t failAfterFrames = -1) {
        auto pResolver = std::make_shared<CMemoryDeviceResolver>();
        MemoryDeviceScript script;
        script.frames = std::move(frames);
        script.faults.failAfterFrames = failAfterFrames;
        pResolver->SetDevice(1, std::move(script));
        m_pPrevious = SetDeviceResolver(pResolver);
        m_bOpen = m_camera.Open(1) != 0;
    }
    ~CTestCamera() { SetDeviceResolver(m_pPrevious); }
    CPortCamera* Camera() { return &m_camera; }
    bool IsOpen() const { return m_bOpen; }

  private:
    std::shared_ptr<IDeviceResolver> m_pPrevious;
    CPortCamera m_camera;
    bool m_bOpen = false;
};
