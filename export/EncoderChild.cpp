#include "export/EncoderChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
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
// How often a wait looks at the interrupt flag.
constexpr int kSliceMs = 100;

bool Raised(const std::atomic<bool>* interrupted) {
    return interrupted != nullptr && interrupted->load();
}

}  // namespace

CEncoderChild::~CEncoderChild() {
    End();
    if (m_nMessages >= 0) {
        ::close(m_nMessages);
    }
}

bool CEncoderChild::Start(const std::vector<std::string>& arguments, int outputFd,
                          std::string* error) {
    int pipeFds[2];
    m_nMessages = ::memfd_create("encoder-messages", MFD_CLOEXEC);
    if (m_nMessages < 0 || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
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
        ::dup2(m_nMessages, STDERR_FILENO);
        if (outputFd == 3) {
            ::fcntl(3, F_SETFD, 0);  // kept open across exec
        } else if (outputFd >= 0) {
            ::dup2(outputFd, 3);  // the copy is kept open across exec
        }
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
    auto stalledAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStalledMs);
    while (size > 0) {
        if (Raised(interrupted)) {
            m_strProblem = "interrupted";
            return false;
        }
        const ssize_t written = ::write(m_nPipe, pBytes, size);
        if (written > 0) {
            pBytes += written;
            size -= std::size_t(written);
            stalledAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStalledMs);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            m_strProblem = "it stopped reading (" + std::string(std::strerror(errno)) + ")";
            return false;
        }
        if (std::chrono::steady_clock::now() >= stalledAt) {
            m_strProblem = "it took no input for " + std::to_string(kStalledMs / 1000) + " s";
            m_bStalled = true;  // it will not finish either
            return false;
        }
        pollfd ready{m_nPipe, POLLOUT, 0};
        ::poll(&ready, 1, kSliceMs);
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
    if (m_bStalled) {
        End();
        return false;
    }
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
        ::kill(-m_nPid, SIGKILL);
        int status = 0;
        while (::waitpid(m_nPid, &status, 0) < 0 && errno == EINTR) {
        }
        m_nPid = -1;
    }
    if (m_nPidFd >= 0) {
        ::close(m_nPidFd);
        m_nPidFd = -1;
    }
}

std::string CEncoderChild::LastMessage() const {
    constexpr off_t kTailBytes = 4096;
    const off_t end = m_nMessages >= 0 ? ::lseek(m_nMessages, 0, SEEK_END) : -1;
    if (end <= 0) {
        return {};
    }
    const off_t start = end > kTailBytes ? end - kTailBytes : 0;
    std::string tail(std::size_t(end - start), '\0');
    const ssize_t got = ::pread(m_nMessages, tail.data(), tail.size(), start);
    tail.resize(got > 0 ? std::size_t(got) : 0);
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r')) {
        tail.pop_back();
    }
    const std::size_t lineStart = tail.find_last_of("\r\n");
    return lineStart == std::string::npos ? tail : tail.substr(lineStart + 1);
}
