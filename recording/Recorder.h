#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/files/FileResult.h"
#include "platform/files/OutputBatch.h"
#include "recording/FrameRing.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"

// Records raw frames while acquisition runs: the acquisition thread hands each frame to
// Push, which copies it into a ring and returns at once; a writer thread appends the frames
// to the recording file. A full ring drops the frame and counts it (or, for a recording that
// must keep every frame, Push waits for room). A failed write ends the recording: the file is
// cut back to whole frames and the sidecar closed, so what was written stays a valid
// recording. The file, its sidecar and any companion file are written aside and put in place
// together by Stop, so a recording over an existing file leaves the old one whole (and a
// reader's map of it valid) until the new one is complete.
//
// Threads: Push runs on the acquisition thread; everything else on the controlling thread.
class CRecorder {
  public:
    // Writes up to size bytes at once, as ::write does (the default); tests slow it or fail it.
    using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

    enum class FullRing { kDrop, kWait };
    explicit CRecorder(std::size_t ringFrames = 64, FullRing whenFull = FullRing::kDrop);
    ~CRecorder();
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    void SetWriteFunction(WriteFunction write) { m_write = std::move(write); }
    // Reads the gaze the frame just pushed was sampled at (its frame number is set here),
    // for the sidecar's list of gaze changes; set before Start.
    using GazeReader = std::function<std::optional<GazeChange>()>;
    void FollowGaze(GazeReader readGaze) { m_readGaze = std::move(readGaze); }

    // A file put in place with the next recording, only when its sidecar is (a copy of the
    // calibration); set before Start.
    void AddCompanionFile(std::string path, std::string bytes);

    // Checks the names, creates the recording's files aside and starts the writer. header
    // holds everything but the frames.
    FileResult Start(const std::string& path, RecordingMetadata header);
    // Acquisition thread: queues one raw frame; never waits. Its time in the sidecar is now,
    // or when the first frame of an average was read (taken, on the steady clock).
    void Push(const std::uint8_t* pFrame);
    void Push(const std::uint8_t* pFrame, std::chrono::steady_clock::time_point taken);
    // Ends the recording: writes what is queued, cuts the file to whole frames, writes the
    // sidecar, whose "end" says how the run ended (end, unless the writer failed first), and
    // puts the files in place. A full disk gives back frames from the end until the sidecar
    // fits. A failure at any point of the recording names the file and what it holds.
    FileResult Stop(const std::string& end = "complete", std::uint64_t failedReads = 0);
    // Ends the recording keeping nothing: what the names held stays as it was.
    void Abandon();

    bool IsRecording() const { return m_bRecording.load(); }
    // Push queues frames: from just after Start until Stop or a failure.
    bool IsAccepting() const { return m_bAccepting.load(); }
    // The writer met an error; the recording has ended and waits for Stop.
    bool HasFailed() const { return m_bFailed.load(); }
    std::uint64_t FramesWritten() const { return m_nFramesWritten.load(); }
    std::uint64_t BytesWritten() const { return m_nFramesWritten.load() * kFrameBytes; }
    std::uint64_t FramesDropped() const { return m_nDropped.load(); }
    // The recording file, while recording and after (controlling thread).
    const std::string& Path() const { return m_strPath; }

  private:
    void WriterLoop();
    bool WriteFrame(const std::uint8_t* pFrame);
    void Fail(int code, const std::string& reason);
    void StopWriter();
    FileResult CloseRecording();
    // Writes the sidecar, giving back frames on a full disk; *gaveBack counts them.
    FileResult DescribeFrames(std::size_t* gaveBack);
    FileResult WriteCompanions();
    // Drops the unwritten sidecar and companions and keeps the frames alone.
    FileResult KeepFramesAlone();

    CFrameRing m_ring;
    FullRing m_whenFull;
    WriteFunction m_write;
    std::string m_strPath;
    std::string m_strSidecarPath;
    std::vector<std::pair<std::string, std::string>> m_companions;  // path, bytes
    // The recording's files written aside until Stop; controlling thread only.
    std::unique_ptr<COutputBatch> m_pBatch;
    int m_nFd = -1;  // the recording's file aside
    std::thread m_writer;
    std::chrono::steady_clock::time_point m_start;
    // The header and the frames written; touched by the writer while it runs, by the
    // controlling thread before Start and after the writer has been joined.
    RecordingMetadata m_metadata;

    std::atomic<bool> m_bRecording{false};
    std::atomic<bool> m_bAccepting{false};
    std::atomic<int> m_nPushing{0};
    std::atomic<bool> m_bStopWriter{false};
    std::atomic<bool> m_bFailed{false};
    std::atomic<std::uint64_t> m_nFramesWritten{0};
    std::atomic<std::uint64_t> m_nDropped{0};
    GazeReader m_readGaze;
    // Acquisition thread only while accepting; read by Stop after the last Push left.
    std::vector<GazeChange> m_gazeChanges;
    // Acquisition thread only.
    std::uint64_t m_nNextIndex = 0;
    bool m_bDropPending = false;
    mutable std::mutex m_errorMutex;  // guards m_strError
    std::string m_strError;
};
