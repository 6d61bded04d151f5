#include "skinpainter.h"

#include "canvas.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

namespace
{
using Canvas::withAlpha;

constexpr int SkyHeight = 130;

QColor mix(const QColor& a, const QColor& b, qreal t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

/// The shape under `ridge` (a line from the left to the right edge), filled down to `bottom`.
QPainterPath below(const QPainterPath& ridge, qreal bottom)
{
    QPainterPath path(ridge);
    path.lineTo(ridge.currentPosition().x(), bottom);
    path.lineTo(ridge.elementAt(0).x, bottom);
    path.closeSubpath();
    return path;
}

/// A ridge from the left to the right edge through the given points.
QPainterPath ridge(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    return path;
}

/// A band from the left to the right edge whose top follows a gentle wave, filled down to `bottom`.
QPainterPath wave(qreal baseY, qreal amplitude, qreal phase, qreal bottom)
{
    QPainterPath top;
    const qreal w = SkinPainter::WindowWidth;
    top.moveTo(0, baseY + amplitude * phase);
    top.cubicTo(w * 0.3, baseY - amplitude, w * 0.55, baseY + amplitude * 1.4, w, baseY - amplitude * phase);
    return below(top, bottom);
}

/// A cloud: a flat base with three bumps, fitted to the rectangle.
QPainterPath cloud(const QRectF& r)
{
    // Built as a union: added subpaths alone would leave their overlaps as holes under the odd-even rule.
    const qreal h = r.height();
    QPainterPath base;
    base.addRoundedRect(QRectF(r.left(), r.bottom() - h * 0.45, r.width(), h * 0.45), h * 0.22, h * 0.22);
    const QRectF bumps[] = { QRectF(r.left() + r.width() * 0.12, r.top() + h * 0.28, h * 0.62, h * 0.62),
                             QRectF(r.left() + r.width() * 0.34, r.top(), h * 0.82, h * 0.82),
                             QRectF(r.left() + r.width() * 0.6, r.top() + h * 0.22, h * 0.66, h * 0.66) };
    for (const QRectF& bump : bumps) {
        QPainterPath circle;
        circle.addEllipse(bump);
        base = base.united(circle);
    }
    return base;
}

/// A leaf with its tip at `tip`, `length` long, turned by `angle` degrees.
void leaf(QPainter& p, QPointF base, qreal length, qreal angle, const QColor& fill, const QColor& vein)
{
    p.save();
    p.translate(base);
    p.rotate(angle);
    QPainterPath path;
    path.moveTo(0, 0);
    path.cubicTo(length * 0.3, -length * 0.32, length * 0.75, -length * 0.3, length, 0);
    path.cubicTo(length * 0.75, length * 0.3, length * 0.3, length * 0.32, 0, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(path);
    p.setPen(QPen(vein, 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(length * 0.08, 0), QPointF(length * 0.85, 0));
    p.restore();
}
} // namespace

SkinPainter::SkinPainter(const SkinPalette& palette)
    : m_palette(palette)
{
}

QImage SkinPainter::windowImage(int scale) const
{
    QImage image = Canvas::blank(WindowWidth, WindowHeight, scale);
    QPainter p(&image);
    Canvas::prepare(p);
    const SkinPalette& c = m_palette;

    // The list area: a pale, almost flat field, darkening only in the last few per cent behind the bottom row.
    QLinearGradient g(0, 0, 0, WindowHeight);
    g.setColorAt(0, c.panelTop);
    g.setColorAt(0.5, mix(c.panelTop, c.panelBottom, 0.5));
    g.setColorAt(0.935, c.panelBottom);
    g.setColorAt(0.965, mix(c.panelBottom, c.footer, 0.75));
    g.setColorAt(1, c.footer);
    p.fillRect(QRect(0, 0, WindowWidth, WindowHeight), g);

    // Two faint waves of the accent low in the list area give it some depth; flat shapes rather than a glow,
    // because an almost transparent gradient shows bands.
    p.setPen(Qt::NoPen);
    QPainterPath back(QPointF(0, 470));
    back.cubicTo(90, 430, 170, 500, 270, 440);
    p.setBrush(withAlpha(c.accent, 10));
    p.drawPath(below(back, WindowHeight));
    QPainterPath front(QPointF(0, 510));
    front.cubicTo(80, 490, 180, 530, 270, 495);
    p.setBrush(withAlpha(c.accent, 9));
    p.drawPath(below(front, WindowHeight));
    return image;
}

QImage SkinPainter::bandImage(int scale) const
{
    QImage image = Canvas::blank(WindowWidth, BandHeight, scale);
    QPainter p(&image);
    Canvas::prepare(p);
    p.save();
    p.setClipRect(0, 0, WindowWidth, SkyHeight);
    paintSky(p);
    switch (m_palette.number) {
    case 2:
        paintGreen(p);
        break;
    case 3:
        paintSunset(p);
        break;
    case 4:
        paintNight(p);
        break;
    default:
        paintSkyBlue(p);
        break;
    }
    p.restore();
    paintTabStrip(p);
    return image;
}

QImage SkinPainter::previewImage(const QImage& searchStrip, const QImage& logo, int scale) const
{
    QImage full = windowImage(scale);
    {
        QPainter p(&full);
        Canvas::prepare(p);
        p.drawImage(0, 0, bandImage(scale));
        p.drawImage(QRect(0, 100, WindowWidth, 30), searchStrip);
        p.drawImage(QRect(14, 36, 50, 50), logo);
        // Hints of the clock lines and of list rows, so the tile reads as the window it dresses.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 105));
        p.drawRoundedRect(QRectF(82, 45, 90, 8), 4, 4);
        p.drawRoundedRect(QRectF(82, 67, 112, 10), 5, 5);
        for (int row = 0; row < 3; ++row) {
            const qreal y = 176 + row * 34;
            p.setBrush(withAlpha(m_palette.accent, 150));
            p.drawRoundedRect(QRectF(14, y, 24, 24), 6, 6);
            p.setBrush(QColor(0x22, 0x22, 0x22, 110));
            p.drawRoundedRect(QRectF(48, y + 7, 110 - row * 18, 10), 5, 5);
        }
    }
    // The top square of the window: the sky, the search strip, the tab bar and the first rows of the list.
    const QImage top = full.copy(0, 0, WindowWidth * scale, WindowWidth * scale);
    return top.scaled(PreviewSize * scale, PreviewSize * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void SkinPainter::paintSky(QPainter& p) const
{
    QLinearGradient g(0, 0, 0, SkyHeight);
    g.setColorAt(0, m_palette.headerTop);
    g.setColorAt(1, m_palette.headerBottom);
    p.fillRect(QRectF(0, 0, WindowWidth, SkyHeight), g);
}

void SkinPainter::paintSkyBlue(QPainter& p) const
{
    const SkinPalette& c = m_palette;
    // Sunlight from the upper right.
    QRadialGradient light(QPointF(250, 0), 150);
    light.setColorAt(0, QColor(255, 255, 255, 120));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, WindowWidth, SkyHeight), light);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawPath(cloud(QRectF(150, 38, 70, 26)));
    p.setBrush(QColor(255, 255, 255, 215));
    p.drawPath(cloud(QRectF(196, 58, 86, 34)));
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawPath(cloud(QRectF(-22, 82, 80, 26)));

    p.setBrush(withAlpha(c.decorDeep, 60));
    p.drawPath(wave(94, 5, 0.6, SkyHeight));
    p.setBrush(withAlpha(c.decorLight, 120));
    p.drawPath(wave(101, 4, -0.8, SkyHeight));
}

void SkinPainter::paintGreen(QPainter& p) const
{
    const SkinPalette& c = m_palette;
    QRadialGradient light(QPointF(30, 0), 170);
    light.setColorAt(0, QColor(255, 255, 240, 110));
    light.setColorAt(1, QColor(255, 255, 240, 0));
    p.fillRect(QRectF(0, 0, WindowWidth, SkyHeight), light);

    // Rolling hills.
    p.setPen(Qt::NoPen);
    QPainterPath far(QPointF(0, 96));
    far.cubicTo(60, 80, 120, 78, 170, 88);
    far.cubicTo(210, 96, 240, 76, 270, 74);
    p.setBrush(withAlpha(c.decorDeep, 70));
    p.drawPath(below(far, SkyHeight));
    QPainterPath near(QPointF(0, 100));
    near.cubicTo(70, 90, 140, 104, 200, 96);
    near.cubicTo(230, 92, 255, 90, 270, 92);
    p.setBrush(withAlpha(c.decorDeep, 110));
    p.drawPath(below(near, SkyHeight));

    // A sprig growing in from the right edge, below the title bar buttons and right of the clock text.
    QPainterPath stem;
    stem.moveTo(272, 96);
    stem.cubicTo(252, 82, 236, 62, 226, 38);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(c.accent, 170), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(stem);
    const QColor vein = withAlpha(c.decorLight, 190);
    const QColor pale(0x8e, 0xd8, 0xaa, 220);
    leaf(p, stem.pointAtPercent(0.18), 26, -160, withAlpha(c.decorDeep, 200), vein);
    leaf(p, stem.pointAtPercent(0.36), 24, -60, pale, vein);
    leaf(p, stem.pointAtPercent(0.55), 22, -170, withAlpha(c.accent, 190), vein);
    leaf(p, stem.pointAtPercent(0.72), 19, -75, withAlpha(c.decorDeep, 190), vein);
    leaf(p, stem.pointAtPercent(1.0), 16, -115, pale, vein);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(c.decorLight, 200));
    p.drawEllipse(QPointF(214, 58), 2.2, 2.2);
    p.drawEllipse(QPointF(206, 46), 1.5, 1.5);
}

void SkinPainter::paintSunset(QPainter& p) const
{
    const SkinPalette& c = m_palette;
    // Low sun on the right, half set behind the waves.
    QRadialGradient halo(QPointF(226, 86), 90);
    halo.setColorAt(0, QColor(255, 244, 214, 170));
    halo.setColorAt(1, QColor(255, 244, 214, 0));
    p.fillRect(QRectF(0, 0, WindowWidth, SkyHeight), halo);
    QLinearGradient sun(0, 52, 0, 104);
    sun.setColorAt(0, QColor(0xff, 0xf3, 0xc4));
    sun.setColorAt(1, QColor(0xff, 0xc7, 0x7a));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(226, 82), 28, 28);

    // Soft streaks of cloud.
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawRoundedRect(QRectF(130, 40, 90, 5), 2.5, 2.5);
    p.drawRoundedRect(QRectF(176, 50, 80, 4), 2, 2);

    p.setBrush(withAlpha(c.decorDeep, 120));
    p.drawPath(wave(88, 5, 0.7, SkyHeight));
    p.setBrush(withAlpha(c.accent, 90));
    p.drawPath(wave(95, 4, -0.6, SkyHeight));
    p.setBrush(withAlpha(c.headerBottom, 200));
    p.drawPath(wave(101, 3, 0.4, SkyHeight));
}

void SkinPainter::paintNight(QPainter& p) const
{
    const SkinPalette& c = m_palette;
    // Stars: fixed positions, so every build draws the same sky.
    static const qreal stars[][3]
        = { { 96, 12, 1.0 },  { 128, 22, 0.8 }, { 150, 9, 1.2 },  { 176, 24, 0.8 }, { 205, 30, 1.0 },
            { 258, 28, 0.9 }, { 222, 70, 0.8 }, { 188, 84, 0.7 }, { 70, 20, 0.7 },  { 250, 64, 1.1 },
            { 120, 6, 0.7 },  { 8, 30, 0.8 },   { 36, 16, 0.9 } };
    p.setPen(Qt::NoPen);
    for (const auto& s : stars) {
        p.setBrush(QColor(255, 255, 255, 150));
        p.drawEllipse(QPointF(s[0], s[1]), s[2], s[2]);
    }

    // A crescent moon with a faint halo.
    QRadialGradient halo(QPointF(238, 50), 36);
    halo.setColorAt(0, withAlpha(c.decorLight, 90));
    halo.setColorAt(1, withAlpha(c.decorLight, 0));
    p.fillRect(QRectF(190, 10, 80, 80), halo);
    QPainterPath disc;
    disc.addEllipse(QPointF(238, 50), 11, 11);
    QPainterPath bite;
    bite.addEllipse(QPointF(244, 45), 10, 10);
    p.setBrush(c.decorLight);
    p.drawPath(disc.subtracted(bite));

    // Two ridges of hills: a far light one and a near dark one, low enough to stay under the clock text.
    const QPainterPath far
        = ridge({ { 0, 98 }, { 40, 90 }, { 78, 96 }, { 130, 86 }, { 175, 94 }, { 222, 82 }, { 270, 90 } });
    p.setBrush(withAlpha(c.decorDeep, 110));
    p.drawPath(below(far, SkyHeight));
    const QPainterPath near
        = ridge({ { 0, 100 }, { 54, 95 }, { 104, 100 }, { 160, 93 }, { 214, 99 }, { 248, 91 }, { 270, 95 } });
    p.setBrush(withAlpha(c.decorDeep, 220));
    p.drawPath(below(near, SkyHeight));
}

void SkinPainter::paintTabStrip(QPainter& p) const
{
    const SkinPalette& c = m_palette;
    const QRectF strip(0, SkyHeight, WindowWidth, BandHeight - SkyHeight);
    QLinearGradient g(0, strip.top(), 0, strip.bottom());
    g.setColorAt(0, mix(c.panelTop, c.headerBottom, 0.35));
    g.setColorAt(1, mix(c.panelTop, c.headerBottom, 0.18));
    p.fillRect(strip, g);
    p.fillRect(QRectF(0, BandHeight - 1, WindowWidth, 1), withAlpha(c.accent, 46));
}
