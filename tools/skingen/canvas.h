#pragma once

#include <QColor>
#include <QImage>
#include <QString>

class QPainter;

/// Small helpers shared by every drawing: fresh transparent images, painters with the right hints and saving.
namespace Canvas
{
/// A transparent premultiplied ARGB image for a drawing of `width` x `height` units at `scale` pixels a unit:
/// (width * scale) x (height * scale) pixels with `scale` as its device pixel ratio, so a painter on it draws in
/// units and the image is drawn at its size in units wherever it is composed.
QImage blank(int width, int height, int scale = 1);
/// `path` with "@<scale>x" before its extension, the name Qt gives the image for that device pixel ratio
/// ("a/b.png", 2: "a/b@2x.png"); unchanged for scale 1.
QString scaledName(const QString& path, int scale);
/// The colour with its alpha replaced.
QColor withAlpha(QColor c, int alpha);
/// Sets antialiasing and smooth scaling on a painter.
void prepare(QPainter& painter);
/// A blurred copy (three box passes, close to a Gaussian of the given radius in pixels).
QImage blurred(const QImage& image, int radius);
/// Writes the image as PNG, creating the folders on the way; prints the reason and returns false on failure.
bool save(const QImage& image, const QString& path);
} // namespace Canvas
