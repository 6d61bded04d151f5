#include "skinpath.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <QtMath>

#include <condition_variable>
#include <mutex>

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

/// The file to read for a resolved path at `dpr`, its ratio in `fileRatio`, and the key it is cached under.
QString cacheKey(const QString& path, qreal dpr, QString& file, int& fileRatio)
{
    file = densityFile(path, dpr, fileRatio);
    return file.startsWith(QLatin1Char(':')) ? file : QFileInfo(file).absoluteFilePath();
}

qreal applicationRatio()
{
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app ? app->devicePixelRatio() : 1.0;
}

/// Images decoded ahead on a thread of their own; the GUI thread takes each once, waiting for it when the
/// thread has not got to it yet.
struct Preloaded
{
    std::mutex mutex;
    std::condition_variable decoded;
    QSet<QString> pending; // keys still being read
    QHash<QString, QImage> images; // read and not taken yet
    QThread* thread = nullptr;
};

Preloaded& preloaded()
{
    static Preloaded shared;
    return shared;
}

/// Reads one image file. A PNG goes straight to Qt's own reader: a reader left to find the format asks every
/// image plugin in turn whether it reads "png" before it falls back on its own, which loads each plugin (the SVG
/// one with its library) although none of them is used.
QImage readImage(const QString& file)
{
    QImageReader reader(file);
    if (file.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        reader.setFormat(QByteArrayLiteral("png"));
        reader.setAutoDetectImageFormat(false);
    }
    return reader.read();
}

/// The image decoded ahead for `key`, waiting for it when it is still being read; false when `key` was not
/// asked to be read ahead.
bool takePreloaded(const QString& key, QImage& image)
{
    Preloaded& ahead = preloaded();
    std::unique_lock<std::mutex> lock(ahead.mutex);
    ahead.decoded.wait(lock, [&] { return !ahead.pending.contains(key); });
    const auto it = ahead.images.find(key);
    if (it == ahead.images.end()) {
        return false;
    }
    image = std::move(it.value());
    ahead.images.erase(it);
    return true;
}

void endPreload()
{
    Preloaded& ahead = preloaded();
    if (ahead.thread) {
        ahead.thread->wait();
        delete ahead.thread;
        ahead.thread = nullptr;
    }
    const std::lock_guard<std::mutex> lock(ahead.mutex);
    ahead.images.clear();
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
        dpr = applicationRatio();
    }
    int ratio = 1;
    QString file;
    const QString key = cacheKey(path, dpr, file, ratio);
    auto& cache = pixmapCache();
    const auto it = cache.constFind(key);
    if (it != cache.constEnd()) {
        return it.value();
    }
    // Decoded and made a pixmap in the same memory: a pixmap made from a copy would take as much again (a window
    // background is 600 KB), and fresh memory is the dearest part of reading an image at start-up.
    QImage image;
    if (!takePreloaded(key, image)) {
        image = readImage(file);
    }
    QPixmap pm = QPixmap::fromImage(std::move(image));
    if (!pm.isNull()) {
        pm.setDevicePixelRatio(ratio);
        cache.insert(key, pm);
    }
    return pm;
}

void preload(const QStringList& designPaths)
{
    Preloaded& ahead = preloaded();
    if (ahead.thread) {
        return;
    }
    const qreal dpr = applicationRatio();
    QList<QPair<QString, QString>> work; // key, file
    {
        const std::lock_guard<std::mutex> lock(ahead.mutex);
        for (const QString& designPath : designPaths) {
            const QString path = resolve(designPath);
            int ratio = 1;
            QString file;
            const QString key = cacheKey(path, dpr, file, ratio);
            if (!path.isEmpty() && !pixmapCache().contains(key) && !ahead.pending.contains(key)) {
                ahead.pending.insert(key);
                work.append({ key, file });
            }
        }
    }
    if (work.isEmpty()) {
        return;
    }
    ahead.thread = QThread::create([work] {
        Preloaded& shared = preloaded();
        for (const auto& [key, file] : work) {
            QImage image = readImage(file);
            const std::lock_guard<std::mutex> lock(shared.mutex);
            if (!image.isNull()) {
                shared.images.insert(key, std::move(image));
            }
            shared.pending.remove(key);
            shared.decoded.notify_all();
        }
    });
    ahead.thread->setObjectName(QStringLiteral("image preload"));
    ahead.thread->start();
    // The thread reads the shared state above: it ends before the program's statics go.
    qAddPostRoutine(endPreload);
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
    const std::lock_guard<std::mutex> lock(preloaded().mutex);
    preloaded().images.clear();
}
} // namespace SkinPath
