#include "canvas.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>
#include <vector>

namespace Canvas
{
QImage blank(int width, int height, int scale)
{
    QImage image(width * scale, height * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    return image;
}

QString scaledName(const QString& path, int scale)
{
    if (scale == 1)
        return path;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int at = dot > slash ? dot : path.size();
    return path.left(at) + QStringLiteral("@%1x").arg(scale) + path.mid(at);
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

void prepare(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
}

namespace
{
/// One box blur pass along rows (horizontal) or columns, on premultiplied ARGB.
void boxPass(QImage& image, int radius, bool horizontal)
{
    const int w = image.width();
    const int h = image.height();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    const int window = 2 * radius + 1;
    std::vector<QRgb> src(static_cast<size_t>(length));
    for (int line = 0; line < lines; ++line) {
        auto at = [&](int i) -> QRgb& {
            return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(line))[i]
                              : reinterpret_cast<QRgb*>(image.scanLine(i))[line];
        };
        for (int i = 0; i < length; ++i)
            src[size_t(i)] = at(i);
        int sum[4] = { 0, 0, 0, 0 };
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= length)
                return;
            const QRgb px = src[size_t(i)];
            sum[0] += sign * qAlpha(px);
            sum[1] += sign * qRed(px);
            sum[2] += sign * qGreen(px);
            sum[3] += sign * qBlue(px);
        };
        for (int i = -radius; i <= radius; ++i)
            add(i, 1);
        for (int i = 0; i < length; ++i) {
            at(i) = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
            add(i - radius, -1);
            add(i + radius + 1, 1);
        }
    }
}
} // namespace

QImage blurred(const QImage& image, int radius)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius < 1)
        return out;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(out, radius, true);
        boxPass(out, radius, false);
    }
    return out;
}

bool save(const QImage& image, const QString& path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        std::fprintf(stderr, "brisko-skingen: cannot create the folder %s\n", qPrintable(info.absolutePath()));
        return false;
    }
    // Straight ARGB keeps the files the same from run to run and readable by any PNG reader.
    QImageWriter writer(path, "png");
    writer.setQuality(0); // for PNG: the strongest zlib compression
    if (!writer.write(image.convertToFormat(QImage::Format_ARGB32))) {
        std::fprintf(
            stderr, "brisko-skingen: cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        return false;
    }
    return true;
}
} // namespace Canvas
