#include "glyphs.h"

#include "canvas.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace
{
using Canvas::withAlpha;

/// Maps a design grid of gridW x gridH units onto the box for as long as it lives.
class Grid
{
public:
    Grid(QPainter& p, const QRectF& box, qreal gridW, qreal gridH)
        : m_p(p)
    {
        m_p.save();
        m_p.translate(box.topLeft());
        m_p.scale(box.width() / gridW, box.height() / gridH);
    }
    ~Grid() { m_p.restore(); }
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;

private:
    QPainter& m_p;
};

QPen linePen(const QColor& color, qreal width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

/// A soft drop shadow under a rounded rectangle, blurred at the resolution the painter draws at: the mask is made
/// in device pixels (the world transform and the image's device pixel ratio together), so the shadow is as soft
/// in a 2x image as in a 1x one.
void softShadow(QPainter& p, const QRectF& body, qreal radius, qreal blur, qreal drop, int alpha)
{
    const QTransform toDevice = p.deviceTransform();
    const qreal scale = toDevice.m11();
    const int blurPx = qMax(1, qRound(blur * scale / 2));
    const QRectF deviceBody = toDevice.mapRect(body.translated(0, drop));
    const int margin = blurPx * 3 + 2;
    const QRect area = deviceBody.toAlignedRect().adjusted(-margin, -margin, margin, margin);
    QImage mask = Canvas::blank(area.width(), area.height());
    {
        QPainter m(&mask);
        Canvas::prepare(m);
        m.setPen(Qt::NoPen);
        m.setBrush(QColor(16, 28, 70, alpha));
        m.drawRoundedRect(deviceBody.translated(-area.topLeft()), radius * scale, radius * scale);
    }
    // Back in device pixels: without the world transform, and with the mask marked with the device's pixel ratio
    // so the painter's own scaling maps it one to one.
    const qreal dpr = p.device()->devicePixelRatio();
    QImage shadow = Canvas::blurred(mask, blurPx);
    shadow.setDevicePixelRatio(dpr);
    p.save();
    p.resetTransform();
    p.drawImage(QPointF(area.topLeft()) / dpr, shadow);
    p.restore();
}

/// A 22 x 22 rounded tile at (1, 1) of a 24 grid with a top-to-bottom gradient and a faint top gloss.
void tile(QPainter& p, const QColor& top, const QColor& bottom)
{
    const QRectF body(1, 1, 22, 22);
    QLinearGradient g(0, 1, 0, 23);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(body, 6, 6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 5.5, 5.5);
}
} // namespace

namespace Glyphs
{
QColor brandBlue()
{
    return QColor(0x2d, 0x7f, 0xf9);
}

QColor brandIndigo()
{
    return QColor(0x5a, 0x4f, 0xe8);
}

QColor iconGrey()
{
    return QColor(0x8f, 0x98, 0xa5);
}

QColor glyphDark()
{
    return QColor(0x33, 0x3a, 0x46);
}

void appMark(QPainter& p, const QRectF& box, bool withShadow)
{
    Grid grid(p, box, 64, 64);
    const QRectF body = withShadow ? QRectF(5, 3, 54, 54) : QRectF(2, 2, 60, 60);
    const qreal radius = body.width() * 0.25;
    if (withShadow)
        softShadow(p, body, radius, 4, 2, 95);

    QLinearGradient g(body.topLeft(), body.bottomRight());
    g.setColorAt(0, QColor(0x4c, 0xa2, 0xff));
    g.setColorAt(0.55, brandBlue());
    g.setColorAt(1, brandIndigo());
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(body, radius, radius);

    // Gloss over the upper half.
    QLinearGradient gloss(0, body.top(), 0, body.center().y());
    gloss.setColorAt(0, QColor(255, 255, 255, 46));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    p.drawRoundedRect(body, radius, radius);

    // Three tiles and a dot: things kept in order.
    const qreal inset = body.width() * 0.25;
    const QRectF inner = body.adjusted(inset, inset, -inset, -inset);
    const qreal gap = inner.width() * 0.14;
    const qreal cell = (inner.width() - gap) / 2;
    const qreal r = cell * 0.26;
    p.setBrush(QColor(255, 255, 255));
    p.drawRoundedRect(QRectF(inner.left(), inner.top(), cell, cell), r, r);
    p.setBrush(QColor(255, 255, 255, 215));
    p.drawRoundedRect(QRectF(inner.left() + cell + gap, inner.top(), cell, cell), r, r);
    p.drawRoundedRect(QRectF(inner.left(), inner.top() + cell + gap, cell, cell), r, r);
    p.setBrush(QColor(0xff, 0xc8, 0x3d));
    p.drawEllipse(QRectF(inner.left() + cell + gap, inner.top() + cell + gap, cell, cell));
}

void desktop(QPainter& p, const QRectF& box, const QColor& color)
{
    // Four app tiles, the last one filled: the things kept on the desktop.
    Grid grid(p, box, 20, 20);
    const QRectF tiles[] = { QRectF(3.25, 3.25, 5.75, 5.75),
                             QRectF(11, 3.25, 5.75, 5.75),
                             QRectF(3.25, 11, 5.75, 5.75),
                             QRectF(11, 11, 5.75, 5.75) };
    for (int i = 0; i < 4; ++i) {
        p.setPen(linePen(color, 1.5));
        p.setBrush(i == 3 ? color : withAlpha(color, 48));
        p.drawRoundedRect(tiles[i], 1.6, 1.6);
    }
}

void globeLine(QPainter& p, const QRectF& box, const QColor& color)
{
    Grid grid(p, box, 20, 20);
    const QRectF ball(2.75, 2.75, 14.5, 14.5);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(color, 48));
    p.drawEllipse(ball);
    p.setBrush(Qt::NoBrush);
    p.setPen(linePen(color, 1.5));
    p.drawEllipse(ball);
    p.drawEllipse(QRectF(6.9, 2.75, 6.2, 14.5));
    p.setPen(linePen(color, 1.2));
    p.drawLine(QPointF(3.2, 10), QPointF(16.8, 10));
}

void history(QPainter& p, const QRectF& box, const QColor& color)
{
    // A clock face whose rim runs back to an arrow at nine o'clock: time turned back, the recent list.
    Grid grid(p, box, 20, 20);
    const QPointF c(10.75, 10);
    const qreal r = 6.5;
    const QRectF face(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(color, 48));
    p.drawEllipse(face);
    p.setBrush(Qt::NoBrush);
    p.setPen(linePen(color, 1.5));
    QPainterPath rim;
    rim.arcMoveTo(face, 180);
    rim.arcTo(face, 180, -295);
    p.drawPath(rim);
    QPainterPath head;
    head.moveTo(c.x() - r - 2.1, c.y() - 2.1);
    head.lineTo(c.x() - r, c.y() + 0.2);
    head.lineTo(c.x() - r + 2.1, c.y() - 2.1);
    p.drawPath(head);
    QPainterPath hands;
    hands.moveTo(c.x(), c.y() - 3.5);
    hands.lineTo(c.x(), c.y());
    hands.lineTo(c.x() + 2.5, c.y() + 1.7);
    p.drawPath(hands);
}

void magnifier(QPainter& p, const QRectF& box, const QColor& color)
{
    Grid grid(p, box, 20, 20);
    p.setBrush(Qt::NoBrush);
    p.setPen(linePen(color, 1.8));
    p.drawEllipse(QPointF(8.5, 8.5), 5.2, 5.2);
    p.setPen(linePen(color, 2.4));
    p.drawLine(QPointF(12.6, 12.6), QPointF(16.4, 16.4));
}

void clearBadge(QPainter& p, const QRectF& box, const QColor& disc, const QColor& cross)
{
    Grid grid(p, box, 20, 20);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(QPointF(10, 10), 7, 7);
    p.setPen(linePen(cross, 1.6));
    p.drawLine(QPointF(7.4, 7.4), QPointF(12.6, 12.6));
    p.drawLine(QPointF(12.6, 7.4), QPointF(7.4, 12.6));
}

void globeBadge(QPainter& p, const QRectF& box)
{
    Grid grid(p, box, 32, 32);
    const QRectF ball(2.5, 2.5, 27, 27);
    QRadialGradient g(QPointF(11, 9), 26);
    g.setColorAt(0, QColor(0x7c, 0xc4, 0xff));
    g.setColorAt(0.6, QColor(0x35, 0x8b, 0xf4));
    g.setColorAt(1, QColor(0x23, 0x5f, 0xd8));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(ball);

    p.save();
    QPainterPath clip;
    clip.addEllipse(ball);
    p.setClipPath(clip);
    p.setBrush(Qt::NoBrush);
    p.setPen(linePen(QColor(255, 255, 255, 235), 1.5));
    p.drawEllipse(QRectF(10.25, 2.5, 11.5, 27));
    p.drawLine(QPointF(16, 2), QPointF(16, 30));
    p.drawLine(QPointF(2, 16), QPointF(30, 16));
    p.setPen(linePen(QColor(255, 255, 255, 200), 1.3));
    p.drawLine(QPointF(2, 9.5), QPointF(30, 9.5));
    p.drawLine(QPointF(2, 22.5), QPointF(30, 22.5));
    p.restore();

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x1d, 0x4f, 0xb8, 120), 1));
    p.drawEllipse(ball.adjusted(0.5, 0.5, -0.5, -0.5));
}

