#include "acquisition/AcquisitionSession.h"

#include <algorithm>

#include "processing/FrameProcessor.h"

CAcquisitionSession::CAcquisitionSession(std::function<void()> cancelRead,
                                         std::function<void()> resumeReads)
    : m_cancelRead(std::move(cancelRead)), m_resumeReads(std::move(resumeReads)) {}

CAcquisitionSession::~CAcquisitionSession() {
    Stop();
}

void CAcquisitionSession::AddConsumer(IFrameConsumer* pConsumer) {
    m_consumers.push_back(pConsumer);
}

void CAcquisitionSession::RemoveConsumer(IFrameConsumer* pConsumer) {
    m_consumers.erase(std::remove(m_consumers.begin(), m_consumers.end(), pConsumer),
                      m_consumers.end());
}

void CAcquisitionSession::Start(ISessionHost* pHost) {
    Stop();
    m_bStop = false;
    m_nFrames = 0;
    m_thread = std::thread(&CAcquisitionSession::Run, this, pHost);
}

void CAcquisitionSession::RequestStop() {
    // Raised before the cancel, so the read the cancel ends is taken for a stop.
    m_bStop = true;
    if (m_cancelRead) {
        m_cancelRead();
    }
}

void CAcquisitionSession::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    RequestStop();
    Join();
}

void CAcquisitionSession::Join() {
    if (!m_thread.joinable()) {
        return;
    }
    m_thread.join();
    if (m_resumeReads) {
        m_resumeReads();
    }
}

bool CAcquisitionSession::StopAsked(const ISessionHost& host) const {
    return m_bStop.load() || host.StopRequested();
}

void CAcquisitionSession::Run(ISessionHost* pHost) {
    pHost->RunStarting();
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t passes = 0;
    while (!StopAsked(*pHost)) {
        ++passes;
        CFrameProcessor& processor = pHost->PassProcessor();
        pHost->BeforeAcquire(processor);
        AcquiredFrame frame;
        const std::int64_t acquireStart = SteadyNanoseconds();
        if (processor.Acquire() == 0) {
            if (StopAsked(*pHost)) {
                --passes;  // a stop cancelled this pass's read: it ends as a stop
                break;
            }
            pHost->RunFailed(passes - 1);
            for (IFrameConsumer* pConsumer : m_consumers) {
                pConsumer->RunEnded(true);
            }
            return;
        }
        frame.acquireNs = SteadyNanoseconds() - acquireStart;
        frame.readNs = pHost->LastReadNanoseconds();
        frame.index = passes - 1;
        frame.timeUs = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
        for (IFrameConsumer* pConsumer : m_consumers) {
            pConsumer->TakeFrame(frame, processor);
        }
        m_nFrames = passes;
        pHost->PassEnded(passes);
    }
    pHost->RunStopped(passes);
    for (IFrameConsumer* pConsumer : m_consumers) {
        pConsumer->RunEnded(false);
    }
}
