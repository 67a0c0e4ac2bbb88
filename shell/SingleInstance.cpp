#include "shell/SingleInstance.h"

#include <unistd.h>
#include <QDir>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kReplyTimeoutMs = 2000;
const QByteArray kRequest = QByteArrayLiteral("activate\n");
const QByteArray kReply = QByteArrayLiteral("ok\n");

}  // namespace

CSingleInstance::CSingleInstance() = default;

CSingleInstance::~CSingleInstance() {
    delete m_pServer;
}

QString CSingleInstance::ServerName() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
    }
    if (display.isEmpty()) {
        display = QGuiApplication::platformName();
    }
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString name = QStringLiteral("pandry-%1-%2").arg(getuid()).arg(display);
    // The user's runtime folder keeps other users out; otherwise the toolkit's temp folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? name : QDir(runtime).filePath(name);
}

bool CSingleInstance::ActivateEarlierCopy() {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        // Nobody answers: whatever socket file is left belongs to a copy that has gone.
        QLocalServer::removeServer(ServerName());
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

bool CSingleInstance::Listen(std::function<void()> onActivate) {
    m_onActivate = std::move(onActivate);
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
