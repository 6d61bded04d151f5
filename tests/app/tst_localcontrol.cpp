#include "localcontrol.h"
#include "platform.h"
#include "testutil.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

/// Leaves at `path` the socket file of a copy that was killed: bound, then closed without removing the file.
bool leaveDeadSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || name.size() >= int(sizeof(address.sun_path))) {
        return false;
    }
    qstrncpy(address.sun_path, name.constData(), sizeof(address.sun_path));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
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
        QLocalServer::removeServer(m_path);
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
        QLocalSocket socket;
        socket.connectToServer(m_path);
        QVERIFY(socket.waitForConnected(5000));
        QCOMPARE(Platform::localPeerUser(socket.socketDescriptor()), Platform::currentUserId());
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
        QLocalSocket socket;
        socket.connectToServer(m_path);
        QVERIFY(socket.waitForConnected(5000));
        socket.write(sent);
        socket.flush();
        QTRY_COMPARE(socket.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(socket.readAll(), QByteArray());
        QCOMPARE(requested.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLocalControl)
#include "tst_localcontrol.moc"