void shirt(QPainter& p, const QRectF& box, const QColor& color)
{
    Grid grid(p, box, 20, 14);
    QPainterPath path;
    path.moveTo(7.5, 1.5);
    path.cubicTo(8.3, 3.3, 11.7, 3.3, 12.5, 1.5);
    path.lineTo(16.5, 3.6);
    path.lineTo(15.2, 6.6);
    path.lineTo(13.5, 5.9);
    path.lineTo(13.5, 12.5);
    path.lineTo(6.5, 12.5);
    path.lineTo(6.5, 5.9);
    path.lineTo(4.8, 6.6);
    path.lineTo(3.5, 3.6);
    path.closeSubpath();
    p.setBrush(withAlpha(color, 70));
    p.setPen(linePen(color, 1.1));
    p.drawPath(path);
}

void settingsTile(QPainter& p, const QRectF& box)
{
    Grid grid(p, box, 24, 24);
    tile(p, QColor(0x86, 0x97, 0xbb), QColor(0x55, 0x66, 0x8d));
    // A gear of eight teeth with a hole.
    QPainterPath gear;
    const QPointF c(12, 12);
    const qreal outer = 6.6;
    const qreal root = 4.9;
    for (int k = 0; k < 8; ++k) {
        const qreal a = k * 45.0;
        const qreal pts[4][2] = { { a - 22.5, root }, { a - 10, root }, { a - 7, outer }, { a + 7, outer } };
        for (int i = 0; i < 4; ++i) {
            const qreal rad = qDegreesToRadians(pts[i][0]);
            const QPointF pt(c.x() + pts[i][1] * qCos(rad), c.y() + pts[i][1] * qSin(rad));
            if (k == 0 && i == 0)
                gear.moveTo(pt);
            else
                gear.lineTo(pt);
        }
        const qreal rad = qDegreesToRadians(a + 10);
        gear.lineTo(c.x() + root * qCos(rad), c.y() + root * qSin(rad));
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, 2.1, 2.1);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(gear.subtracted(hole));
}

