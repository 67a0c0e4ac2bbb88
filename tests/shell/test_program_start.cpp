#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/WaitUntil.h"

namespace {

// Real copies of the program; they meet on their socket in a runtime folder of the test's
// own so that a copy the user runs is not disturbed.
class ProgramStart : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid());
        chmod(m_runtime.path().toLocal8Bit().constData(), 0700);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_env.remove(QStringLiteral("DISPLAY"));
        m_env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        m_strSocket = m_runtime.filePath(QStringLiteral("pandry-%1-offscreen").arg(getuid()));
    }
    void TearDown() override {
        for (QProcess* pCopy : {&m_first, &m_second}) {
            if (pCopy->state() != QProcess::NotRunning) {
                pCopy->kill();
                pCopy->waitForFinished(5000);
            }
        }
    }
    void Start(QProcess& copy) {
        copy.setProcessEnvironment(m_env);
        copy.setWorkingDirectory(m_runtime.path());
        copy.start(QStringLiteral(PANDRY_EXE), {});
        ASSERT_TRUE(copy.waitForStarted(5000));
    }
    // True once a copy listens on the socket.
    bool WaitForSocket() const {
        return WaitUntil([this] { return QFileInfo(m_strSocket).exists(); });
    }
    // A socket file left by a dead copy exists but refuses; only a live copy accepts.
    bool AcceptsConnections() const {
        const QByteArray path = m_strSocket.toLocal8Bit();
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (std::size_t(path.size()) >= sizeof(address.sun_path)) {
            return false;
        }
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bAccepted =
            fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        if (fd >= 0) {
            close(fd);
        }
        return bAccepted;
    }

    QTemporaryDir m_runtime;
    QProcessEnvironment m_env;
    QString m_strSocket;
    QProcess m_first;
    QProcess m_second;
};

// Catches a second copy that opens a window of its own instead of handing over to the
// first, ends with a failure status, or ends the first copy.
TEST_F(ProgramStart, SecondCopyHandsOverAndEnds) {
    Start(m_first);
    ASSERT_TRUE(WaitForSocket());
    Start(m_second);
    ASSERT_TRUE(m_second.waitForFinished(10000));
    EXPECT_EQ(m_second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_second.exitCode(), 0);
    EXPECT_EQ(m_first.state(), QProcess::Running);
}

// Catches a socket left by a crashed copy blocking every later start.
TEST_F(ProgramStart, CrashedCopyDoesNotBlockStartUp) {
    Start(m_first);
    ASSERT_TRUE(WaitForSocket());
    m_first.kill();  // no clean-up: the socket file stays behind
    ASSERT_TRUE(m_first.waitForFinished(5000));
    ASSERT_TRUE(QFileInfo(m_strSocket).exists());
    ASSERT_FALSE(AcceptsConnections());
    Start(m_second);
    EXPECT_TRUE(WaitUntil([&] { return AcceptsConnections(); }));
    EXPECT_EQ(m_second.state(), QProcess::Running);
}

// Catches copies started at the same moment each opening a window (5 of 5 tries before):
// exactly one stays, and every other hands over to it and ends without a failure.
TEST_F(ProgramStart, OfTenCopiesStartedAtOnceOneRuns) {
    std::vector<std::unique_ptr<QProcess>> copies;
    for (int i = 0; i < 10; ++i) {
        copies.push_back(std::make_unique<QProcess>());
        copies.back()->setProcessEnvironment(m_env);
        copies.back()->setWorkingDirectory(m_runtime.path());
        copies.back()->start(QStringLiteral(PANDRY_EXE), {});
    }
    // Done when nine have ended: the one that stays is not waited out.
    const auto finished = [&copies] {
        int count = 0;
        for (auto& pCopy : copies) {
            count += pCopy->state() == QProcess::NotRunning || pCopy->waitForFinished(0) ? 1 : 0;
        }
        return count;
    };
    EXPECT_TRUE(WaitUntil([&] { return finished() >= 9; }));
    int running = 0;
    for (auto& pCopy : copies) {
        if (pCopy->state() == QProcess::NotRunning) {
            EXPECT_EQ(pCopy->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(pCopy->exitCode(), 0) << pCopy->readAllStandardError().constData();
        } else {
            ++running;
        }
    }
    EXPECT_EQ(running, 1);
    EXPECT_TRUE(AcceptsConnections());  // the one left is the first copy, answering
    for (auto& pCopy : copies) {
        if (pCopy->state() != QProcess::NotRunning) {
            pCopy->kill();
            pCopy->waitForFinished(5000);
        }
    }
}

// Catches a rendezvous in a folder other users may enter (they could answer for us and
// make a new copy end, or hold the name and make it start twice): the copy meets in its
// private fallback folder instead, and is seen listening there.
TEST_F(ProgramStart, FolderOpenToOthersIsNotUsed) {
    chmod(m_runtime.path().toLocal8Bit().constData(), 0777);
    // A name of this run's own in the shared fallback folder, so parallel runs keep apart.
    const QString display =
        QStringLiteral("pandry-test-%1").arg(QCoreApplication::applicationPid());
    m_env.insert(QStringLiteral("WAYLAND_DISPLAY"), display);
    m_env.insert(QStringLiteral("PANDRY_CAMERA"), QStringLiteral("none"));
    const QString fallback =
        QStringLiteral("/tmp/pandry-%1/pandry-%1-%2").arg(getuid()).arg(display);
    m_strSocket = fallback;
    Start(m_first);
    EXPECT_TRUE(WaitUntil([this] { return AcceptsConnections(); }));
    EXPECT_TRUE(
        QDir(m_runtime.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    chmod(m_runtime.path().toLocal8Bit().constData(), 0700);
    m_first.kill();
    m_first.waitForFinished(5000);
    QFile::remove(fallback);
    QFile::remove(fallback + QStringLiteral(".lock"));
}

// Catches --help or --version needing a display (they would abort on a plain console).
TEST_F(ProgramStart, VersionAndHelpNeedNoDisplay) {
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    for (const char* pszOption : {"--version", "--help"}) {
        QProcess copy;
        copy.setProcessEnvironment(m_env);
        copy.start(QStringLiteral(PANDRY_EXE), {QString::fromLatin1(pszOption)});
        ASSERT_TRUE(copy.waitForFinished(10000));
        EXPECT_EQ(copy.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(copy.exitCode(), 0) << pszOption;
        EXPECT_TRUE(copy.readAllStandardOutput().contains("pandry")) << pszOption;
    }
}

// Catches a wrong option read only after the toolkit wanted a display (it aborted inside
// the toolkit, exit 134, before the option was looked at).
TEST_F(ProgramStart, WrongOptionIsToldWithoutADisplay) {
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess copy;
    copy.setProcessEnvironment(m_env);
    copy.start(QStringLiteral(PANDRY_EXE), {QStringLiteral("--bogus")});
    ASSERT_TRUE(copy.waitForFinished(10000));
    EXPECT_EQ(copy.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(copy.exitCode(), 2);
    const QByteArray error = copy.readAllStandardError();
    EXPECT_TRUE(error.contains("bogus")) << error.constData();
    EXPECT_EQ(error.count('\n'), 1) << error.constData();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
