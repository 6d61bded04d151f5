#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

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

    static QImage appIcon(int size);
    static QImage searchStrip();
    static QImage tabBackground(bool selected);
    static QImage skinButton(int state);
    static QImage titleButton(const QString& kind, int state);
    static QImage pushButton(bool hovered);

private:
    bool put(const QImage& image, const QString& relativePath);

    QString m_root;
    QStringList m_written;
    bool m_ok = true;
};
