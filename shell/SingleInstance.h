#pragma once

#include <QString>
#include <functional>

class QLocalServer;

// Finds an earlier running copy of the program for the same user and display, and lets
// later copies find this one. The copies meet on a local socket; a socket left behind by
// a copy that crashed is cleared on the first failed connection.
class CSingleInstance {
  public:
    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Asks an earlier copy to bring its window forward; true when one answered.
    bool ActivateEarlierCopy();
    // Starts answering later copies; onActivate runs for each request. False when the
    // socket cannot be set up (later copies then start normally).
    bool Listen(std::function<void()> onActivate);

    // The socket's name: per user and display.
    static QString ServerName();

  private:
    QLocalServer* m_pServer = nullptr;
    std::function<void()> m_onActivate;
};
