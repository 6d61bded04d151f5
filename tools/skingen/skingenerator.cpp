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
/// An image of `width` x `height` pixels drawn by `draw` into the whole of it.
QImage picture(int width, int height, const std::function<void(QPainter&, const QRectF&)>& draw)
{
    QImage image = Canvas::blank(width, height);
    QPainter p(&image);
    Canvas::prepare(p);
    draw(p, QRectF(0, 0, width, height));
    p.end();
    return image;
}

/// A square icon of `size` pixels drawn by `draw` into the whole square.
QImage icon(int size, const std::function<void(QPainter&, const QRectF&)>& draw)
{
    return picture(size, size, draw);
}

QImage lineIcon(void (*glyph)(QPainter&, const QRectF&, const QColor&), const QColor& color)
{
    return icon(20, [&](QPainter& p, const QRectF& box) { glyph(p, box, color); });
}
} // namespace

QImage SkinGenerator::appIcon(int size)
{
    // Below 32 pixels the shadow would only blur the edge.
    return icon(size, [&](QPainter& p, const QRectF& box) { Glyphs::appMark(p, box, size >= 32); });
}

QImage SkinGenerator::searchStrip()
{
    // A white field with a light border and a hint of inner shadow, inset from the strip so the sky shows round
    // it. Only the width is stretched, so the rounded ends keep their shape.
    QImage image = Canvas::blank(270, 30);
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

QImage SkinGenerator::tabBackground(bool selected)
{
    // Drawn at the size a tab has in the 270-pixel window (the bar is 268 wide, three tabs); stretched a little
    // when the window is resized.
    QImage image = Canvas::blank(89, 30);
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

QImage SkinGenerator::skinButton(int state)
{
    // 0 normal, 1 hovered, 2 pressed: the same look as the title bar buttons beside it.
    QImage image = Canvas::blank(20, 14);
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

QImage SkinGenerator::titleButton(const QString& kind, int state)
{
    // 0 normal: a thin dark sign; 1 highlighted: on a light translucent rounded square (red for close);
    // 2 pressed: a shade darker.
    QImage image = Canvas::blank(24, 24);
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

QImage SkinGenerator::pushButton(bool hovered)
{
    QImage image = Canvas::blank(64, 25);
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

bool SkinGenerator::writeSkins(const QString& outDir)
{
    m_root = QDir(outDir).filePath(QStringLiteral("Skins"));
    m_written.clear();
    m_ok = true;

    // Application icon, logo and the icon theme sizes.
    put(appIcon(64), QStringLiteral("icon/default.png"));
    const QImage logo = icon(50, [](QPainter& p, const QRectF& box) { Glyphs::appMark(p, box, true); });
    put(logo, QStringLiteral("icon/office.png"));
    for (int size : { 16, 24, 32, 48, 64, 128, 256 })
        put(appIcon(size), QStringLiteral("icon/hicolor/%1x%1/apps/org.brisko.Brisko.png").arg(size));

    // Search strip.
    const QImage strip = searchStrip();
    put(strip, QStringLiteral("search_bg.png"));
    put(lineIcon(Glyphs::magnifier, QColor(0x7a, 0x86, 0x96)), QStringLiteral("icon/search.png"));
    put(icon(20,
             [](QPainter& p, const QRectF& box) { Glyphs::clearBadge(p, box, QColor(0xb3, 0xbd, 0xca), Qt::white); }),
        QStringLiteral("icon/del.png"));

    // Tab bar.
    const QColor grey = Glyphs::iconGrey();
    put(lineIcon(Glyphs::desktop, Glyphs::brandBlue()), QStringLiteral("MainTabCtrl/desk.png"));
    put(lineIcon(Glyphs::desktop, grey), QStringLiteral("MainTabCtrl/desk_gray.png"));
    put(lineIcon(Glyphs::globeLine, Glyphs::brandBlue()), QStringLiteral("MainTabCtrl/site.png"));
    put(lineIcon(Glyphs::globeLine, grey), QStringLiteral("MainTabCtrl/site_gray.png"));
    put(lineIcon(Glyphs::history, Glyphs::brandBlue()), QStringLiteral("MainTabCtrl/rectent.png"));
    put(lineIcon(Glyphs::history, grey), QStringLiteral("MainTabCtrl/rectent_gray.png"));
    put(tabBackground(false), QStringLiteral("MainTabCtrl/main_tab_highlight.png"));
    put(tabBackground(true), QStringLiteral("MainTabCtrl/main_tab_check.png"));

    // Web-site items, skin button, bottom row.
    put(icon(32, [](QPainter& p, const QRectF& box) { Glyphs::globeBadge(p, box); }), QStringLiteral("icon/site.png"));
    put(skinButton(0), QStringLiteral("btn/skin.png"));
    put(skinButton(1), QStringLiteral("btn/skin2.png"));
    put(skinButton(2), QStringLiteral("btn/skin3.png"));
    put(icon(24, Glyphs::settingsTile), QStringLiteral("icon/SystemSet.png"));
    put(icon(24, Glyphs::calculatorTile), QStringLiteral("icon/cal.png"));
    put(icon(24, Glyphs::notepadTile), QStringLiteral("icon/note.png"));

    // The four skins.
    for (int n = 1; n <= 4; ++n) {
        const SkinPainter skin(SkinPalette::forSkin(n));
        put(skin.windowImage(), QStringLiteral("main_bg/%1/main_bg_bottom.png").arg(n));
        put(skin.bandImage(), QStringLiteral("main_bg/%1/main_bg_top.png").arg(n));
        put(skin.previewImage(strip, logo), QStringLiteral("main_bg/%1/view.png").arg(n));
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
            put(titleButton(QLatin1String(kind), s),
                QStringLiteral("SysBtn/btn_%1_%2.png").arg(QLatin1String(kind), QLatin1String(states[s])));
        }
    }

    const QColor arrow(0xa3, 0xac, 0xb8);
    const QColor arrowHover(0x5b, 0x66, 0x75);
    int number = 1;
    for (bool up : { true, false }) {
        for (const QColor& c : { arrow, arrowHover }) {
            put(picture(10, 9, [&](QPainter& p, const QRectF& box) { Glyphs::scrollArrow(p, box, up, c); }),
                QStringLiteral("scroll/%1.png").arg(number++));
        }
    }

    put(pushButton(false), QStringLiteral("btn_style1_1.png"));
    put(pushButton(true), QStringLiteral("btn_style1_2.png"));
    return m_ok;
}
