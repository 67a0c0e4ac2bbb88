#include "shell/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kConnectTimeoutMs = 500;
constexpr int kReplyTimeoutMs = 5000;
// How long a later copy waits for the first one to start answering (it may be starting).
constexpr int kHandOverTimeoutMs = 10000;
constexpr int kRetryMs = 50;
const QByteArray kRequest = QByteArrayLiteral("activate\n");
const QByteArray kReply = QByteArrayLiteral("ok\n");

// A folder is private when it is a real folder (not a link), ours, and closed to others.
bool IsPrivateFolder(const QString& path, QString* error) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = path + QStringLiteral(" is not a folder");
    } else if (info.st_uid != ::getuid()) {
        *error = path + QStringLiteral(" belongs to another user");
    } else if ((info.st_mode & 077) != 0) {
        *error = path + QStringLiteral(" is open to other users");
    } else {
        return true;
    }
    return false;
}

QString DisplayName() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
    }
    if (display.isEmpty()) {
        display = QGuiApplication::platformName();
    }
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return display;
}

}  // namespace

CSingleInstance::CSingleInstance() = default;

CSingleInstance::~CSingleInstance() {
    delete m_pServer;
    if (m_nLockFd >= 0) {
        ::close(m_nLockFd);
    }
}

QString CSingleInstance::RendezvousFolder(QString* error) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString reason;
    if (!runtime.isEmpty() && IsPrivateFolder(runtime, &reason)) {
        return runtime;
    }
    const QString fallback = QStringLiteral("/tmp/pandry-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(fallback).constData(), 0700);
    if (IsPrivateFolder(fallback, error)) {
        return fallback;
    }
    return QString();
}

QString CSingleInstance::ServerName() {
    QString ignored;
    const QString folder = RendezvousFolder(&ignored);
    const QString name = QStringLiteral("pandry-%1-%2").arg(::getuid()).arg(DisplayName());
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

CSingleInstance::Claim CSingleInstance::ClaimOrHandOver(std::function<void()> onActivate) {
    m_onActivate = std::move(onActivate);
    QString error;
    if (RendezvousFolder(&error).isEmpty()) {
        std::fprintf(stderr, "pandry: cannot check for another copy: %s\n",
                     error.toLocal8Bit().constData());
        return Claim::kFirst;
    }
    const QString lockPath = ServerName() + QStringLiteral(".lock");
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (TakeLock(lockPath)) {
            Listen();
            return Claim::kFirst;
        }
        if (AskToActivate()) {
            return Claim::kHandedOver;
        }
        if (clock.elapsed() > kHandOverTimeoutMs) {
            return Claim::kNoAnswer;
        }
        QThread::msleep(kRetryMs);
    }
}

bool CSingleInstance::TakeLock(const QString& path) {
    if (m_nLockFd < 0) {
        m_nLockFd = ::open(QFile::encodeName(path).constData(),
                           O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    return m_nLockFd >= 0 && ::flock(m_nLockFd, LOCK_EX | LOCK_NB) == 0;
}

bool CSingleInstance::AskToActivate() {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(kReplyTimeoutMs)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kReplyTimeoutMs)) {
            return false;
        }
    }
    return socket.readLine() == kReply;
}

bool CSingleInstance::Listen() {
    // The lock is ours, so a socket file left there belongs to a copy that has gone.
    QLocalServer::removeServer(ServerName());
    m_pServer = new QLocalServer;
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_pServer->listen(ServerName())) {
        delete m_pServer;
        m_pServer = nullptr;
        return false;
    }
    QObject::connect(m_pServer, &QLocalServer::newConnection, m_pServer, [this] {
        while (QLocalSocket* pSocket = m_pServer->nextPendingConnection()) {
            QObject::connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
            QObject::connect(pSocket, &QLocalSocket::readyRead, pSocket, [this, pSocket] {
                if (!pSocket->canReadLine()) {
                    return;
                }
                if (pSocket->readLine() == kRequest) {
                    m_onActivate();
                    pSocket->write(kReply);
                    pSocket->flush();
                }
                pSocket->disconnectFromServer();
            });
        }
    });
    return true;
}
