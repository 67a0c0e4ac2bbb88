#include "export/EncoderChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace {

// An encoder that takes no byte for this long has stopped reading.
constexpr int kStalledMs = 30000;
// An encoder that has its whole input gets this long to finish the file.
constexpr int kFinishMs = 120000;
// An encoder asked to end gets this long before it is killed.
constexpr int kGraceMs = 2000;
// How often a wait looks at the interrupt flag.
constexpr int kSliceMs = 100;

bool Raised(const std::atomic<bool>* interrupted) {
    return interrupted != nullptr && interrupted->load();
}

}  // namespace

CEncoderChild::~CEncoderChild() {
    End();
}

bool CEncoderChild::Start(const std::vector<std::string>& arguments, std::string* error) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        *error = "cannot start " + arguments[0] + ": " + std::strerror(errno);
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    // Between fork and exec only async-signal-safe calls: the caller may have threads.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);  // the parent died before the death signal was armed
        }
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(pipeFds[0], STDIN_FILENO);
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(pipeFds[0]);
    if (pid < 0) {
        ::close(pipeFds[1]);
        *error = "cannot start " + arguments[0] + ": " + std::strerror(forkError);
        return false;
    }
    ::setpgid(pid, pid);  // also here, so the group exists whichever side runs first
    m_nPid = pid;
    m_nPipe = pipeFds[1];
    ::fcntl(m_nPipe, F_SETFL, ::fcntl(m_nPipe, F_GETFL) | O_NONBLOCK);
    m_nPidFd = int(::syscall(SYS_pidfd_open, pid, 0));
    return true;
}

bool CEncoderChild::Write(const void* pData, std::size_t size,
                          const std::atomic<bool>* interrupted) {
    const char* pBytes = static_cast<const char*>(pData);
    int waitedMs = 0;
    while (size > 0) {
        if (Raised(interrupted)) {
            m_strProblem = "interrupted";
            return false;
        }
        const ssize_t written = ::write(m_nPipe, pBytes, size);
        if (written > 0) {
            pBytes += written;
            size -= std::size_t(written);
            waitedMs = 0;
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            m_strProblem = "it stopped reading (" + std::string(std::strerror(errno)) + ")";
            return false;
        }
        if (waitedMs >= kStalledMs) {
            m_strProblem = "it took no input for " + std::to_string(kStalledMs / 1000) + " s";
            return false;
        }
        pollfd ready{m_nPipe, POLLOUT, 0};
        ::poll(&ready, 1, kSliceMs);
        waitedMs += kSliceMs;
    }
    return true;
}

bool CEncoderChild::WaitForExit(int timeoutMs, const std::atomic<bool>* interrupted, int* status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = ::waitpid(m_nPid, status, WNOHANG);
        if (done == m_nPid || (done < 0 && errno != EINTR)) {
            m_nPid = -1;
            return done >= 0;
        }
        if (Raised(interrupted) || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        if (m_nPidFd >= 0) {
            pollfd ended{m_nPidFd, POLLIN, 0};
            ::poll(&ended, 1, kSliceMs);
        } else {
            const timespec slice{0, kSliceMs * 1000000L};
            ::nanosleep(&slice, nullptr);
        }
    }
}

bool CEncoderChild::Finish(const std::atomic<bool>* interrupted) {
    if (m_nPipe >= 0) {
        ::close(m_nPipe);
        m_nPipe = -1;
    }
    int status = 0;
    if (m_nPid > 0 && !WaitForExit(kFinishMs, interrupted, &status)) {
        m_strProblem = Raised(interrupted) ? "interrupted" : "it did not finish in time";
        End();
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void CEncoderChild::End() {
    if (m_nPipe >= 0) {
        ::close(m_nPipe);
        m_nPipe = -1;
    }
    if (m_nPid > 0) {
        ::kill(-m_nPid, SIGTERM);
        int status = 0;
        if (!WaitForExit(kGraceMs, nullptr, &status)) {
            ::kill(-m_nPid, SIGKILL);
            ::waitpid(m_nPid, &status, 0);
            m_nPid = -1;
        }
    }
    if (m_nPidFd >= 0) {
        ::close(m_nPidFd);
        m_nPidFd = -1;
    }
}
