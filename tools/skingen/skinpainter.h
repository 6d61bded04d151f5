#pragma once

#include "skinpalette.h"

#include <QImage>

/// Draws the two images of a background skin and its preview tile.
///
/// The window image ("main_bg_bottom") is stretched over the whole window, whatever its size, so it holds only
/// soft gradients that survive stretching. The band ("main_bg_top") is painted over the top of the window at a
/// fixed height, so it carries everything that must line up with the fixed controls there: the sky behind the
/// title bar, logo and clock (0 to 100), the part behind the search strip (100 to 130) and a calm strip behind
/// the tab bar (130 to 160).
class SkinPainter
{
public:
    static constexpr int WindowWidth = 270;
    static constexpr int WindowHeight = 580;
    static constexpr int BandHeight = 160;
    static constexpr int PreviewSize = 80;

    explicit SkinPainter(const SkinPalette& palette);

    /// Each image is drawn at `scale` pixels a unit (2 for the "@2x" files of high-density screens), never
    /// scaled up from a smaller one.
    QImage windowImage(int scale = 1) const;
    QImage bandImage(int scale = 1) const;
    /// The window image with the band and the given strip and logo images on it, cut to the top square and
    /// scaled to the preview size.
    QImage previewImage(const QImage& searchStrip, const QImage& logo, int scale = 1) const;

private:
    void paintSky(QPainter& p) const;
    void paintSkyBlue(QPainter& p) const;
    void paintGreen(QPainter& p) const;
    void paintSunset(QPainter& p) const;
    void paintNight(QPainter& p) const;
    void paintTabStrip(QPainter& p) const;

    SkinPalette m_palette;
};
