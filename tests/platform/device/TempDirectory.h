#pragma once

#include <filesystem>
#include <string>

// A scratch directory removed with everything in it when the test ends.
class CTempDirectory {
  public:
    CTempDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pandry-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~CTempDirectory() { std::filesystem::remove_all(m_path); }
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};
