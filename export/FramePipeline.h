#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/FrameRenderer.h"

// Renders a range of frames on several threads, one renderer per thread (a renderer keeps
// the state of the frame it is on), and hands the pictures back in frame order.
class CFramePipeline {
  public:
    // Reads frame's raw bytes; false with *error naming the file.
    using Read = std::function<bool(std::uint64_t frame, std::uint8_t* pRaw, std::string* error)>;
    // Runs on the job's thread right after the frame is rendered (a sequence writes its file
    // there); false with *error.
    using Work = std::function<bool(unsigned job, std::uint64_t frame, const Picture& picture,
                                    std::string* error)>;
    // Runs on the calling thread, frame after frame in order; false with *error stops.
    using Deliver =
        std::function<bool(std::uint64_t frame, const Picture& picture, std::string* error)>;

    // jobs 0: one per core, up to 16. input names the frames' file in messages.
    CFramePipeline(const RenderSettings& settings, unsigned jobs, std::string input);

    unsigned Jobs() const { return unsigned(m_renderers.size()); }
    // Frames first to last, both included; false with the first error in frame order.
    bool Run(std::uint64_t first, std::uint64_t last, const Read& read, const Work& work,
             const Deliver& deliver, std::string* error);

  private:
    struct Slot {
        Picture picture;
        std::vector<std::uint8_t> raw;
        bool done = false;
        std::string error;
    };
    void RunStrand(unsigned job, std::uint64_t first, std::size_t count, const Read& read,
                   const Work& work);

    std::string m_strInput;
    std::vector<std::unique_ptr<CFrameRenderer>> m_renderers;
    std::vector<Slot> m_slots;  // one batch; slot i is written by job i % Jobs() only
};
