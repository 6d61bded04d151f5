#pragma once

#include <QByteArray>
#include <QString>

/// Writing freedesktop desktop entries: the escapes of their values and Brisko's autostart entry.
namespace DesktopEntry
{
/// A string value as an entry writes it: backslash, newline, tab and carriage return escaped, a leading space
/// written as \s.
QString escapeValue(const QString& value);
/// One argument of an Exec line, before escapeValue(): enclosed in double quotes when it holds a reserved
/// character (space, quotes, backslash, $, *, ...), with ", `, $ and \ escaped inside the quotes; a
/// percent sign doubled.
QString execArgument(const QString& argument);

/// The program an autostart entry starts: `onPath` (the file "brisko" on the PATH names, made absolute) when it
/// leads to the running executable `executable` (the installed /usr/bin/brisko links to it), else the running
/// executable itself (a copy run from its build folder or from an unpacked folder).
QString autostartProgram(const QString& executable, const QString& onPath);

/// Brisko's autostart entry, starting `program` --show. `hidden`: an entry that only switches an entry of the system
/// of the same name off (Hidden=true).
QByteArray autostartEntry(const QString& program, bool hidden);
} // namespace DesktopEntry
