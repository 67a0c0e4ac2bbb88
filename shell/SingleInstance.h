#pragma once

#include <QString>
#include <functional>

class QLocalServer;

// Makes sure one copy of the program runs per user and display. The first copy takes a
// lock it holds for its whole life and answers later copies on a local socket beside it;
// a later copy asks it to bring its window forward and ends. Lock and socket live in a
// folder only the user can enter, so no other user can make a copy end or start twice.
class CSingleInstance {
  public:
    enum class Claim {
        kFirst,       // this copy runs (and now answers later ones)
        kHandedOver,  // an earlier copy was brought forward: this one ends
        kNoAnswer,    // an earlier copy holds the lock but did not answer in time
    };

    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Takes the lock, or hands over to the copy that holds it; waits for a copy that is
    // still starting. onActivate runs for every later copy's request. A folder that cannot
    // be trusted is reported on stderr and the copy runs alone.
    Claim ClaimOrHandOver(std::function<void()> onActivate);

    // The socket's name: per user and display, in the rendezvous folder.
    static QString ServerName();
    // The user's private folder for the socket and lock: XDG_RUNTIME_DIR when it is the
    // user's own and closed to others, else /tmp/pandry-<uid> (made 0700 and checked).
    // Empty, with the reason in *error, when neither can be trusted.
    static QString RendezvousFolder(QString* error);

  private:
    bool TakeLock(const QString& path);
    bool AskToActivate();
    bool Listen();

    int m_nLockFd = -1;
    QLocalServer* m_pServer = nullptr;
    std::function<void()> m_onActivate;
};
