#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

/// The download runs in a helper process, which reads the proxy of the environment: the test's server is reached
/// directly, whatever proxy the machine names.
inline void bypassProxies()
{
    for (const char* name : { "http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY" }) {
        qunsetenv(name);
    }
}

/// A small HTTP server on the loopback address, in the test's own process, that answers each request the way
/// the test asks: a body, nothing at all, a byte now and then, or more bytes than a version file can have.
class VersionServer
{
public:
    enum class Mode
    {
        Answer,
        Silent,
        Trickle,
        Endless,
    };
    static constexpr qint64 EndlessSize = 64 * 1024 * 1024;

    Mode mode = Mode::Answer;
    QByteArray status = "200 OK";
    QByteArray body;
    QList<QByteArray> requests;
    qint64 endlessSent = 0;
    std::function<void()> onRequest;

    VersionServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
        m_trickle.setInterval(50);
        QObject::connect(&m_trickle, &QTimer::timeout, &m_server, [this] {
            for (const QPointer<QTcpSocket>& socket : std::as_const(m_trickling)) {
                if (socket) {
                    socket->write(" ");
                }
            }
        });
    }

    bool listen(quint16 port = 0) { return m_server.isListening() || m_server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_port ? m_port : m_server.serverPort(); }
    void stopListening()
    {
        m_port = m_server.serverPort();
        m_server.close();
    }
    bool resume() { return listen(port()); }

    /// Listens again where it listened, answers each request with an empty "200 OK" and forgets what it heard.
    bool reset()
    {
        mode = Mode::Answer;
        status = "200 OK";
        body.clear();
        requests.clear();
        endlessSent = 0;
        onRequest = nullptr;
        return resume();
    }

    /// The connections a client has open (one that has gone counts no more).
    int openConnections() const
    {
        int open = 0;
        for (const QPointer<QTcpSocket>& socket : m_sockets) {
            open += socket && socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
        }
        return open;
    }

    void dropConnections()
    {
        m_trickle.stop();
        m_trickling.clear();
        for (const QPointer<QTcpSocket>& socket : std::as_const(m_sockets)) {
            if (socket) {
                socket->abort();
                socket->deleteLater();
            }
        }
        m_sockets.clear();
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            m_sockets.append(socket);
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                const bool complete = request->contains("\r\n\r\n");
                *request += socket->readAll();
                if (!complete && request->contains("\r\n\r\n")) {
                    requests.append(request->left(request->indexOf("\r\n")));
                    respond(socket);
                }
            });
        }
    }

    void respond(QTcpSocket* socket)
    {
        if (onRequest) {
            onRequest();
        }
        switch (mode) {
        case Mode::Answer:
            socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: "
                          + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
            break;
        case Mode::Silent:
            break;
        case Mode::Trickle:
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n{");
            m_trickling.append(socket);
            m_trickle.start();
            break;
        case Mode::Endless:
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(EndlessSize) + "\r\n\r\n");
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] { feed(socket); });
            feed(socket);
            break;
        }
    }

    /// Keeps the endless body flowing as fast as the other side reads it.
    void feed(QTcpSocket* socket)
    {
        const QByteArray chunk(64 * 1024, ' ');
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * chunk.size()
               && endlessSent < EndlessSize) {
            endlessSent += socket->write(chunk);
        }
    }

    QTcpServer m_server;
    quint16 m_port = 0;
    QList<QPointer<QTcpSocket>> m_sockets;
    QList<QPointer<QTcpSocket>> m_trickling;
    QTimer m_trickle;
};
