#include "localcontrol.h"
#include "localcontrol_p.h"
#include "platform.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// The control channel on Linux: a Unix domain stream socket in the person's own folder of the single-instance
// locks, on plain POSIX calls so that the program links no network library for it. Every descriptor is
// non-blocking and closed on exec (the programs Brisko opens inherit none of them); a call that a signal
// interrupts is repeated.

using namespace LocalControl::Protocol;

namespace
{
/// A descriptor that is closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    /// Closes the descriptor held, and holds `fd` instead.
    void reset(int fd = -1)
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd;
};

/// A new stream socket of the Unix domain, non-blocking and closed on exec; -1 (with errno) when none can be made.
int newSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

/// The address of the socket file at `path`. False (errno ENAMETOOLONG or ENOENT) when no socket address can
/// name it.
bool addressOf(const QString& path, sockaddr_un* address, socklen_t* length)
{
    const QByteArray name = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (name.isEmpty() || name.contains('\0')) {
        errno = ENOENT;
        return false;
    }
    if (name.size() >= qsizetype(sizeof(address->sun_path))) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address->sun_path, name.constData(), size_t(name.size()));
    *length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(name.size()) + 1);
    return true;
}

const sockaddr* asSockaddr(const sockaddr_un& address)
{
    return reinterpret_cast<const sockaddr*>(&address);
}

/// Waits until `fd` is ready for `events` (or has failed, which the next call on it tells), at most until
/// `deadline`. False when the time is up first.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    for (;;) {
        pollfd entry = { fd, events, 0 };
        const int ready = ::poll(&entry, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (deadline.hasExpired()) {
            return false;
        }
    }
}

/// Connects the non-blocking socket `fd` to `address` by `deadline`: 0, or the errno of the failure
/// (ETIMEDOUT when the time is up).
int connectTo(int fd, const sockaddr_un& address, socklen_t length, const QDeadlineTimer& deadline)
{
    for (;;) {
        if (::connect(fd, asSockaddr(address), length) == 0) {
            return 0;
        }
        const int error = errno;
        switch (error) {
        case EINTR:
            continue;
        case EISCONN:
            return 0; // an interrupted attempt went through
        case EAGAIN:
            // The listener's queue is full: it may still take this start once it has caught up.
            if (deadline.hasExpired()) {
                return ETIMEDOUT;
            }
            QThread::msleep(10);
            continue;
        case EINPROGRESS:
        case EALREADY: {
            if (!waitFor(fd, POLLOUT, deadline)) {
                return ETIMEDOUT;
            }
            int result = 0;
            socklen_t size = sizeof(result);
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size) != 0) {
                return errno;
            }
            return result;
        }
        default:
            return error;
        }
    }
}

/// Sends all of `data` on the non-blocking socket `fd` by `deadline`. A peer that has gone raises no SIGPIPE.
bool sendAll(int fd, const QByteArray& data, const QDeadlineTimer& deadline)
{
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n >= 0) {
            sent += n;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(fd, POLLOUT, deadline)) {
                return false;
            }
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

enum class LineRead
{
    Complete, ///< a line is ready to be judged (lineComplete)
    Pending, ///< nothing more to read yet: wait for the socket, then read again
    Ended, ///< the peer closed the connection, or it failed, before the line was complete
};

/// Reads from the non-blocking socket `fd` into `received` until its line is complete, never past
/// MaxLineBytes in all, without waiting.
LineRead readLine(int fd, QByteArray* received)
{
    while (!lineComplete(*received)) {
        char buffer[MaxLineBytes];
        const ssize_t n = ::recv(fd, buffer, size_t(MaxLineBytes - received->size()), 0);
        if (n > 0) {
            received->append(buffer, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return LineRead::Pending;
        } else {
            return LineRead::Ended;
        }
    }
    return LineRead::Complete;
}

/// Whether nothing listens at the socket file `address` names: a connection to it is refused (a socket file left
/// by a process that ended), or the file has gone meanwhile. Anything else, a listener that is only busy too,
/// counts as a live socket.
bool nothingListens(const sockaddr_un& address, socklen_t length)
{
    const Descriptor probe(newSocket());
    if (probe.get() < 0) {
        return false;
    }
    const int result = connectTo(probe.get(), address, length, QDeadlineTimer(ConnectMs));
    return result == ECONNREFUSED || result == ENOENT;
}

QString systemError(int error)
{
    return qt_error_string(error);
}
} // namespace

LocalControl::Answer LocalControl::Protocol::exchange(const QString& path, Request request, qint64 user)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!addressOf(path, &address, &length)) {
        return Answer::NoCopy;
    }
    const Descriptor connection(newSocket());
    if (connection.get() < 0 || connectTo(connection.get(), address, length, QDeadlineTimer(ConnectMs)) != 0) {
        return Answer::NoCopy;
    }
    // The process that listens must be this user's too.
    if (Platform::localPeerUser(connection.get()) != user) {
        return Answer::NotOurs;
    }
    if (!sendAll(connection.get(), lineOf(request), QDeadlineTimer(AnswerMs))) {
        return Answer::NoAnswer;
    }
    QByteArray answer;
    const QDeadlineTimer deadline(AnswerMs);
    while (readLine(connection.get(), &answer) == LineRead::Pending && waitFor(connection.get(), POLLIN, deadline)) { }
    return answer == DoneLine ? Answer::Done : Answer::NoAnswer;
}

