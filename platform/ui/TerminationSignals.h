#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

// SIGTERM and SIGHUP as a call on the event loop's thread, so a desktop program asked to end
// ends as its Exit command does (a recording finished, its files written) rather than mid-
// write. The handler only writes the signal's number to a pipe; a socket notifier reads it.
// One object at a time; its destructor gives the signals their default handling back.
class CTerminationSignals : public QObject {
  public:
    explicit CTerminationSignals(std::function<void(int signal)> onSignal);
    ~CTerminationSignals() override;
    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

    // The signal that arrived first, or 0.
    int Caught() const { return m_nCaught; }
    // Ends the process by the signal caught, as the default handling would have (after the
    // program's own clean ending); returns when none was caught.
    void Reraise() const;

  private:
    void Drain();

    std::function<void(int)> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    int m_nCaught = 0;
};
