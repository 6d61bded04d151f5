#pragma once

#include <QColor>
#include <QImage>
#include <QString>

class QPainter;

/// Small helpers shared by every drawing: fresh transparent images, painters with the right hints and saving.
namespace Canvas
{
/// A transparent premultiplied ARGB image of the given size.
QImage blank(int width, int height);
/// The colour with its alpha replaced.
QColor withAlpha(QColor c, int alpha);
/// Sets antialiasing and smooth scaling on a painter.
void prepare(QPainter& painter);
/// A blurred copy (three box passes, close to a Gaussian of the given radius in pixels).
QImage blurred(const QImage& image, int radius);
/// Writes the image as PNG, creating the folders on the way; prints the reason and returns false on failure.
bool save(const QImage& image, const QString& path);
} // namespace Canvas
