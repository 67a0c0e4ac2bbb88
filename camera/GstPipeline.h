#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "camera/SourcePicture.h"
#include "platform/device/ReadLimit.h"

// A media pipeline that ends in raw pictures in a layout the sampler reads as they come:
// packed RGB in any byte order, 8-bit planar, semi-planar or packed YUV, or grey (so that a
// decoder's own output is not converted whole); any other is converted to the nearest of them.
// Its description names the elements up to the pictures (a file's reader and decoder, a
// camera, anything that makes raw video); conversion and the sink are appended here.
// GStreamer stays inside this class: callers see pictures and one-line reasons. A live
// pipeline (a camera, which does not wait) keeps only its newest picture; any other
// waits for the reader, so that no picture of a file is lost.
//
// Threads: Start on any thread; afterwards every call from one thread at a time (the
// acquisition thread). The pipeline's own threads hand pictures over through its sink.
class CGstPipeline {
  public:
    struct Settings {
        std::string description;  // "filesrc name=src ! decodebin", "v4l2src name=src" ...
        // Properties set on the element named "src" before it starts, so that paths and
        // device names need no quoting in the description.
        std::vector<std::pair<std::string, std::string>> sourceProperties;
        std::string what;    // what the operator knows it as, to begin every error
        bool paced = false;  // hand pictures out at the stream's own times (a file)
    };

    enum class Pulled { kFrame, kEnded, kFailed };

    // Starts the pipeline and waits, until the limit, for its first picture, so that a
    // missing file, device or plugin is reported now. Null with *error otherwise.
    static std::unique_ptr<CGstPipeline> Start(const Settings& settings, const ReadLimit& limit,
                                               std::string* error);
    ~CGstPipeline();
    CGstPipeline(const CGstPipeline&) = delete;
    CGstPipeline& operator=(const CGstPipeline&) = delete;

    // The next picture, held until the next Pull, waiting until the limit's deadline or
    // cancel. kFailed with a reason in *error (empty when cancelled); kEnded at the end of a
    // stream.
    Pulled Pull(const ReadLimit& limit, SourcePicture* picture, std::string* error);
    // Back to the start of a file; false when the stream cannot seek.
    bool Rewind();

  private:
    struct Parts;
    explicit CGstPipeline(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> m_pParts;
};

// The Debian package that carries a GStreamer element or decoder, for error messages.
std::string DebianPackageFor(const std::string& element);
