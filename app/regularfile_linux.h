#pragma once

#include <QByteArray>
#include <QString>

namespace LinuxFiles
{
/// Reads the whole of a regular file of at most `maxBytes`; false for anything else. A FIFO or a device is never
/// opened, and one swapped in after the check is not read either (the file is opened without blocking and checked
/// again on its descriptor), so a call never blocks on what a path names.
bool readSmallRegularFile(const QString& path, qint64 maxBytes, QByteArray* data);
} // namespace LinuxFiles