namespace
{
/// One connection of a process of the allowed user: its line is read as it arrives and judged once, whole or
/// as long as a line may be; then the connection is answered (done, for a request) and closed. A peer that does
/// not finish its line in time, or goes away before, is closed unheard.
class Connection : public QObject
{
public:
    /// Takes `fd` (accepted, non-blocking); `judge` tells whether a line was a request that was carried out.
    Connection(int fd, std::function<bool(const QByteArray&)> judge, QObject* parent)
        : QObject(parent)
        , m_fd(fd)
        , m_notifier(new QSocketNotifier(fd, QSocketNotifier::Read))
        , m_judge(std::move(judge))
    {
        connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { read(); });
        m_idle.setSingleShot(true);
        connect(&m_idle, &QTimer::timeout, this, [this] { finish(); });
        m_idle.start(IdleMs);
    }

private:
    void read()
    {
        switch (readLine(m_fd.get(), &m_received)) {
        case LineRead::Pending:
            return; // the line is not complete yet
        case LineRead::Ended:
            finish(); // the peer went away (or the connection failed) before its line was complete
            return;
        case LineRead::Complete:
            break;
        }
        // Judged once: whatever else arrives is not read.
        m_idle.stop();
        m_notifier->setEnabled(false);
        const QPointer<Connection> alive(this);
        const bool done = m_judge(firstLine(m_received));
        if (!alive) {
            return; // the server went while the request was carried out
        }
        if (done) {
            sendAll(m_fd.get(), QByteArray(DoneLine), QDeadlineTimer(0));
        }
        finish();
    }

    void finish()
    {
        m_idle.stop();
        m_notifier.reset();
        m_fd.reset();
        deleteLater();
    }

    // Declared after the descriptor, the notifier is destroyed before the descriptor is closed.
    Descriptor m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<bool(const QByteArray&)> m_judge;
    QTimer m_idle;
    QByteArray m_received;
};
} // namespace

class ControlServer::Private
{
public:
    explicit Private(ControlServer* server)
        : m_server(server)
    {
    }
    ~Private() { close(); }

    bool listen(const QString& path, bool replaceLeftover);
    void close();

    QString m_error;

private:
    bool fail(const QString& reason)
    {
        m_error = reason;
        return false;
    }
    void accept();

    ControlServer* m_server;
    Descriptor m_listener;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_path;
    /// The socket file this server made, so that only that file is removed on close.
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

bool ControlServer::Private::listen(const QString& path, bool replaceLeftover)
{
    close();
    sockaddr_un address;
    socklen_t length = 0;
    if (!addressOf(path, &address, &length)) {
        return fail(systemError(errno));
    }
    Descriptor socket(newSocket());
    if (socket.get() < 0) {
        return fail(systemError(errno));
    }
    if (::bind(socket.get(), asSockaddr(address), length) != 0) {
        const int error = errno;
        if (error != EADDRINUSE || !replaceLeftover) {
            return fail(systemError(error));
        }
        // Something is there already. Holding the single-instance lock, this copy replaces a socket file that a
        // copy which was killed left, and nothing else: not a file of another kind (a link is not followed),
        // not a socket that some process listens at.
        if (Platform::localSocketOwner(path) < 0) {
            return fail(QStringLiteral("%1: a file that is not a socket is in its place").arg(systemError(error)));
        }
        if (!nothingListens(address, length)) {
            return fail(QStringLiteral("%1: another process listens there").arg(systemError(error)));
        }
        if (::unlink(address.sun_path) != 0 && errno != ENOENT) {
            return fail(systemError(errno));
        }
        if (::bind(socket.get(), asSockaddr(address), length) != 0) {
            return fail(systemError(errno));
        }
    }
    struct stat made;
    if (::lstat(address.sun_path, &made) != 0 || ::listen(socket.get(), SOMAXCONN) != 0) {
        const int error = errno;
        ::unlink(address.sun_path);
        return fail(systemError(error));
    }
    m_path = QByteArray(address.sun_path);
    m_device = made.st_dev;
    m_inode = made.st_ino;
    m_listener.reset(socket.release());
    m_notifier = std::make_unique<QSocketNotifier>(m_listener.get(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_server, [this] { accept(); });
    m_error.clear();
    return true;
}

void ControlServer::Private::close()
{
    m_notifier.reset();
    if (m_listener.get() < 0) {
        return;
    }
    // The socket file goes, so the next start finds no leftover; a file put in its place since is left alone.
    struct stat st;
    if (::lstat(m_path.constData(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_dev == m_device
        && st.st_ino == m_inode) {
        ::unlink(m_path.constData());
    }
    m_listener.reset();
}

void ControlServer::Private::accept()
{
    const QPointer<ControlServer> alive(m_server);
    for (;;) {
        const int fd = ::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (error == EINTR || error == ECONNABORTED) {
                continue;
            }
            if (error == EAGAIN || error == EWOULDBLOCK) {
                return;
            }
            // Out of descriptors, most likely: the connection stays queued, and the server pauses a moment
            // rather than being woken for it again at once.
            qWarning("Cannot take a connection on the control socket (%s).", qUtf8Printable(systemError(error)));
            m_notifier->setEnabled(false);
            QTimer::singleShot(1000, m_server, [this] {
                if (m_notifier) {
                    m_notifier->setEnabled(true);
                }
            });
            return;
        }
        Descriptor connection(fd);
        if (!m_server->admits(Platform::localPeerUser(fd))) {
            if (!alive) {
                return;
            }
            continue;
        }
        ControlServer* const server = m_server;
        new Connection(
            connection.release(), [server](const QByteArray& line) { return server->obey(line); }, server);
    }
}

ControlServer::ControlServer(QObject* parent)
    : QObject(parent)
    , m_private(std::make_unique<Private>(this))
    , m_allowedUser(Platform::currentUserId())
{
}

ControlServer::~ControlServer() = default;

bool ControlServer::listen(const QString& path, bool replaceLeftover)
{
    return m_private->listen(path, replaceLeftover);
}

QString ControlServer::errorString() const
{
    return m_private->m_error;
}
