#include "skinpath.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QStringList>
#include <QtMath>

namespace
{
// Images are read once: skins never change while the program runs, and the trees and tab bars ask for the
// same few files again and again. Missing files are not remembered, so an image that appears later is found.
QHash<QString, QPixmap>& pixmapCache()
{
    static QHash<QString, QPixmap> cache;
    return cache;
}

bool isSkinsFolderName(const QString& name)
{
    return name.compare(QLatin1String("skins"), Qt::CaseInsensitive) == 0;
}

/// The file to read for `path` at the device pixel ratio `dpr`, and that file's own ratio in `fileRatio`.
QString densityFile(const QString& path, qreal dpr, int& fileRatio)
{
    // As Qt's own icons and style sheets do: "@Nx" from the ratio rounded up down to 2, else the file itself.
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (dpr > 1.0 && dot > slash + 1) {
        for (int n = qMin(qCeil(dpr), 9); n >= 2; --n) {
            const QString candidate = path.left(dot) + QStringLiteral("@%1x").arg(n) + path.mid(dot);
            if (QFileInfo::exists(candidate)) {
                fileRatio = n;
                return candidate;
            }
        }
    }
    fileRatio = 1;
    return path;
}
} // namespace

namespace SkinPath
{
QString resolve(const QString& designPath, const QString& defaultSuffix)
{
    if (designPath.isEmpty()) {
        return QString();
    }
    QString path = designPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool resource = path.startsWith(QLatin1Char(':'));
    if (!resource) {
        path = QDir::cleanPath(path);
    }

    QStringList parts = path.split(QLatin1Char('/'));
    const bool absolute = path.startsWith(QLatin1Char('/'));
    for (int i = 0; i < parts.size(); ++i) {
        if (!isSkinsFolderName(parts.at(i)) || parts.at(i) == QLatin1String("Skins")) {
            continue;
        }
        if (i == 0 && !absolute && !resource) {
            // The design names the skin folder beside the executable in two spellings; it is "Skins".
            parts[i] = QStringLiteral("Skins");
            continue;
        }
        // Deeper in a path, take the spelling that exists on disk.
        const QString prefix = parts.mid(0, i).join(QLatin1Char('/'));
        const QString base = prefix.isEmpty() && absolute ? QStringLiteral("/") : prefix + QLatin1Char('/');
        if (!QFileInfo::exists(base + parts.at(i)) && QFileInfo::exists(base + QStringLiteral("Skins"))) {
            parts[i] = QStringLiteral("Skins");
        }
    }
    path = parts.join(QLatin1Char('/'));

    if (!defaultSuffix.isEmpty() && !parts.isEmpty() && !parts.last().isEmpty()
        && !parts.last().contains(QLatin1Char('.'))) {
        if (!defaultSuffix.startsWith(QLatin1Char('.'))) {
            path += QLatin1Char('.');
        }
        path += defaultSuffix;
    }
    return path;
}

QPixmap pixmap(const QString& designPath, qreal dpr)
{
    const QString path = resolve(designPath);
    if (path.isEmpty()) {
        return QPixmap();
    }
    if (dpr <= 0) {
        const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        dpr = app ? app->devicePixelRatio() : 1.0;
    }
    int ratio = 1;
    const QString file = densityFile(path, dpr, ratio);
    const QString key = file.startsWith(QLatin1Char(':')) ? file : QFileInfo(file).absoluteFilePath();
    auto& cache = pixmapCache();
    const auto it = cache.constFind(key);
    if (it != cache.constEnd()) {
        return it.value();
    }
    // Decoded and made a pixmap in the same memory: a pixmap made from a copy would take as much again (a window
    // background is 600 KB), and fresh memory is the dearest part of reading an image at start-up.
    QImage image = QImageReader(file).read();
    QPixmap pm = QPixmap::fromImage(std::move(image));
    if (!pm.isNull()) {
        pm.setDevicePixelRatio(ratio);
        cache.insert(key, pm);
    }
    return pm;
}

const QPixmap& stretched(const QPixmap& source, QPixmap& cache, const QSize& device, qreal dpr)
{
    if (cache.size() != device) {
        cache = source.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        cache.setDevicePixelRatio(dpr);
    }
    return cache;
}

void clearCache()
{
    pixmapCache().clear();
}
} // namespace SkinPath
