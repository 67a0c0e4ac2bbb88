#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "export/RecordingHistory.h"
#include "platform/files/FileResult.h"

// Where a stream of bytes goes: a file replaced whole at the end, standard output, or a
// program's input. Nothing is left at the destination unless Finish succeeds.
class IByteSink {
  public:
    virtual ~IByteSink() = default;
    // A failed write ends the output (nothing is kept) and names it and the reason.
    virtual FileResult Write(const void* pData, std::size_t size) = 0;
    // Completes the output.
    virtual FileResult Finish() = 0;
};

// *sink is the new sink, or null when the result says why not.
FileResult MakeFileSink(const std::string& path, std::unique_ptr<IByteSink>* sink);
std::unique_ptr<IByteSink> MakeStandardOutputSink();
// Starts ffmpeg encoding a Matroska stream of timed raw pictures (CMatroskaRawStream) into
// path, whose extension picks the container, each picture kept at its time; lossless picks
// FFV1 in slices on jobs threads (0: one per core). It fails when ffmpeg cannot start,
// naming the package when it is not installed. Its temporary file is removed whenever the
// video is not finished; raising *interrupted ends a write or a wait for ffmpeg early. The
// tags become the container's metadata (MKV tags, MP4 user data; creation_time its own),
// each value made one line.
FileResult MakeVideoEncoderSink(const std::string& path, bool lossless, unsigned jobs,
                                const NamedValues& tags, const std::atomic<bool>* interrupted,
                                std::unique_ptr<IByteSink>* sink);
