#include "localcontrol.h"

#include "localcontrol_p.h"
#include "platform.h"

// What the ends of the channel share on every platform; the sockets themselves are in localcontrol_unix.cpp
// (a Unix domain socket) and localcontrol_win.cpp (a named pipe).

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
    return Protocol::exchange(path, request, user);
}
} // namespace LocalControl

void ControlServer::setAllowedUser(qint64 uid)
{
    m_allowedUser = uid;
}

bool ControlServer::admits(qint64 peer)
{
    if (peer >= 0 && peer == m_allowedUser) {
        return true;
    }
    qWarning("A request on the control socket from user %lld was refused.", peer);
    emit refused();
    return false;
}

bool ControlServer::obey(const QByteArray& line)
{
    using namespace LocalControl::Protocol;
    if (line == ToggleLine) {
        emit requested(LocalControl::Request::Toggle);
    } else if (line == ShowLine) {
        emit requested(LocalControl::Request::Show);
    } else {
        return false;
    }
    return true;
}