void calculatorTile(QPainter& p, const QRectF& box)
{
    Grid grid(p, box, 24, 24);
    tile(p, QColor(0xff, 0xb0, 0x4f), QColor(0xf5, 0x7a, 0x2a));
    p.setPen(linePen(Qt::white, 1.6));
    const qreal h = 2.3;
    // plus, minus, times, equals
    p.drawLine(QPointF(8.5 - h, 8.5), QPointF(8.5 + h, 8.5));
    p.drawLine(QPointF(8.5, 8.5 - h), QPointF(8.5, 8.5 + h));
    p.drawLine(QPointF(15.5 - h, 8.5), QPointF(15.5 + h, 8.5));
    const qreal x = 1.7;
    p.drawLine(QPointF(8.5 - x, 15.5 - x), QPointF(8.5 + x, 15.5 + x));
    p.drawLine(QPointF(8.5 + x, 15.5 - x), QPointF(8.5 - x, 15.5 + x));
    p.drawLine(QPointF(15.5 - h, 14.3), QPointF(15.5 + h, 14.3));
    p.drawLine(QPointF(15.5 - h, 16.7), QPointF(15.5 + h, 16.7));
}

void notepadTile(QPainter& p, const QRectF& box)
{
    Grid grid(p, box, 24, 24);
    const QColor top(0x40, 0xcf, 0x90);
    const QColor bottom(0x1c, 0xa2, 0x66);
    tile(p, top, bottom);
    QPainterPath page;
    page.moveTo(7, 5.5);
    page.lineTo(14.5, 5.5);
    page.lineTo(17.5, 8.5);
    page.lineTo(17.5, 18.5);
    page.lineTo(7, 18.5);
    page.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(0xc9, 0xf0, 0xdc));
    QPainterPath fold;
    fold.moveTo(14.5, 5.5);
    fold.lineTo(14.5, 8.5);
    fold.lineTo(17.5, 8.5);
    fold.closeSubpath();
    p.drawPath(fold);
    p.setPen(linePen(bottom, 1.2));
    p.drawLine(QPointF(9.3, 10.5), QPointF(13, 10.5));
    p.drawLine(QPointF(9.3, 13.2), QPointF(15.2, 13.2));
    p.drawLine(QPointF(9.3, 15.9), QPointF(15.2, 15.9));
}

