#include "skingenerator.h"

#include "canvas.h"
#include "glyphs.h"
#include "skinpainter.h"
#include "skinpalette.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>

#include <functional>

namespace
{
using Drawing = std::function<void(QPainter&, const QRectF&)>;

/// An image of `width` x `height` units at `scale` pixels a unit, drawn by `draw` into the whole of it.
QImage picture(int width, int height, int scale, const Drawing& draw)
{
    QImage image = Canvas::blank(width, height, scale);
    QPainter p(&image);
    Canvas::prepare(p);
    draw(p, QRectF(0, 0, width, height));
    p.end();
    return image;
}

/// A square icon of `size` units drawn by `draw` into the whole square.
QImage icon(int size, int scale, const Drawing& draw)
{
    return picture(size, size, scale, draw);
}

QImage lineIcon(void (*glyph)(QPainter&, const QRectF&, const QColor&), const QColor& color, int scale)
{
    return icon(20, scale, [&](QPainter& p, const QRectF& box) { glyph(p, box, color); });
}
} // namespace

QImage SkinGenerator::appIcon(int size, int scale)
{
    // Below 32 pixels the shadow would only blur the edge.
    return icon(size, scale, [&](QPainter& p, const QRectF& box) { Glyphs::appMark(p, box, size >= 32); });
}

QImage SkinGenerator::logo(int scale)
{
    return icon(50, scale, [](QPainter& p, const QRectF& box) { Glyphs::appMark(p, box, true); });
}

QImage SkinGenerator::searchStrip(int scale)
{
    // A white field with a light border and a hint of inner shadow, inset from the strip so the sky shows round
    // it. Only the width is stretched, so the rounded ends keep their shape.
    QImage image = Canvas::blank(270, 30, scale);
    QPainter p(&image);
    Canvas::prepare(p);
    const QRectF field(3.5, 2.5, 263, 25);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 40, 80, 18));
    p.drawRoundedRect(field.translated(0, 1), 6, 6);
    p.setBrush(QColor(255, 255, 255, 246));
    p.setPen(QPen(QColor(0xc9, 0xd3, 0xdf), 1));
    p.drawRoundedRect(field, 6, 6);
    p.setPen(QPen(QColor(0, 0, 0, 14), 1));
    p.drawLine(QPointF(9, 4), QPointF(261, 4));
    return image;
}

QImage SkinGenerator::tabBackground(bool selected, int scale)
{
    // Drawn at the size a tab has in the 270-pixel window (the bar is 268 wide, three tabs); stretched a little
    // when the window is resized.
    QImage image = Canvas::blank(89, 30, scale);
    QPainter p(&image);
    Canvas::prepare(p);
    if (selected) {
        const QRectF card(2.5, 3.5, 84, 26);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 40, 80, 16));
        p.drawRoundedRect(card.translated(0, 1), 6, 6);
        p.setBrush(QColor(255, 255, 255, 240));
        p.setPen(QPen(QColor(0, 0, 0, 22), 1));
        p.drawRoundedRect(card, 6, 6);
        p.setPen(Qt::NoPen);
        p.setBrush(Glyphs::brandBlue());
        p.drawRoundedRect(QRectF(28, 27, 33, 2.5), 1.25, 1.25);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 120));
        p.drawRoundedRect(QRectF(2.5, 3.5, 84, 26), 6, 6);
    }
    return image;
}

QImage SkinGenerator::skinButton(int state, int scale)
{
    // 0 normal, 1 hovered, 2 pressed: the same look as the title bar buttons beside it.
    QImage image = Canvas::blank(20, 14, scale);
    QPainter p(&image);
    Canvas::prepare(p);
    QColor glyph = Glyphs::glyphDark();
    if (state > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(state == 1 ? QColor(255, 255, 255, 165) : QColor(255, 255, 255, 110));
        p.drawRoundedRect(QRectF(0, 0, 20, 14), 4, 4);
        if (state == 2) {
            p.setBrush(QColor(0, 0, 0, 26));
            p.drawRoundedRect(QRectF(0, 0, 20, 14), 4, 4);
        }
        glyph = Glyphs::brandBlue().darker(state == 2 ? 125 : 100);
    }
    Glyphs::shirt(p, QRectF(0, 0, 20, 14), glyph);
    return image;
}

