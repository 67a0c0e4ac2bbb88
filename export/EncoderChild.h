#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

// A helper program (ffmpeg) fed through a pipe, kept from outliving us: it runs in a process
// group of its own (a Ctrl-C on the terminal reaches only us, and we end it) and is killed by
// the kernel when we die, whatever kills us.
class CEncoderChild {
  public:
    CEncoderChild() = default;
    CEncoderChild(const CEncoderChild&) = delete;
    CEncoderChild& operator=(const CEncoderChild&) = delete;
    ~CEncoderChild();  // ends a child still running

    // Runs argv[0] (a full path) with the read end of a new pipe as its standard input,
    // outputFd (unless -1) as its descriptor 3 and its messages kept for LastMessage; false
    // with *error.
    bool Start(const std::vector<std::string>& argv, int outputFd, std::string* error);
    // Writes the whole buffer into the pipe. False when the child stopped reading: the pipe
    // closed, no byte went through for a while, or *interrupted was raised meanwhile.
    bool Write(const void* pData, std::size_t size, const std::atomic<bool>* interrupted);
    // Closes the pipe and waits for the child's exit status (ending it when it does not exit
    // in time or *interrupted is raised); true when it exited with 0.
    bool Finish(const std::atomic<bool>* interrupted);
    // Ends the child and its group now. Whatever it was writing is thrown away, so it gets
    // no time to finish it.
    void End();
    // Why the last Write or Finish failed, when not the child's own error.
    const std::string& Problem() const { return m_strProblem; }
    // The last line the child wrote on its standard error ("" for none).
    std::string LastMessage() const;

  private:
    bool WaitForExit(int timeoutMs, const std::atomic<bool>* interrupted, int* status);

    pid_t m_nPid = -1;
    int m_nPipe = -1;
    int m_nPidFd = -1;     // becomes readable when the child ends
    int m_nMessages = -1;  // an in-memory file the child's standard error goes to
    bool m_bStalled = false;
    std::string m_strProblem;
};
