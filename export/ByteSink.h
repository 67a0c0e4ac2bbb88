#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

// Where a stream of bytes goes: a file replaced whole at the end, standard output, or a
// program's input. Nothing is left at the destination unless Finish succeeds.
class IByteSink {
  public:
    virtual ~IByteSink() = default;
    virtual bool Write(const void* pData, std::size_t size) = 0;
    // Completes the output; false with *error naming it and the reason.
    virtual bool Finish(std::string* error) = 0;
};

std::unique_ptr<IByteSink> MakeFileSink(const std::string& path, std::string* error);
std::unique_ptr<IByteSink> MakeStandardOutputSink();
// Starts ffmpeg encoding a Matroska stream of timed raw pictures (CMatroskaRawStream) into
// path, whose extension picks the container, each picture kept at its time; lossless picks
// FFV1. Null with *error when it cannot start, naming the package when it is not installed.
// Its temporary file is removed whenever the video is not finished; raising *interrupted
// ends a write or a wait for ffmpeg early.
std::unique_ptr<IByteSink> MakeVideoEncoderSink(const std::string& path, bool lossless,
                                                const std::atomic<bool>* interrupted,
                                                std::string* error);