void minimiseSign(QPainter& p, const QRectF& box, const QColor& color)
{
    Grid grid(p, box, 24, 24);
    p.setPen(QPen(color, 1.2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(7, 12.5), QPointF(17, 12.5));
}

void maximiseSign(QPainter& p, const QRectF& box, const QColor& color)
{
    Grid grid(p, box, 24, 24);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, 1.1));
    p.drawRoundedRect(QRectF(7.5, 7.5, 9, 9), 1.2, 1.2);
}

void restoreSign(QPainter& p, const QRectF& box, const QColor& color)
{
    Grid grid(p, box, 24, 24);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, 1.1));
    p.drawRoundedRect(QRectF(7.5, 9.5, 7, 7), 1, 1);
    QPainterPath back;
    back.moveTo(9.5, 9.5);
    back.lineTo(9.5, 8.5);
    back.quadTo(9.5, 7.5, 10.5, 7.5);
    back.lineTo(15.5, 7.5);
    back.quadTo(16.5, 7.5, 16.5, 8.5);
    back.lineTo(16.5, 13.5);
    back.quadTo(16.5, 14.5, 15.5, 14.5);
    back.lineTo(14.5, 14.5);
    p.drawPath(back);
}

void closeSign(QPainter& p, const QRectF& box, const QColor& color)
{
    Grid grid(p, box, 24, 24);
    p.setPen(linePen(color, 1.3));
    p.drawLine(QPointF(7.8, 7.8), QPointF(16.2, 16.2));
    p.drawLine(QPointF(16.2, 7.8), QPointF(7.8, 16.2));
}

void scrollArrow(QPainter& p, const QRectF& box, bool up, const QColor& color)
{
    Grid grid(p, box, 10, 9);
    QPainterPath tri;
    if (up) {
        tri.moveTo(1.5, 6.5);
        tri.lineTo(8.5, 6.5);
        tri.lineTo(5, 2.5);
    } else {
        tri.moveTo(1.5, 2.5);
        tri.lineTo(8.5, 2.5);
        tri.lineTo(5, 6.5);
    }
    tri.closeSubpath();
    p.setPen(linePen(color, 0.8));
    p.setBrush(color);
    p.drawPath(tri);
}
} // namespace Glyphs
