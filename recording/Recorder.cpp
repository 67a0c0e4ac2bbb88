#include "recording/Recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/AtomicFile.h"
#include "platform/files/FileIo.h"
#include "sensor/LogPolarFrame.h"

CRecorder::CRecorder(std::size_t ringFrames)
    : m_ring(ringFrames),
      m_write([](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }) {}

CRecorder::~CRecorder() {
    if (m_bRecording) {
        [[maybe_unused]] const FileResult stopped = Stop();
    }
}

FileResult CRecorder::Start(const std::string& path, RecordingMetadata header) {
    if (m_bRecording) {
        return FileResult::Failure("already recording to " + m_strPath);
    }
    m_nFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_nFd < 0) {
        return FileResult::FromErrno("create", path, errno);
    }
    m_strPath = path;
    m_metadata = std::move(header);
    m_metadata.frames.clear();
    m_metadata.droppedFrames = 0;
    m_metadata.failedReads = 0;
    m_metadata.startTime = IsoTimeNow();
    m_metadata.end.clear();
    m_start = std::chrono::steady_clock::now();
    m_nFramesWritten = 0;
    m_nDropped = 0;
    m_nNextIndex = 0;
    m_gazeChanges.clear();
    m_bDropPending = false;
    m_bFailed = false;
    m_bStopWriter = false;
    {
        std::lock_guard lock(m_errorMutex);
        m_strError.clear();
    }
    m_bRecording = true;
    m_writer = std::thread(&CRecorder::WriterLoop, this);
    m_bAccepting = true;
    return {};
}

void CRecorder::Push(const std::uint8_t* pFrame) {
    m_nPushing.fetch_add(1);
    if (m_bAccepting.load() && pFrame != nullptr) {
        RecordedFrame info;
        info.index = m_nNextIndex++;
        info.timeUs = MicrosecondsSince(m_start);
        info.afterDrop = m_bDropPending;
        if (std::optional<GazeChange> gaze = m_readGaze ? m_readGaze() : std::nullopt) {
            gaze->frame = info.index;
            AppendGazeChange(&m_gazeChanges, *gaze);
        }
        if (m_ring.TryPush(pFrame, info)) {
            m_bDropPending = false;
        } else {
            m_nDropped.fetch_add(1);
            m_bDropPending = true;
        }
    }
    m_nPushing.fetch_sub(1);
}

void CRecorder::WriterLoop() {
    for (;;) {
        RecordedFrame info;
        const std::uint8_t* pFrame = m_ring.Front(&info);
        if (pFrame == nullptr) {
            if (m_bStopWriter.load()) {
                return;
            }
            m_ring.WaitForFrames();
            continue;
        }
        if (!m_bFailed && WriteFrame(pFrame)) {
            m_metadata.frames.push_back(info);
            m_nFramesWritten.fetch_add(1);
        }
        // After a failure the ring is still drained, so the producer never sees it full.
        m_ring.PopFront();
    }
}

bool CRecorder::WriteFrame(const std::uint8_t* pFrame) {
    if (!WriteFullyWith(m_write, m_nFd, pFrame, kFrameBytes)) {
        const int code = errno != 0 ? errno : ENOSPC;
        Fail(code, errno != 0 ? std::strerror(code) : "the disk took no more bytes");
        return false;
    }
    return true;
}

void CRecorder::Fail(int code, const std::string& reason) {
    {
        std::lock_guard lock(m_errorMutex);
        if (m_strError.empty()) {
            m_strError = "cannot write " + m_strPath + ": " + reason;
            m_metadata.end = code == ENOSPC ? "disk full" : "write failed: " + reason;
        }
    }
    m_bAccepting = false;
    m_bFailed = true;
}

FileResult CRecorder::Stop(const std::string& end) {
    if (!m_bRecording) {
        return FileResult::Failure("not recording");
    }
    m_bAccepting = false;
    while (m_nPushing.load() != 0) {
        std::this_thread::yield();  // a Push in progress finishes within a frame copy
    }
    m_bStopWriter = true;
    m_ring.Wake();
    m_writer.join();
    if (m_metadata.end.empty()) {
        m_metadata.end = end;
    }
    const FileResult closed = CloseRecording();
    m_bRecording = false;
    std::lock_guard lock(m_errorMutex);
    if (!m_strError.empty()) {
        return FileResult::Failure(
            m_strError + (closed ? "; the frames before were kept" : "; " + closed.Error()));
    }
    return closed;
}

// Cuts the file back to the frames listed (a failed write may have left part of one) and
// writes the sidecar. On a full disk the sidecar may not fit: frames are then given back
// from the end until it does.
FileResult CRecorder::CloseRecording() {
    m_metadata.droppedFrames = m_nDropped.load();
    m_metadata.gazeChanges = m_gazeChanges;
    const std::string sidecar = SidecarPathFor(m_strPath);
    FileResult written;
    for (;;) {
        if (::ftruncate(m_nFd, off_t(m_metadata.frames.size() * kFrameBytes)) != 0) {
            written = FileResult::Failure("cannot cut " + m_strPath +
                                          " back to whole frames: " + std::strerror(errno));
            break;
        }
        const std::string text = SidecarText(m_metadata);
        const FileResult described = WriteFileAtomically(sidecar, text.data(), text.size());
        if (described) {
            break;
        }
        if (m_metadata.frames.empty()) {
            written = described;
            break;
        }
        const std::size_t giveBack = text.size() / kFrameBytes + 1;
        const std::size_t keep =
            m_metadata.frames.size() > giveBack ? m_metadata.frames.size() - giveBack : 0;
        m_metadata.frames.resize(keep);
    }
    m_nFramesWritten = m_metadata.frames.size();
    const bool synced = ::fsync(m_nFd) == 0;
    const bool closed = ::close(m_nFd) == 0;
    m_nFd = -1;
    if (written && (!synced || !closed)) {
        return FileResult::FromErrno("write", m_strPath, errno);
    }
    return written;
}