QImage SkinGenerator::titleButton(const QString& kind, int state, int scale)
{
    // 0 normal: a thin dark sign; 1 highlighted: on a light translucent rounded square (red for close);
    // 2 pressed: a shade darker.
    QImage image = Canvas::blank(24, 24, scale);
    QPainter p(&image);
    Canvas::prepare(p);
    const bool close = kind == QLatin1String("close");
    QColor sign = Glyphs::glyphDark();
    const QRectF square(1, 1, 22, 22);
    p.setPen(Qt::NoPen);
    if (state == 1) {
        p.setBrush(close ? QColor(0xe5, 0x48, 0x4d) : QColor(255, 255, 255, 165));
        p.drawRoundedRect(square, 5, 5);
    } else if (state == 2) {
        p.setBrush(close ? QColor(0xc2, 0x35, 0x3a) : QColor(0xd6, 0xdc, 0xe4, 200));
        p.drawRoundedRect(square, 5, 5);
    }
    if (close && state > 0)
        sign = Qt::white;
    if (kind == QLatin1String("mini"))
        Glyphs::minimiseSign(p, QRectF(0, 0, 24, 24), sign);
    else if (kind == QLatin1String("max"))
        Glyphs::maximiseSign(p, QRectF(0, 0, 24, 24), sign);
    else if (kind == QLatin1String("restore"))
        Glyphs::restoreSign(p, QRectF(0, 0, 24, 24), sign);
    else
        Glyphs::closeSign(p, QRectF(0, 0, 24, 24), sign);
    return image;
}

QImage SkinGenerator::pushButton(bool hovered, int scale)
{
    QImage image = Canvas::blank(64, 25, scale);
    QPainter p(&image);
    Canvas::prepare(p);
    // Deep enough that the white caption keeps a 4.5 : 1 contrast; the hovered look is a little lighter.
    const QColor base = hovered ? QColor(0x30, 0x80, 0xe3) : QColor(0x24, 0x74, 0xd8);
    const QRectF body(0.5, 0.5, 63, 24);
    QLinearGradient g(0, 0, 0, 25);
    g.setColorAt(0, base.lighter(108));
    g.setColorAt(1, base.darker(104));
    p.setBrush(g);
    p.setPen(QPen(base.darker(122), 1));
    p.drawRoundedRect(body, 4, 4);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawLine(QPointF(4, 1.5), QPointF(60, 1.5));
    return image;
}

bool SkinGenerator::put(const QImage& image, const QString& relativePath)
{
    // After the first failure the rest would fail the same way: report it once and stop writing.
    if (!m_ok)
        return false;
    if (Canvas::save(image, QDir(m_root).filePath(relativePath)))
        m_written << relativePath;
    else
        m_ok = false;
    return m_ok;
}

bool SkinGenerator::putScaled(const std::function<QImage(int scale)>& draw, const QString& relativePath)
{
    // Each density is drawn at its own size: the 2x image carries twice the detail, it is not the 1x one enlarged.
    for (int scale : Scales)
        put(draw(scale), Canvas::scaledName(relativePath, scale));
    return m_ok;
}

