#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

/// Writes Brisko's image folders. Every image is drawn here; nothing is copied from elsewhere.
class SkinGenerator
{
public:
    /// Writes the run-time folder `<outDir>/Skins` (icons, tab images, buttons, the four skins and their
    /// previews, and the application icon in the sizes the desktop's icon theme uses).
    bool writeSkins(const QString& outDir);
    /// Writes the compiled-in images under `<resDir>/image` (title bar buttons, scroll arrows, push buttons).
    bool writeResources(const QString& resDir);

    /// Paths written so far, relative to the folder given to the last call.
    const QStringList& written() const { return m_written; }

    /// The densities every run-time and compiled-in image is drawn at: 1 and 2 (written as "name@2x.png",
    /// the name Qt looks for on screens of a device pixel ratio above 1).
    static constexpr int Scales[] = { 1, 2 };

    /// Each image at `scale` pixels a unit, drawn at that size.
    static QImage appIcon(int size, int scale = 1);
    static QImage logo(int scale = 1);
    static QImage searchStrip(int scale = 1);
    static QImage tabBackground(bool selected, int scale = 1);
    static QImage skinButton(int state, int scale = 1);
    static QImage titleButton(const QString& kind, int state, int scale = 1);
    static QImage pushButton(bool hovered, int scale = 1);

private:
    bool put(const QImage& image, const QString& relativePath);
    /// Puts the image at every density, the 1x one under `relativePath`, the others under their "@Nx" names.
    bool putScaled(const std::function<QImage(int scale)>& draw, const QString& relativePath);

    QString m_root;
    QStringList m_written;
    bool m_ok = true;
};
