#include "export/FramePipeline.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "sensor/LogPolarFrame.h"

namespace {

// Frames each job takes per batch: enough to hide the start of its thread. A batch's
// pictures are all held until delivered, which bounds the jobs worth having by default.
constexpr std::size_t kFramesPerJob = 4;
constexpr unsigned kMostDefaultJobs = 16;

}  // namespace

CFramePipeline::CFramePipeline(const RenderSettings& settings, unsigned jobs, std::string input)
    : m_strInput(std::move(input)) {
    if (jobs == 0) {
        jobs = std::clamp(std::thread::hardware_concurrency(), 1u, kMostDefaultJobs);
    }
    for (unsigned job = 0; job < jobs; ++job) {
        m_renderers.push_back(std::make_unique<CFrameRenderer>(settings));
    }
    m_slots.resize(jobs * kFramesPerJob);
}

void CFramePipeline::RunStrand(unsigned job, std::uint64_t first, std::size_t count,
                               const Read& read, const Work& work) {
    for (std::size_t i = job; i < count; i += Jobs()) {
        Slot& slot = m_slots[i];
        const std::uint64_t frame = first + i;
        slot.raw.resize(kFrameBytes);
        slot.done = read(frame, slot.raw.data(), &slot.error);
        if (slot.done && !m_renderers[job]->Render(slot.raw.data(), &slot.picture)) {
            slot.error = "cannot process frame " + std::to_string(frame) + " of " + m_strInput;
            slot.done = false;
        }
        slot.done = slot.done && work(job, frame, slot.picture, &slot.error);
        if (!slot.done) {
            return;  // the frames after it are not delivered
        }
    }
}

bool CFramePipeline::Run(std::uint64_t first, std::uint64_t last, const Read& read,
                         const Work& work, const Deliver& deliver, std::string* error) {
    for (std::uint64_t start = first; start <= last; start += m_slots.size()) {
        const std::size_t count =
            std::size_t(std::min<std::uint64_t>(m_slots.size(), last - start + 1));
        for (Slot& slot : m_slots) {
            slot.done = false;
        }
        if (Jobs() == 1) {
            RunStrand(0, start, count, read, work);
        } else {
            std::vector<std::thread> threads;
            for (unsigned job = 1; job < Jobs(); ++job) {
                threads.emplace_back(
                    [=, this, &read, &work] { RunStrand(job, start, count, read, work); });
            }
            RunStrand(0, start, count, read, work);
            for (std::thread& thread : threads) {
                thread.join();
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (!m_slots[i].done) {
                *error = m_slots[i].error;
                return false;
            }
            if (!deliver(start + i, m_slots[i].picture, error)) {
                return false;
            }
        }
    }
    return true;
}
