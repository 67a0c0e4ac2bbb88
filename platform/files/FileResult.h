#pragma once

#include <string>

// What every file operation reports: success, or one line that names the file and the
// reason ("cannot write out.bmp: No space left on device"), ready to show the operator.
class [[nodiscard]] FileResult {
  public:
    FileResult() = default;  // success

    static FileResult Failure(std::string message);
    // "cannot VERB PATH: " and the system's text for error.
    static FileResult FromErrno(const char* verb, const std::string& path, int error);

    explicit operator bool() const { return !m_bFailed; }
    const std::string& Error() const { return m_strError; }
    // The system's error number behind a FromErrno failure (ENOSPC: the disk is full); 0
    // otherwise.
    int Code() const { return m_nCode; }

  private:
    bool m_bFailed = false;
    int m_nCode = 0;
    std::string m_strError;
};
