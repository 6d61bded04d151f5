#include "localcontrol.h"

#include "platform.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace
{
// The protocol: one line from the asking start, one line back.
const char* const ToggleLine = "toggle\n";
const char* const ShowLine = "show\n";
const char* const DoneLine = "done\n";
// A request is one short line; a peer that sends more, or nothing in time, is dropped.
constexpr qint64 MaxLineBytes = 64;
constexpr int ConnectMs = 2000;
constexpr int AnswerMs = 5000;
constexpr int IdleMs = 5000;
} // namespace

namespace LocalControl
{
QString socketPath(const QString& folder)
{
    return folder + QLatin1String("/brisko-control");
}

Answer ask(const QString& path, Request request)
{
    return ask(path, request, Platform::currentUserId());
}

Answer ask(const QString& path, Request request, qint64 user)
{
    // Only a socket of this user is connected to: another user's (or a file of another kind) in its place is
    // never used, whoever put it there.
    const qint64 owner = Platform::localSocketOwner(path);
    if (owner < 0) {
        return Answer::NoCopy;
    }
    if (owner != user) {
        return Answer::NotOurs;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(ConnectMs)) {
        return Answer::NoCopy;
    }
    // The process that listens must be this user's too.
    if (Platform::localPeerUser(socket.socketDescriptor()) != user) {
        socket.abort();
        return Answer::NotOurs;
    }
    socket.write(request == Request::Toggle ? ToggleLine : ShowLine);
    if (!socket.waitForBytesWritten(AnswerMs)) {
        return Answer::NoAnswer;
    }
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < MaxLineBytes) {
        if (!socket.waitForReadyRead(AnswerMs)) {
            break;
        }
        answer += socket.read(MaxLineBytes - answer.size());
    }
    socket.abort();
    return answer == DoneLine ? Answer::Done : Answer::NoAnswer;
}
} // namespace LocalControl

ControlServer::ControlServer(QObject* parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
    , m_allowedUser(Platform::currentUserId())
{
#ifdef Q_OS_WIN
    // A named pipe is no file in a private folder: the option gives it an access list of this user alone.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
#else
    // No socket options: with any, QLocalServer binds elsewhere and renames the socket into place, replacing
    // whatever is there, even the socket of a copy that listens. The folder is the person's own (mode 0700), and
    // both ends check the other's user id.
#endif
    connect(m_server, &QLocalServer::newConnection, this, &ControlServer::onNewConnection);
}

ControlServer::~ControlServer()
{
    // Closing removes the socket file, so the next start finds no leftover.
    m_server->close();
}

bool ControlServer::listen(const QString& path, bool replaceLeftover)
{
    if (m_server->listen(path)) {
        return true;
    }
    if (m_server->serverError() != QAbstractSocket::AddressInUseError || !replaceLeftover
        || Platform::localSocketOwner(path) < 0) {
        return false;
    }
    // Nothing listens there (the caller holds the single-instance lock): a socket file left by a copy that was
    // killed. Anything else in its place is left as it is.
    QLocalServer::removeServer(path);
    return m_server->listen(path);
}

QString ControlServer::errorString() const
{
    return m_server->errorString();
}

void ControlServer::setAllowedUser(qint64 uid)
{
    m_allowedUser = uid;
}

void ControlServer::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const qint64 peer = Platform::localPeerUser(socket->socketDescriptor());
        if (peer < 0 || peer != m_allowedUser) {
            qWarning("A request on the control socket from user %lld was refused.", peer);
            socket->abort();
            socket->deleteLater();
            emit refused();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        // A peer that never finishes its line does not keep the connection for ever.
        QTimer::singleShot(IdleMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0) {
            onReadyRead(socket);
        }
    }
}

void ControlServer::onReadyRead(QLocalSocket* socket)
{
    if (!socket->canReadLine() && socket->bytesAvailable() < MaxLineBytes) {
        return; // the line is not complete yet
    }
    const QByteArray line = socket->readLine(MaxLineBytes + 1);
    // Answered once: whatever else arrives is not read.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    if (line == ToggleLine || line == ShowLine) {
        emit requested(line == ToggleLine ? LocalControl::Request::Toggle : LocalControl::Request::Show);
        socket->write(DoneLine);
    }
    socket->disconnectFromServer();
}
