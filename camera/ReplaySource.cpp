#include "camera/ReplaySource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/files/FileIo.h"
#include "platform/files/InputFile.h"
#include "sensor/LogPolarFrame.h"

CReplaySource::CReplaySource(const std::string& path, bool loop,
                             std::vector<std::int64_t> frameTimesMs)
    : m_bLoop(loop), m_frameTimesMs(std::move(frameTimesMs)) {
    (void)OpenRegularInput(path, &m_nFd);  // a file that cannot be read replays nothing
    struct stat info {};
    if (m_nFd >= 0 && ::fstat(m_nFd, &info) == 0) {
        m_nFrames = std::uint64_t(info.st_size) / kFrameBytes;
    }
    if (m_frameTimesMs.size() < m_nFrames) {
        m_frameTimesMs.clear();  // times for only some frames: pace none of them by time
    }
}

CReplaySource::~CReplaySource() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
    }
}

bool CReplaySource::NextFrame(std::uint8_t* pFrame) {
    if (m_nNext == m_nFrames) {
        if (!m_bLoop || m_nFrames == 0) {
            return false;
        }
        m_nNext = 0;
    }
    WaitForRecordedTime();
    if (!ReadFullyAt(m_nFd, pFrame, kFrameBytes, off_t(m_nNext * kFrameBytes))) {
        return false;  // the file shrank or failed under us
    }
    ++m_nNext;
    return true;
}

void CReplaySource::WaitForRecordedTime() {
    if (m_frameTimesMs.empty()) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const std::chrono::milliseconds recorded{m_frameTimesMs[m_nNext]};
    if (m_nNext == 0) {
        m_passStart = now - recorded;  // each pass starts at once
        return;
    }
    std::this_thread::sleep_until(m_passStart + recorded);
}

namespace {

// The size of a replayable file; 0 with *error for one that cannot be read or is empty.
std::uint64_t RecordingSize(const std::string& path, std::string* error) {
    int fd = -1;
    if (const FileResult opened = OpenRegularInput(path, &fd); !opened) {
        *error = opened.Error();
        return 0;
    }
    struct stat info {};
    int statResult = ::fstat(fd, &info);
    ::close(fd);
    if (statResult != 0) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return 0;
    }
    if (info.st_size == 0) {
        *error = path + " is empty";
    }
    return std::uint64_t(info.st_size);
}

}  // namespace

std::uint64_t CReplaySource::CountWholeFrames(const std::string& path, std::string* error,
                                              std::string* warning) {
    warning->clear();
    const std::uint64_t size = RecordingSize(path, error);
    if (size == 0) {
        return 0;
    }
    if (size < kFrameBytes) {
        *error = path + " holds " + std::to_string(size) + " bytes, less than one " +
                 std::to_string(kFrameBytes) + "-byte frame";
        return 0;
    }
    if (size % kFrameBytes != 0) {
        *warning = path + " ends in a cut-off frame (" + std::to_string(size % kFrameBytes) +
                   " bytes); only its " + std::to_string(size / kFrameBytes) +
                   " whole frames are used";
    }
    return size / kFrameBytes;
}

std::uint64_t CReplaySource::CountFrames(const std::string& path, std::string* error) {
    const std::uint64_t size = RecordingSize(path, error);
    if (size == 0) {
        return 0;
    }
    if (size % kFrameBytes != 0) {
        *error = path + " holds " + std::to_string(size) + " bytes, not a whole number of " +
                 std::to_string(kFrameBytes) + "-byte frames";
        return 0;
    }
    return size / kFrameBytes;
}
