#include "localcontrol.h"
#include "platform.h"
#include "testutil.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <memory>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using LocalControl::Answer;
using LocalControl::Request;
Q_DECLARE_METATYPE(LocalControl::Request)
Q_DECLARE_METATYPE(LocalControl::Answer)

namespace
{
/// Asks from another thread while this one's event loop serves, as a second process would.
Answer askServed(const QString& path, Request request, qint64 user = Platform::currentUserId())
{
    Answer answer = Answer::NoAnswer;
    std::unique_ptr<QThread> asking(QThread::create([&] { answer = LocalControl::ask(path, request, user); }));
    QEventLoop loop;
    QObject::connect(asking.get(), &QThread::finished, &loop, &QEventLoop::quit);
    asking->start();
    loop.exec();
    asking->wait();
    return answer;
}

/// How many sockets this process has open.
int openSockets()
{
    int sockets = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        sockets += fd.symLinkTarget().contains(QLatin1String("socket:")) ? 1 : 0;
    }
    return sockets;
}

/// A plain socket of the Unix domain at `path`, for the test to play either end by hand; closed when it goes.
class RawSocket
{
public:
    ~RawSocket()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    /// Binds to `path`: the socket file is made, and left behind when the socket is closed.
    bool bind(const QString& path) { return open(path) && ::bind(m_fd, address(), m_length) == 0; }
    /// Binds and listens at `path`, never accepting by itself: connections wait in its queue.
    bool listen(const QString& path) { return bind(path) && ::listen(m_fd, 4) == 0; }
    /// Connects to the server at `path` (blocking; the server takes it from its queue when its loop runs).
    bool connect(const QString& path) { return open(path) && ::connect(m_fd, address(), m_length) == 0; }
    bool send(const QByteArray& data)
    {
        return ::send(m_fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL) == ssize_t(data.size());
    }
    /// Whether the other end has closed the connection (it reads end-of-file or a reset), without waiting. What
    /// it sent before is kept for readToEnd().
    bool closedByPeer()
    {
        char buffer[256];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), MSG_DONTWAIT);
            if (n > 0) {
                m_received.append(buffer, n);
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                return true;
            } else if (errno != EINTR) {
                return false;
            }
        }
    }
    /// What the other end sent until it closed the connection (a reset ends it too).
    QByteArray readToEnd()
    {
        char buffer[256];
        ssize_t n = 0;
        while ((n = ::recv(m_fd, buffer, sizeof(buffer), 0)) > 0) {
            m_received.append(buffer, n);
        }
        return m_received;
    }
    /// Takes the next connection from the queue (blocking).
    int accept() { return ::accept(m_fd, nullptr, nullptr); }
    /// Shuts the socket down both ways; an accept() blocked on it returns.
    void shutdown() { ::shutdown(m_fd, SHUT_RDWR); }
    int descriptor() const { return m_fd; }

private:
    bool open(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        m_address.sun_family = AF_UNIX;
        if (name.size() >= int(sizeof(m_address.sun_path))) {
            return false;
        }
        qstrncpy(m_address.sun_path, name.constData(), sizeof(m_address.sun_path));
        m_length = sizeof(m_address);
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        return m_fd >= 0;
    }
    const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&m_address); }

    int m_fd = -1;
    sockaddr_un m_address = {};
    socklen_t m_length = 0;
    QByteArray m_received;
};

/// Leaves at `path` the socket file of a copy that was killed: bound, then closed without removing the file.
bool leaveDeadSocket(const QString& path)
{
    RawSocket socket;
    return socket.bind(path);
}
} // namespace

