#pragma once

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/device/MemoryDevice.h"
#include "tests/platform/device/TempDirectory.h"

inline std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Runs pandry-cli in a scratch directory of its own and keeps what it printed.
class CliFixture : public ::testing::Test {
  protected:
    // The arguments as a shell reads them; the environment as env(1) takes it (by default
    // without PANDRY_CAMERA, so the caller's setting cannot choose the camera). Returns the
    // exit code, or -1 when the tool did not exit.
    int Run(const std::string& arguments, const std::string& environment = "-u PANDRY_CAMERA") {
        const std::string command = "cd '" + m_dir.Path().string() + "' && env " + environment +
                                    " " + PANDRY_CLI_PATH + " " + arguments + " >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        const std::vector<std::uint8_t> output = ReadAll(m_dir.File("out.txt"));
        m_strOutput.assign(output.begin(), output.end());
        const std::vector<std::uint8_t> error = ReadAll(m_dir.File("err.txt"));
        m_strError.assign(error.begin(), error.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Path(const std::string& name) const { return m_dir.File(name); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }
    void WriteFrames(const std::string& name, const std::vector<FrameBytes>& frames,
                     std::size_t extraBytes = 0) {
        std::ofstream out(Path(name), std::ios::binary);
        for (const FrameBytes& frame : frames) {
            out.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
        }
        out.write(std::string(extraBytes, '\x07').data(), std::streamsize(extraBytes));
    }
    // Files in the scratch directory other than the tool's own output captures.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.Path())) {
            const std::string name = entry.path().lexically_relative(m_dir.Path()).string();
            if (name != "out.txt" && name != "err.txt") {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    CTempDirectory m_dir;
    std::string m_strOutput;
    std::string m_strError;
};
