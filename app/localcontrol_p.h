#pragma once

#include "localcontrol.h"

#include <QByteArray>

/// What both ends of the control channel share, on every platform: the protocol and its limits.
namespace LocalControl::Protocol
{
// One line from the asking start, one line back.
inline constexpr char ToggleLine[] = "toggle\n";
inline constexpr char ShowLine[] = "show\n";
inline constexpr char DoneLine[] = "done\n";
/// A request or an answer is one short line; a peer that sends more is dropped.
constexpr qint64 MaxLineBytes = 64;
/// How long the asking start waits to connect, and then for each of sending and the answer.
constexpr int ConnectMs = 2000;
constexpr int AnswerMs = 5000;
/// How long the running copy keeps a connection whose line is not complete.
constexpr int IdleMs = 5000;

/// Connects to the socket at `path`, whose file belongs to `user`; sends `request` when the process listening
/// there is `user`'s too (NotOurs, and nothing sent, when it is not) and waits for the answer
/// (localcontrol_unix.cpp, localcontrol_win.cpp).
Answer exchange(const QString& path, Request request, qint64 user);

/// The line that asks for `request`.
inline QByteArray lineOf(Request request)
{
    return QByteArray(request == Request::Toggle ? ToggleLine : ShowLine);
}

/// Whether `received` (what the running copy has read so far on one connection) is ready to be judged: a whole
/// line, or as much as a line may hold without its end.
inline bool lineComplete(const QByteArray& received)
{
    return received.contains('\n') || received.size() >= MaxLineBytes;
}

/// The line a judged connection sent: up to and with its first line end, never more than MaxLineBytes bytes.
inline QByteArray firstLine(const QByteArray& received)
{
    const qsizetype end = received.indexOf('\n');
    return received.left(end < 0 ? MaxLineBytes : qMin<qsizetype>(end + 1, MaxLineBytes));
}
} // namespace LocalControl::Protocol
