#pragma once

#include <QByteArray>
#include <QString>

/// The version arithmetic of the update check and the reader of the server's version file (Server.htm).
/// Widget-free: the update dialog uses it, and it is tested on its own.
namespace VersionFile
{
/// The most bytes of a version file that are read; a longer body is no version file.
constexpr qint64 MaxBodyBytes = 64 * 1024;
/// How long the download of a version file may take in all, in milliseconds.
constexpr int FetchTimeoutMs = 10000;

/// The two versions a version file names; a version it does not name is empty.
struct Versions
{
    QString minVersion;
    QString maxVersion;
};

/// The integer a version string compares by: the sum of each byte (as a signed 8-bit value, so the digit 1
/// counts 49 and the point 46) times 10 to the power of its distance from the end of the string. "1.0" gives
/// 5408, "1.0.0915" 541314243, an empty string or a null pointer 0. Exact for strings of up to 8 bytes; a
/// longer string's sum no longer fits and is held at the nearest end of the int range.
int versionToInt(const char* sVersion);

/// The text of a downloaded body: the bytes up to the first zero byte, read as UTF-8. Empty when the body is
/// longer than MaxBodyBytes or is not valid UTF-8.
QString decodeBody(const QByteArray& body);

/// The versions named by a version file's text. The text is read, never run, and only in the form servers
/// send: one object literal such as {MinVersion:"1.0.0900", MaxVersion:"1.0.1001"}, keys bare or quoted,
/// values strings in single or double quotes or decimal numbers (a number stands for the text a browser would
/// show for it), white space around the tokens, an optional trailing comma and an optional final semicolon.
/// Anything else gives two empty versions; an object without one of the two keys leaves that one empty.
Versions parseVersions(const QString& text);

/// parseVersions(decodeBody(body)).
Versions readVersions(const QByteArray& body);
} // namespace VersionFile
