#include "export/ByteSink.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/files/AtomicFile.h"
#include "platform/files/FileIo.h"

extern char** environ;

namespace {

class CFileSink : public IByteSink {
  public:
    FileResult Open(const std::string& path) { return m_file.Open(path); }

    bool Write(const void* pData, std::size_t size) override {
        return bool(m_file.Write(pData, size));
    }
    bool Finish(std::string* error) override {
        const FileResult committed = m_file.Commit();
        if (!committed) {
            *error = committed.Error();
        }
        return bool(committed);
    }

  private:
    CAtomicFile m_file;
};

class CStandardOutputSink : public IByteSink {
  public:
    bool Write(const void* pData, std::size_t size) override {
        m_bFailed = m_bFailed || !WriteFully(STDOUT_FILENO, pData, size);
        return !m_bFailed;
    }
    bool Finish(std::string* error) override {
        if (m_bFailed) {
            *error = "cannot write to standard output";
        }
        return !m_bFailed;
    }

  private:
    bool m_bFailed = false;
};

// Where a program would be found on PATH; empty when it is not there.
std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= directories.size()) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos) {
            end = directories.size();
        }
        const std::string candidate = directories.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Encodes into a temporary file beside the destination (same extension, so the container is
// the same) and renames it into place only when the encoder finished cleanly.
class CVideoEncoderSink : public IByteSink {
  public:
    CVideoEncoderSink(std::string path, pid_t pid, int fd, std::string tempPath)
        : m_strPath(std::move(path)), m_nPid(pid), m_nFd(fd), m_strTempPath(std::move(tempPath)) {}
    ~CVideoEncoderSink() override {
        if (m_nPid > 0) {
            ::close(m_nFd);
            ::kill(m_nPid, SIGTERM);
            int status = 0;
            ::waitpid(m_nPid, &status, 0);
            ::unlink(m_strTempPath.c_str());
        }
    }

    bool Write(const void* pData, std::size_t size) override {
        m_bWriteFailed = m_bWriteFailed || !WriteFully(m_nFd, pData, size);
        return !m_bWriteFailed;
    }
    bool Finish(std::string* error) override {
        ::close(m_nFd);
        int status = 0;
        ::waitpid(m_nPid, &status, 0);
        m_nPid = 0;
        // A stream cut short may still make a playable file: it is not kept either.
        if (m_bWriteFailed || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ::unlink(m_strTempPath.c_str());
            *error = "ffmpeg could not encode " + m_strPath + " (see its message above)";
            return false;
        }
        if (std::rename(m_strTempPath.c_str(), m_strPath.c_str()) != 0) {
            *error = "cannot write " + m_strPath + ": " + std::strerror(errno);
            ::unlink(m_strTempPath.c_str());
            return false;
        }
        return true;
    }

  private:
    std::string m_strPath;
    pid_t m_nPid;
    int m_nFd;
    std::string m_strTempPath;
    bool m_bWriteFailed = false;
};

}  // namespace

std::unique_ptr<IByteSink> MakeFileSink(const std::string& path, std::string* error) {
    auto sink = std::make_unique<CFileSink>();
    const FileResult opened = sink->Open(path);
    if (!opened) {
        *error = opened.Error();
        return nullptr;
    }
    return sink;
}

std::unique_ptr<IByteSink> MakeStandardOutputSink() {
    return std::make_unique<CStandardOutputSink>();
}

std::unique_ptr<IByteSink> MakeVideoEncoderSink(const std::string& path, std::string* error) {
    const std::string ffmpeg = FindOnPath("ffmpeg");
    if (ffmpeg.empty()) {
        *error = "cannot write " + path +
                 ": video needs ffmpeg, which is not installed (Debian package 'ffmpeg'); "
                 "export to .y4m or a picture sequence instead";
        return nullptr;
    }
    std::filesystem::path destination(path);
    const std::string tempPath = (destination.parent_path() /
                                  (destination.stem().string() + ".tmp-" +
                                   std::to_string(::getpid()) + destination.extension().string()))
                                     .string();
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        *error = "cannot start ffmpeg: " + std::string(std::strerror(errno));
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
    std::vector<std::string> arguments = {
        ffmpeg,         "-hide_banner", "-loglevel", "error",    "-nostdin", "-y",    "-f",
        "yuv4mpegpipe", "-i",           "pipe:0",    "-pix_fmt", "yuv420p",  tempPath};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[0]);
    if (spawned != 0) {
        ::close(pipeFds[1]);
        *error = "cannot start " + ffmpeg + ": " + std::strerror(spawned);
        return nullptr;
    }
    return std::make_unique<CVideoEncoderSink>(path, pid, pipeFds[1], tempPath);
}
