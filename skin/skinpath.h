#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>

namespace SkinPath
{
/// Turns a design-style skin path ("Skins\icon\x.png", "skins\main_bg\1\main_bg_top") into a path that
/// exists on this file system: backslashes become "/", a leading "skins" folder is the "Skins" folder, and
/// `defaultSuffix` (e.g. ".png") is added to a file name without extension. Relative paths stay relative to the
/// working directory. Empty in, empty out.
QString resolve(const QString& designPath, const QString& defaultSuffix = QString());

/// Loads the image of a design-style path (cached); a null pixmap when it is missing.
/// For a device pixel ratio above 1 (`dpr`; 0 means the highest ratio of the application's screens) the
/// high-density file beside it is taken when there is one ("name@2x.png", up to the ratio rounded up), marked
/// with its ratio, so it is drawn at the same size in logical pixels with all of its detail.
QPixmap pixmap(const QString& designPath, qreal dpr = 0);

/// Starts decoding the images of `designPaths` on a thread of their own, for pixmap() to take instead of reading
/// the files: the images a window shows at start-up are then decoded while the program does its other start-up
/// work on the second core. Call from the GUI thread once the application object exists; a path missing from the
/// list is read when it is asked for, as without this. The program's end waits for the thread.
void preload(const QStringList& designPaths);

/// `source` stretched to `device` pixels with `dpr` as its device pixel ratio, kept in `cache` and drawn again
/// only when the size asked for changes; the caller empties `cache` when `source` changes.
const QPixmap& stretched(const QPixmap& source, QPixmap& cache, const QSize& device, qreal dpr);

/// Forgets every cached image (for a program that rewrites its skin files while it runs).
void clearCache();
} // namespace SkinPath
