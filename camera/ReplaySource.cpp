#include "camera/ReplaySource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
    // Times no recording can hold (negative, or beyond a century) would overflow the clock
    // arithmetic of the pacing: such a sidecar paces nothing either.
    constexpr std::int64_t kLatestMs = std::int64_t(100) * 365 * 24 * 3600 * 1000;
    for (const std::int64_t timeMs : m_frameTimesMs) {
        if (timeMs < 0 || timeMs > kLatestMs) {
            m_frameTimesMs.clear();
            break;
        }
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

// The size of a replayable file, which must not be empty.
FileResult RecordingSize(const std::string& path, std::uint64_t* size) {
    int fd = -1;
    if (FileResult opened = OpenRegularInput(path, &fd); !opened) {
        return opened;
    }
    struct stat info {};
    const int statResult = ::fstat(fd, &info);
    const int statError = errno;
    ::close(fd);
    if (statResult != 0) {
        return FileResult::FromErrno("read", path, statError);
    }
    if (info.st_size == 0) {
        return FileResult::Failure(path + " is empty");
    }
    *size = std::uint64_t(info.st_size);
    return {};
}

}  // namespace

FileResult CReplaySource::CountWholeFrames(const std::string& path, std::uint64_t* frames,
                                           std::string* warning) {
    warning->clear();
    std::uint64_t size = 0;
    if (FileResult sized = RecordingSize(path, &size); !sized) {
        return sized;
    }
    if (size < kFrameBytes) {
        return FileResult::Failure(path + " holds " + std::to_string(size) +
                                   " bytes, less than one " + std::to_string(kFrameBytes) +
                                   "-byte frame");
    }
    if (size % kFrameBytes != 0) {
        *warning = path + " ends in a cut-off frame (" + std::to_string(size % kFrameBytes) +
                   " bytes); only its " + std::to_string(size / kFrameBytes) +
                   " whole frames are used";
    }
    *frames = size / kFrameBytes;
    return {};
}
