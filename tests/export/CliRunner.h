#pragma once

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PictureDecoders.h"
#include "TempDirectory.h"
#include "platform/device/MemoryDevice.h"
#include "sensor/LogPolarFrame.h"

// Runs pandry-cli in a scratch directory.
class CliFixture : public ::testing::Test {
  protected:
    int Run(const std::string& arguments) {
        const std::string command = "cd '" + m_dir.Path().string() + "' && env -u PANDRY_CAMERA " +
                                    PANDRY_CLI_PATH + " " + arguments + " >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        const std::vector<std::uint8_t> error = ReadBytes(m_dir.File("err.txt"));
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
    std::string m_strError;
};
