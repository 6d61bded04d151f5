#pragma once

#include <QObject>
#include <QString>

#include <memory>

/// The channel through which a start with --toggle or --show reaches the copy that runs already: a local
/// socket in the person's own folder of the single-instance locks. Only the person's own processes talk on it:
/// a socket file another user owns is never connected to, and each side checks the user id of the other.
namespace LocalControl
{
enum class Request
{
    /// show the window, or hide it when it is shown
    Toggle,
    /// show the window
    Show,
};

/// What became of asking the running copy.
enum class Answer
{
    /// the running copy did what was asked
    Done,
    /// nothing listens there (no copy runs, or one that was killed left its socket file)
    NoCopy,
    /// the socket there, or the process behind it, belongs to another user: it was not used
    NotOurs,
    /// a copy listens but gave no answer in time, or an unexpected one
    NoAnswer,
};

/// The control socket in `folder` (the folder of the single-instance locks).
QString socketPath(const QString& folder);

/// Asks the copy listening at `path` and waits (a few seconds at most) for its answer. Needs no application
/// object. The socket file and the process listening at it must belong to `user` (this process's user unless
/// given; tests give another): otherwise the answer is NotOurs, and nothing is sent.
Answer ask(const QString& path, Request request);
Answer ask(const QString& path, Request request, qint64 user);
} // namespace LocalControl

/// The running copy's end of the channel: listens at the control socket and reports each request of the
/// person's own processes with requested(), then answers it. Closing (destroying) it removes its socket file.
class ControlServer : public QObject
{
    Q_OBJECT

public:
    explicit ControlServer(QObject* parent = nullptr);
    ~ControlServer() override;

    /// Listens at `path`. A socket file already there is replaced only when `replaceLeftover` is set (the caller
    /// holds the single-instance lock, so no copy listens there any more: one that was killed left it). False,
    /// with errorString(), when it cannot listen.
    bool listen(const QString& path, bool replaceLeftover);
    QString errorString() const;

    /// The user id whose processes may send requests; this process's own unless changed (tests).
    void setAllowedUser(qint64 uid);

signals:
    /// A request of one of the person's processes; answered as done once the connected slots have run.
    void requested(LocalControl::Request request);
    /// A connection from a process of another user (or of unknown user) was dropped unheard.
    void refused();

private:
    /// The platform's end of the socket (localcontrol_unix.cpp, localcontrol_win.cpp).
    class Private;

    /// Whether a connection of a process of user `peer` (-1: unknown) is heard; otherwise it is reported with
    /// refused() and a warning, and the caller drops it unheard.
    bool admits(qint64 peer);
    /// Reports the request that `line` (one line, with its line end) names with requested(); false, and nothing
    /// reported, for any other line. The caller answers done only after true.
    bool obey(const QByteArray& line);

    std::unique_ptr<Private> m_private;
    qint64 m_allowedUser;
};