class TestLocalControl : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = LocalControl::socketPath(m_dir.path());
    }

    void cleanup()
    {
        QDir().rmdir(m_path);
        QFile::remove(m_path);
    }

    void requestsReachTheRunningCopy_data()
    {
        QTest::addColumn<Request>("request");
        QTest::newRow("toggle") << Request::Toggle;
        QTest::newRow("show") << Request::Show;
    }

    void requestsReachTheRunningCopy()
    {
        QFETCH(Request, request);
        ControlServer server;
        QVERIFY(server.listen(m_path, false));
        QList<Request> heard;
        connect(&server, &ControlServer::requested, this, [&heard](Request r) { heard.append(r); });
        QCOMPARE(askServed(m_path, request), Answer::Done);
        QCOMPARE(heard, QList<Request> { request });
        // Asked again, answered again.
        QCOMPARE(askServed(m_path, request), Answer::Done);
        QCOMPARE(heard.size(), 2);
    }

    void noCopy_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("nothing there") << QString();
        QTest::newRow("socket of a killed copy") << QStringLiteral("dead socket");
        QTest::newRow("regular file") << QStringLiteral("file");
        QTest::newRow("folder") << QStringLiteral("folder");
    }

    void noCopy()
    {
        QFETCH(QString, what);
        if (what == QLatin1String("dead socket")) {
            QVERIFY(leaveDeadSocket(m_path));
            QVERIFY(Platform::localSocketOwner(m_path) >= 0);
        } else if (what == QLatin1String("file")) {
            QVERIFY(TestUtil::writeFile(m_path, "toggle\n"));
        } else if (what == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(m_path));
        }
        QCOMPARE(LocalControl::ask(m_path, Request::Toggle), Answer::NoCopy);
    }

    void leftoverSocketIsReplacedOnlyByTheLockHolder()
    {
        QVERIFY(leaveDeadSocket(m_path));
        {
            // Running without the single-instance lock: whatever is there is left alone.
            ControlServer unguarded;
            QVERIFY(!unguarded.listen(m_path, false));
            QVERIFY(!unguarded.errorString().isEmpty());
            QVERIFY(Platform::localSocketOwner(m_path) >= 0);
        }
        QVERIFY2(Platform::localSocketOwner(m_path) >= 0, "a server that did not listen removed the file");
        ControlServer server;
        QVERIFY(server.listen(m_path, true));
        QSignalSpy requested(&server, &ControlServer::requested);
        QCOMPARE(askServed(m_path, Request::Show), Answer::Done);
        QCOMPARE(requested.size(), 1);
    }

    void otherFilesAreNeverReplaced()
    {
        QVERIFY(TestUtil::writeFile(m_path, "keep"));
        ControlServer server;
        QVERIFY(!server.listen(m_path, true));
        QCOMPARE(TestUtil::readFile(m_path), QByteArray("keep"));
    }

    void liveCopyIsNotReplaced()
    {
        ControlServer first;
        QVERIFY(first.listen(m_path, false));
        ControlServer second;
        QVERIFY(!second.listen(m_path, false));
        QSignalSpy heard(&first, &ControlServer::requested);
        QCOMPARE(askServed(m_path, Request::Toggle), Answer::Done);
        QCOMPARE(heard.size(), 1);
    }

    void closingRemovesTheSocketFile()
    {
        {
            ControlServer server;
            QVERIFY(server.listen(m_path, false));
            QVERIFY(Platform::localSocketOwner(m_path) >= 0);
        }
        QCOMPARE(Platform::localSocketOwner(m_path), qint64(-1));
        QVERIFY(!QFile::exists(m_path));
    }

    void peerOfAnotherUserIsRefused()
    {
        // The server's end of the check: this process plays a process of another user.
        ControlServer server;
        QVERIFY(server.listen(m_path, false));
        server.setAllowedUser(Platform::currentUserId() + 1);
        QSignalSpy requested(&server, &ControlServer::requested);
        QSignalSpy refused(&server, &ControlServer::refused);
        QCOMPARE(askServed(m_path, Request::Toggle), Answer::NoAnswer);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(requested.size(), 0);
    }

    void peerUserIsRead()
    {
        ControlServer server;
        QVERIFY(server.listen(m_path, false));
        RawSocket peer;
        QVERIFY(peer.connect(m_path));
        QCOMPARE(Platform::localPeerUser(peer.descriptor()), Platform::currentUserId());
        QCOMPARE(Platform::localPeerUser(-1), qint64(-1));
    }

    void socketOfAnotherUserIsNeverUsed_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("askingAs");
        // Asking as another user: the socket file is not that user's.
        QTest::newRow("socket file of another user") << QString() << QStringLiteral("another");
        // Needs root: the file is given away.
        QTest::newRow("socket file given to nobody") << QStringLiteral("nobody") << QString();
        // Needs root: the file is the asking user's, the process that listens is not.
        QTest::newRow("listener of another user") << QStringLiteral("nobody") << QStringLiteral("nobody");
    }

    void socketOfAnotherUserIsNeverUsed()
    {
        QFETCH(QString, owner);
        QFETCH(QString, askingAs);
        const passwd* nobody = ::getpwnam("nobody");
        if (!owner.isEmpty() && (::getuid() != 0 || !nobody)) {
            QSKIP("giving a file to another user needs root and the user nobody");
        }
        ControlServer server;
        QVERIFY(server.listen(m_path, false));
        QSignalSpy requested(&server, &ControlServer::requested);
        QSignalSpy refused(&server, &ControlServer::refused);
        if (!owner.isEmpty()) {
            QCOMPARE(::chown(QFile::encodeName(m_path).constData(), nobody->pw_uid, nobody->pw_gid), 0);
            QCOMPARE(Platform::localSocketOwner(m_path), qint64(nobody->pw_uid));
        }
        qint64 user = Platform::currentUserId();
        if (askingAs == QLatin1String("another")) {
            user += 1;
        } else if (askingAs == QLatin1String("nobody")) {
            user = nobody->pw_uid;
        }
        QCOMPARE(askServed(m_path, Request::Toggle, user), Answer::NotOurs);
        // Nothing was sent: the server heard no request.
        QTest::qWait(100);
        QCOMPARE(requested.size(), 0);
        QCOMPARE(refused.size(), 0);
    }

    void nonSocketsAreNeverReplaced_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("FIFO") << QStringLiteral("fifo");
        QTest::newRow("link to a socket left by a killed copy") << QStringLiteral("link to dead socket");
        QTest::newRow("link to nothing") << QStringLiteral("dangling link");
    }

    void nonSocketsAreNeverReplaced()
    {
        // Even holding the single-instance lock: only a socket file is a leftover of a copy.
        QFETCH(QString, what);
        const QString target = m_dir.filePath(QStringLiteral("elsewhere"));
        if (what == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(m_path));
        } else if (what == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(m_path).constData(), 0600), 0);
        } else {
            if (what == QLatin1String("link to dead socket")) {
                QVERIFY(leaveDeadSocket(target));
            }
            QVERIFY(QFile::link(target, m_path));
        }
        struct stat before;
        QCOMPARE(::lstat(QFile::encodeName(m_path).constData(), &before), 0);
        {
            ControlServer server;
            QVERIFY(!server.listen(m_path, true));
            QVERIFY(!server.errorString().isEmpty());
        }
        struct stat after;
        QCOMPARE(::lstat(QFile::encodeName(m_path).constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        if (what == QLatin1String("link to dead socket")) {
            QVERIFY2(Platform::localSocketOwner(target) >= 0, "the socket the link names was replaced");
        }
        QDir().rmdir(m_path);
        QFile::remove(target);
    }

    void lockHolderDoesNotStealALiveSocket()
    {
        // A copy that holds the lock replaces a socket nothing listens at, never one another process listens at.
        ControlServer first;
        QVERIFY(first.listen(m_path, false));
        {
            ControlServer second;
            QVERIFY(!second.listen(m_path, true));
            QVERIFY(!second.errorString().isEmpty());
        }
        // The second server's end removed nothing: the first is still reached there.
        QSignalSpy heard(&first, &ControlServer::requested);
        QCOMPARE(askServed(m_path, Request::Show), Answer::Done);
        QCOMPARE(heard.size(), 1);
    }

    void fileInItsPlaceIsLeftOnClose()
    {
        {
            ControlServer server;
            QVERIFY(server.listen(m_path, false));
            QVERIFY(QFile::remove(m_path));
            QVERIFY(TestUtil::writeFile(m_path, "someone else's"));
        }
        QCOMPARE(TestUtil::readFile(m_path), QByteArray("someone else's"));
    }

    void pathTooLongIsReported()
    {
        const QString path = m_dir.filePath(QString(200, QLatin1Char('x')));
        ControlServer server;
        QVERIFY(!server.listen(path, true));
        QVERIFY2(server.errorString().contains(QLatin1String("too long")), qPrintable(server.errorString()));
        QCOMPARE(LocalControl::ask(path, Request::Toggle), Answer::NoCopy);
    }

    void lineInPieces()
    {
        ControlServer server;
        QVERIFY(server.listen(m_path, false));
        QSignalSpy requested(&server, &ControlServer::requested);
        RawSocket peer;
        QVERIFY(peer.connect(m_path));
        QVERIFY(peer.send("tog"));
        QTest::qWait(50); // the server reads the first piece on its own
        QCOMPARE(requested.size(), 0);
        QVERIFY(peer.send("gle\n"));
        QTRY_COMPARE(requested.size(), 1);
        QCOMPARE(requested.first().first().value<Request>(), Request::Toggle);
        QCOMPARE(peer.readToEnd(), QByteArray("done\n"));
    }

    void silentOrVanishingPeersDoNotHoldTheServer_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("leaves");
        QTest::newRow("sends nothing") << QByteArray() << false;
        QTest::newRow("half a line, then goes") << QByteArray("tog") << true;
        QTest::newRow("a line longer than a request, no end") << QByteArray(63, 's') << false;
    }

    void silentOrVanishingPeersDoNotHoldTheServer()
    {
        QFETCH(QByteArray, sent);
        QFETCH(bool, leaves);
        ControlServer server;
        QVERIFY(server.listen(m_path, false));
        QSignalSpy requested(&server, &ControlServer::requested);
        auto peer = std::make_unique<RawSocket>();
        QVERIFY(peer->connect(m_path));
        QVERIFY(sent.isEmpty() || peer->send(sent));
        if (leaves) {
            peer.reset();
        }
        // Another start is heard meanwhile, and the unfinished line is never taken for a request.
        QCOMPARE(askServed(m_path, Request::Show), Answer::Done);
        QCOMPARE(requested.size(), 1);
        if (peer) {
            // The peer that never finished is let go after a while.
            QTRY_VERIFY_WITH_TIMEOUT(peer->closedByPeer(), 60000);
            QCOMPARE(requested.size(), 1);
        }
    }

    void copyThatDoesNotAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("takes the line, answers something else") << QByteArray("nope\n");
        QTest::newRow("answers more than a line may hold") << QByteArray(200, 'd');
        QTest::newRow("closes without a word") << QByteArray();
    }

    void copyThatDoesNotAnswer()
    {
        QFETCH(QByteArray, answer);
        RawSocket copy;
        QVERIFY(copy.listen(m_path));
        std::thread serving([&copy, &answer] {
            const int fd = copy.accept();
            if (fd < 0) {
                return;
            }
            char line[16];
            if (::recv(fd, line, sizeof(line), 0) > 0) {
                ::send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
            }
            ::close(fd);
        });
        // However the test ends, the thread is let go: an accept() still waiting returns.
        const auto joinServing = qScopeGuard([&copy, &serving] {
            copy.shutdown();
            serving.join();
        });
        QCOMPARE(LocalControl::ask(m_path, Request::Toggle), Answer::NoAnswer);
    }

    void copyThatNeverAnswers()
    {
        // A process listens but never takes the connection: the start gives up after its wait.
        RawSocket copy;
        QVERIFY(copy.listen(m_path));
        QCOMPARE(LocalControl::ask(m_path, Request::Toggle), Answer::NoAnswer);
    }

    void descriptorsAreNotInherited()
    {
        // A program started while the server listens and holds a connection (Brisko opens programs) inherits
        // none of its sockets.
        ControlServer server;
        QVERIFY(server.listen(m_path, false));
        RawSocket peer;
        QVERIFY(peer.connect(m_path));
        QVERIFY(peer.send("tog"));
        // The server has taken the connection: the listening socket, the test's end and the server's end.
        QTRY_COMPARE(openSockets(), 3);
        QProcess child;
        child.start(QStringLiteral("/bin/sh"),
                    { QStringLiteral("-c"), QStringLiteral("for f in /proc/$$/fd/*; do readlink \"$f\"; done") });
        QVERIFY(child.waitForFinished(60000));
        const QByteArray open = child.readAllStandardOutput();
        QVERIFY2(!open.contains("socket:"), open.constData());
        QVERIFY2(open.contains("/proc/") || open.contains("pipe:"), open.constData()); // the listing itself ran
    }

    void garbageIsNotObeyed_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("unknown word") << QByteArray("quit\n");
        QTest::newRow("no line end, too long") << QByteArray(200, 't');
        QTest::newRow("toggle with more") << QByteArray("toggle now\n");
    }

    void garbageIsNotObeyed()
    {
        QFETCH(QByteArray, sent);
        ControlServer server;
        QVERIFY(server.listen(m_path, false));
        QSignalSpy requested(&server, &ControlServer::requested);
        RawSocket peer;
        QVERIFY(peer.connect(m_path));
        QVERIFY(peer.send(sent));
        QTRY_VERIFY(peer.closedByPeer());
        QCOMPARE(peer.readToEnd(), QByteArray());
        QCOMPARE(requested.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLocalControl)
#include "tst_localcontrol.moc"