bool SkinGenerator::writeSkins(const QString& outDir)
{
    m_root = QDir(outDir).filePath(QStringLiteral("Skins"));
    m_written.clear();
    m_ok = true;

    // Application icon and logo at every density; the icon theme sizes once each (each is an exact size already).
    putScaled([](int scale) { return appIcon(64, scale); }, QStringLiteral("icon/default.png"));
    putScaled(logo, QStringLiteral("icon/office.png"));
    for (int size : { 16, 24, 32, 48, 64, 128, 256 })
        put(appIcon(size), QStringLiteral("icon/hicolor/%1x%1/apps/org.brisko.Brisko.png").arg(size));

    // Search strip.
    putScaled(searchStrip, QStringLiteral("search_bg.png"));
    putScaled([](int scale) { return lineIcon(Glyphs::magnifier, QColor(0x7a, 0x86, 0x96), scale); },
              QStringLiteral("icon/search.png"));
    putScaled(
        [](int scale) {
            return icon(20, scale, [](QPainter& p, const QRectF& box) {
                Glyphs::clearBadge(p, box, QColor(0xb3, 0xbd, 0xca), Qt::white);
            });
        },
        QStringLiteral("icon/del.png"));

    // Tab bar: each pictogram in the brand colour (selected) and grey.
    const struct
    {
        const char* name;
        void (*glyph)(QPainter&, const QRectF&, const QColor&);
    } tabs[] = { { "desk", Glyphs::desktop }, { "site", Glyphs::globeLine }, { "rectent", Glyphs::history } };
    for (const auto& tab : tabs) {
        const auto glyph = tab.glyph;
        putScaled([glyph](int scale) { return lineIcon(glyph, Glyphs::brandBlue(), scale); },
                  QStringLiteral("MainTabCtrl/%1.png").arg(QLatin1String(tab.name)));
        putScaled([glyph](int scale) { return lineIcon(glyph, Glyphs::iconGrey(), scale); },
                  QStringLiteral("MainTabCtrl/%1_gray.png").arg(QLatin1String(tab.name)));
    }
    putScaled([](int scale) { return tabBackground(false, scale); },
              QStringLiteral("MainTabCtrl/main_tab_highlight.png"));
    putScaled([](int scale) { return tabBackground(true, scale); }, QStringLiteral("MainTabCtrl/main_tab_check.png"));

    // Web-site items, skin button, bottom row.
    putScaled(
        [](int scale) { return icon(32, scale, [](QPainter& p, const QRectF& box) { Glyphs::globeBadge(p, box); }); },
        QStringLiteral("icon/site.png"));
    const char* const skinButtons[] = { "btn/skin.png", "btn/skin2.png", "btn/skin3.png" };
    for (int state = 0; state < 3; ++state)
        putScaled([state](int scale) { return skinButton(state, scale); }, QLatin1String(skinButtons[state]));
    const struct
    {
        const char* path;
        void (*tile)(QPainter&, const QRectF&);
    } tiles[] = { { "icon/SystemSet.png", Glyphs::settingsTile },
                  { "icon/cal.png", Glyphs::calculatorTile },
                  { "icon/note.png", Glyphs::notepadTile } };
    for (const auto& tile : tiles) {
        const auto draw = tile.tile;
        putScaled([draw](int scale) { return icon(24, scale, draw); }, QLatin1String(tile.path));
    }

    // The four skins.
    for (int n = 1; n <= 4; ++n) {
        const SkinPainter skin(SkinPalette::forSkin(n));
        putScaled([&](int scale) { return skin.windowImage(scale); },
                  QStringLiteral("main_bg/%1/main_bg_bottom.png").arg(n));
        putScaled([&](int scale) { return skin.bandImage(scale); },
                  QStringLiteral("main_bg/%1/main_bg_top.png").arg(n));
        putScaled([&](int scale) { return skin.previewImage(searchStrip(scale), logo(scale), scale); },
                  QStringLiteral("main_bg/%1/view.png").arg(n));
    }
    return m_ok;
}

bool SkinGenerator::writeResources(const QString& resDir)
{
    m_root = QDir(resDir).filePath(QStringLiteral("image"));
    m_written.clear();
    m_ok = true;

    static const char* const states[] = { "normal", "highlight", "down" };
    for (const char* kind : { "mini", "max", "restore", "close" }) {
        for (int s = 0; s < 3; ++s) {
            putScaled([&](int scale) { return titleButton(QLatin1String(kind), s, scale); },
                      QStringLiteral("SysBtn/btn_%1_%2.png").arg(QLatin1String(kind), QLatin1String(states[s])));
        }
    }

    const QColor arrow(0xa3, 0xac, 0xb8);
    const QColor arrowHover(0x5b, 0x66, 0x75);
    int number = 1;
    for (bool up : { true, false }) {
        for (const QColor& c : { arrow, arrowHover }) {
            putScaled(
                [&](int scale) {
                    return picture(
                        10, 9, scale, [&](QPainter& p, const QRectF& box) { Glyphs::scrollArrow(p, box, up, c); });
                },
                QStringLiteral("scroll/%1.png").arg(number++));
        }
    }

    putScaled([](int scale) { return pushButton(false, scale); }, QStringLiteral("btn_style1_1.png"));
    putScaled([](int scale) { return pushButton(true, scale); }, QStringLiteral("btn_style1_2.png"));
    return m_ok;
}
