#include "localcontrol.h"
#include "localcontrol_p.h"
#include "platform.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

// The control channel on Windows: a named pipe through QLocalServer and QLocalSocket, made with an access list
// of this user alone.

using namespace LocalControl::Protocol;

LocalControl::Answer LocalControl::Protocol::exchange(const QString& path, Request request, qint64 user)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(ConnectMs)) {
        return Answer::NoCopy;
    }
    if (Platform::localPeerUser(socket.socketDescriptor()) != user) {
        socket.abort();
        return Answer::NotOurs;
    }
    socket.write(lineOf(request));
    if (!socket.waitForBytesWritten(AnswerMs)) {
        return Answer::NoAnswer;
    }
    QByteArray answer;
    while (!lineComplete(answer)) {
        if (!socket.waitForReadyRead(AnswerMs)) {
            break;
        }
        answer += socket.read(MaxLineBytes - answer.size());
    }
    socket.abort();
    return answer == DoneLine ? Answer::Done : Answer::NoAnswer;
}

class ControlServer::Private
{
public:
    QLocalServer server;
};

ControlServer::ControlServer(QObject* parent)
    : QObject(parent)
    , m_private(std::make_unique<Private>())
    , m_allowedUser(Platform::currentUserId())
{
    QLocalServer* const server = &m_private->server;
    // A named pipe is no file in a private folder: the option gives it an access list of this user alone.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!admits(Platform::localPeerUser(socket->socketDescriptor()))) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            const auto readLine = [this, socket] {
                if (!lineComplete(socket->peek(MaxLineBytes))) {
                    return; // the line is not complete yet
                }
                // Answered once: whatever else arrives is not read.
                disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
                if (obey(firstLine(socket->read(MaxLineBytes)))) {
                    socket->write(DoneLine);
                }
                socket->disconnectFromServer();
            };
            connect(socket, &QLocalSocket::readyRead, this, readLine);
            // A peer that never finishes its line does not keep the connection for ever.
            QTimer::singleShot(IdleMs, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            if (socket->bytesAvailable() > 0) {
                readLine();
            }
        }
    });
}

ControlServer::~ControlServer()
{
    // Closing removes the pipe, so the next start finds no leftover.
    m_private->server.close();
}

bool ControlServer::listen(const QString& path, bool replaceLeftover)
{
    QLocalServer& server = m_private->server;
    if (server.listen(path)) {
        return true;
    }
    if (server.serverError() != QAbstractSocket::AddressInUseError || !replaceLeftover
        || Platform::localSocketOwner(path) < 0) {
        return false;
    }
    QLocalServer::removeServer(path);
    return server.listen(path);
}

QString ControlServer::errorString() const
{
    return m_private->server.errorString();
}
