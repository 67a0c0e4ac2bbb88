#include "recording/Recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files/FileIo.h"
#include "platform/files/OutputTarget.h"
#include "platform/files/StaleTempFiles.h"
#include "sensor/LogPolarFrame.h"

CRecorder::CRecorder(std::size_t ringFrames, FullRing whenFull)
    : m_ring(ringFrames),
      m_whenFull(whenFull),
      m_write([](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }) {}

CRecorder::~CRecorder() {
    if (m_bRecording) {
        [[maybe_unused]] const FileResult stopped = Stop();
    }
}

void CRecorder::AddCompanionFile(std::string path, std::string bytes) {
    m_companions.emplace_back(std::move(path), std::move(bytes));
}

FileResult CRecorder::Start(const std::string& path, RecordingMetadata header) {
    if (m_bRecording) {
        return FileResult::Failure("already recording to " + m_strPath);
    }
    m_strSidecarPath = SidecarPathFor(path);
    m_pBatch = std::make_unique<COutputBatch>();
    std::vector<std::string> names = {path, m_strSidecarPath};
    for (const auto& companion : m_companions) {
        names.push_back(companion.first);
    }
    for (const std::string& name : names) {
        // What a run killed outright left sits beside the file a link names.
        if (OutputTarget target; ResolveOutputTarget(name, &target)) {
            RemoveStaleTemporaryFilesOf(target.path);
        }
        if (FileResult added = m_pBatch->Add(name); !added) {
            m_pBatch.reset();
            m_companions.clear();
            return added;
        }
    }
    if (FileResult opened = m_pBatch->OpenAdded(path, &m_nFd); !opened) {
        m_pBatch.reset();
        m_companions.clear();
        return opened;
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
    Push(pFrame, std::chrono::steady_clock::now());
}

void CRecorder::Push(const std::uint8_t* pFrame, std::chrono::steady_clock::time_point taken) {
    m_nPushing.fetch_add(1);
    if (m_bAccepting.load() && pFrame != nullptr) {
        RecordedFrame info;
        info.index = m_nNextIndex++;
        info.timeUs = std::max<std::int64_t>(
            0, std::chrono::duration_cast<std::chrono::microseconds>(taken - m_start).count());
        info.afterDrop = m_bDropPending;
        if (std::optional<GazeChange> gaze = m_readGaze ? m_readGaze() : std::nullopt) {
            gaze->frame = info.index;
            AppendGazeChange(&m_gazeChanges, *gaze);
        }
        bool bQueued = m_ring.TryPush(pFrame, info);
        // The writer drains the ring even after a failure, so this wait always ends.
        while (!bQueued && m_whenFull == FullRing::kWait && m_bAccepting.load()) {
            m_ring.WaitForRoom();
            bQueued = m_ring.TryPush(pFrame, info);
        }
        if (bQueued) {
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
        // Taken first: a stop asked after the look below wakes the wait.
        const std::uint32_t wakes = m_ring.WakeCount();
        RecordedFrame info;
        const std::uint8_t* pFrame = m_ring.Front(&info);
        if (pFrame == nullptr) {
            if (m_bStopWriter.load()) {
                return;
            }
            m_ring.WaitForFrames(wakes);
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

void CRecorder::StopWriter() {
    m_bAccepting = false;
    while (m_nPushing.load() != 0) {
        std::this_thread::yield();  // a Push in progress finishes within a frame copy
    }
    m_bStopWriter = true;
    m_ring.Wake();
    m_writer.join();
}

void CRecorder::Abandon() {
    if (!m_bRecording) {
        return;
    }
    StopWriter();
    ::close(m_nFd);
    m_nFd = -1;
    m_pBatch.reset();  // removes the files written aside
    m_companions.clear();
    m_bRecording = false;
}

FileResult CRecorder::Stop(const std::string& end, std::uint64_t failedReads) {
    if (!m_bRecording) {
        return FileResult::Failure("not recording");
    }
    StopWriter();
    if (m_metadata.end.empty()) {
        m_metadata.end = end;
    }
    m_metadata.failedReads = failedReads;
    const FileResult closed = CloseRecording();
    m_pBatch.reset();
    m_companions.clear();
    m_bRecording = false;
    return closed;
}

FileResult CRecorder::DescribeFrames(std::size_t* gaveBack) {
    *gaveBack = 0;
    for (;;) {
        if (::ftruncate(m_nFd, off_t(m_metadata.frames.size() * kFrameBytes)) != 0) {
            return FileResult::Failure("cannot cut " + m_strPath +
                                       " back to whole frames: " + std::strerror(errno));
        }
        const std::string text = SidecarText(m_metadata);
        FileResult written = m_pBatch->Append(m_strSidecarPath, text.data(), text.size());
        const std::size_t frames = m_metadata.frames.size();
        if (written || written.Code() != ENOSPC || frames <= 1) {
            return written;
        }
        const std::size_t giveBack = text.size() / kFrameBytes + 1;
        const std::size_t keep = frames > giveBack ? frames - giveBack : 1;
        *gaveBack += frames - keep;
        m_metadata.frames.resize(keep);
        m_metadata.end = "disk full";
    }
}

FileResult CRecorder::WriteCompanions() {
    for (const auto& [path, bytes] : m_companions) {
        if (FileResult written = m_pBatch->Append(path, bytes.data(), bytes.size()); !written) {
            return written;
        }
    }
    return {};
}

// Frames without a description still are the frames read; no old sidecar may stay beside
// them to tell of another recording.
FileResult CRecorder::KeepFramesAlone() {
    m_pBatch->Drop(m_strSidecarPath);
    for (const auto& companion : m_companions) {
        m_pBatch->Drop(companion.first);
    }
    if (FileResult kept = m_pBatch->Commit(); !kept) {
        return kept;
    }
    ::unlink(m_strSidecarPath.c_str());
    return {};
}

// Cuts the file back to the frames listed (a failed write may have left part of one),
// writes the sidecar and puts both in place. On a full disk the sidecar may not fit: frames
// are then given back from the end until it does, since frames without their description
// would replay and export with other settings than they were recorded with.
FileResult CRecorder::CloseRecording() {
    m_metadata.droppedFrames = m_nDropped.load();
    m_metadata.gazeChanges = m_gazeChanges;
    std::size_t gaveBack = 0;
    FileResult described = DescribeFrames(&gaveBack);
    if (described) {
        described = WriteCompanions();
    }
    m_nFramesWritten = m_metadata.frames.size();
    const bool closed = ::close(m_nFd) == 0;
    const int closeError = errno;
    m_nFd = -1;
    if (!closed) {
        return FileResult::FromErrno("write", m_strPath, closeError);  // nothing replaced
    }
    std::string failure;
    {
        std::lock_guard lock(m_errorMutex);
        failure = m_strError;
    }
    if (gaveBack > 0) {
        failure = (failure.empty() ? "the disk is full" : failure) + "; the last " +
                  std::to_string(gaveBack) + " frames made room for their description";
    }
    const std::string frames = std::to_string(m_metadata.frames.size());
    if (!described) {
        if (FileResult kept = KeepFramesAlone(); !kept) {
            return kept;
        }
        return FileResult::Failure((failure.empty() ? "" : failure + "; ") + described.Error() +
                                   "; " + m_strPath + " holds the " + frames +
                                   " whole frames read, without their description");
    }
    if (FileResult committed = m_pBatch->Commit(); !committed) {
        return committed;
    }
    if (!failure.empty()) {
        return FileResult::Failure(failure + "; " + m_strPath + " holds the " + frames +
                                   " whole frames read before");
    }
    return {};
}
