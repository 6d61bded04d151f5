#include "reviewsheet.h"

#include "canvas.h"

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace
{
QFont uiFont(qreal points, bool bold = false)
{
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}
/// A missing file shows as a loud magenta square, so a gap in the folder cannot go unnoticed on the sheet.
QImage orMissing(const QImage& image)
{
    if (!image.isNull())
        return image;
    QImage missing(16, 16, QImage::Format_ARGB32_Premultiplied);
    missing.fill(Qt::magenta);
    return missing;
}
} // namespace

ReviewSheet::ReviewSheet(const QString& skinsDir, const QString& resDir)
    : m_skins(skinsDir)
    , m_res(resDir)
{
}

QImage ReviewSheet::load(const QString& relative) const
{
    return orMissing(QImage(QDir(m_skins).filePath(relative)));
}

QImage ReviewSheet::loadRes(const QString& relative) const
{
    return orMissing(QImage(QDir(m_res).filePath(QStringLiteral("image/") + relative)));
}

QImage ReviewSheet::contactSheet() const
{
    QStringList small = {
        QStringLiteral("icon/default.png"),
        QStringLiteral("icon/office.png"),
        QStringLiteral("icon/search.png"),
        QStringLiteral("icon/del.png"),
        QStringLiteral("MainTabCtrl/desk.png"),
        QStringLiteral("MainTabCtrl/desk_gray.png"),
        QStringLiteral("MainTabCtrl/site.png"),
        QStringLiteral("MainTabCtrl/site_gray.png"),
        QStringLiteral("MainTabCtrl/rectent.png"),
        QStringLiteral("MainTabCtrl/rectent_gray.png"),
        QStringLiteral("icon/site.png"),
        QStringLiteral("btn/skin.png"),
        QStringLiteral("btn/skin2.png"),
        QStringLiteral("btn/skin3.png"),
        QStringLiteral("icon/SystemSet.png"),
        QStringLiteral("icon/cal.png"),
        QStringLiteral("icon/note.png"),
        QStringLiteral("MainTabCtrl/main_tab_highlight.png"),
        QStringLiteral("MainTabCtrl/main_tab_check.png"),
        QStringLiteral("search_bg.png"),
    };
    QStringList res;
    for (const char* kind : { "mini", "max", "restore", "close" })
        for (const char* state : { "normal", "highlight", "down" })
            res << QStringLiteral("SysBtn/btn_%1_%2.png").arg(QLatin1String(kind), QLatin1String(state));
    res << QStringLiteral("scroll/1.png") << QStringLiteral("scroll/2.png") << QStringLiteral("scroll/3.png")
        << QStringLiteral("scroll/4.png") << QStringLiteral("btn_style1_1.png") << QStringLiteral("btn_style1_2.png");

    const int cellW = 300;
    const int cellH = 110;
    const int cols = 4;
    const int count = int(small.size() + res.size()) + 8;
    const int rows = (count + cols - 1) / cols;
    QImage sheet(cols * cellW, rows * cellH + 220, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0xfa, 0xfa, 0xfa));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(uiFont(8));

    int index = 0;
    auto cell = [&](const QImage& image, const QString& name) {
        const int x = (index % cols) * cellW;
        const int y = (index / cols) * cellH;
        ++index;
        // Left half light ground, right half dark ground, each with the image at 1x and enlarged 3x.
        p.fillRect(x, y, cellW / 2, cellH - 16, QColor(0xee, 0xf1, 0xf5));
        p.fillRect(x + cellW / 2, y, cellW / 2, cellH - 16, QColor(0x3a, 0x40, 0x4a));
        const QSize big = image.size() * (image.width() <= 32 ? 3 : 1);
        const QImage scaled = image.scaled(big, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        for (int half = 0; half < 2; ++half) {
            const int hx = x + half * cellW / 2;
            p.drawImage(
                hx + 4, y + 4, image.width() > 140 ? image.scaledToWidth(140, Qt::SmoothTransformation) : image);
            if (image.width() <= 32)
                p.drawImage(hx + 4 + image.width() + 8, y + 4, scaled);
        }
        p.setPen(QColor(0x33, 0x33, 0x33));
        p.drawText(QRect(x + 4, y + cellH - 16, cellW - 8, 16),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   name + QStringLiteral("  %1x%2").arg(image.width()).arg(image.height()));
    };
    for (const QString& name : small)
        cell(load(name), name);
    for (const QString& name : res)
        cell(loadRes(name), QStringLiteral("res/") + name);
    for (int n = 1; n <= 4; ++n)
        cell(load(QStringLiteral("main_bg/%1/view.png").arg(n)), QStringLiteral("main_bg/%1/view.png").arg(n));

    // Backgrounds and bands along the bottom, scaled down.
    const int top = rows * cellH + 10;
    for (int n = 1; n <= 4; ++n) {
        const QImage bottom = load(QStringLiteral("main_bg/%1/main_bg_bottom.png").arg(n));
        const QImage band = load(QStringLiteral("main_bg/%1/main_bg_top.png").arg(n));
        const int x = (n - 1) * cellW + 10;
        p.drawImage(QRect(x, top, 90, 193), bottom);
        p.drawImage(QRect(x + 100, top, 180, 107), band);
    }
    return sheet;
}

QImage ReviewSheet::mockWindow(int number, int width, int height) const
{
    const int W = width;
    const int H = height;
    QImage window(W, H, QImage::Format_ARGB32_Premultiplied);
    window.fill(QColor(250, 250, 250));
    QPainter p(&window);
    Canvas::prepare(p);

    const QString skin = QStringLiteral("main_bg/%1/").arg(number);
    p.drawImage(QRect(0, 0, W, H), load(skin + QStringLiteral("main_bg_bottom.png")));
    const QImage band = load(skin + QStringLiteral("main_bg_top.png"));
    p.drawImage(QRect(0, 0, W, band.height()), band);

    // Title bar.
    p.setFont(uiFont(9));
    p.setPen(QColor(0x22, 0x22, 0x22));
    p.drawText(QRect(10, 0, 150, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Brisko桌面"));
    p.drawImage(W - 52, 3, loadRes(QStringLiteral("SysBtn/btn_mini_normal.png")));
    p.drawImage(W - 28,
                3,
                loadRes(number == 1 ? QStringLiteral("SysBtn/btn_close_highlight.png")
                                    : QStringLiteral("SysBtn/btn_close_normal.png")));
    p.drawImage(W - 78, 6, load(number == 2 ? QStringLiteral("btn/skin2.png") : QStringLiteral("btn/skin.png")));

    // Logo and clock.
    p.drawImage(QRect(14, 36, 50, 50), load(QStringLiteral("icon/office.png")));
    p.setPen(Qt::black);
    p.setFont(uiFont(10.5));
    p.drawText(QRect(80, 34, 180, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("2026年12月09日"));
    p.setFont(uiFont(13));
    p.drawText(QRect(80, 60, 200, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("星期三  22:15:08"));

    // Search strip.
    p.drawImage(QRect(0, 100, W, 30), load(QStringLiteral("search_bg.png")));
    p.setFont(uiFont(9));
    p.setPen(QColor(0x99, 0x99, 0x99));
    p.drawText(QRect(10, 100, W - 40, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("输入图标关键字进行搜索"));
    p.drawImage(W - 25, 105, load(QStringLiteral("icon/search.png")));

    // Tab bar: first selected, second hovered.
    const QStringList titles = { QStringLiteral("图标管理"), QStringLiteral("网址管理"), QStringLiteral("最近打开") };
    const QStringList icons = { QStringLiteral("desk"), QStringLiteral("site"), QStringLiteral("rectent") };
    const qreal tabW = (W - 2) / 3.0;
    for (int i = 0; i < 3; ++i) {
        const QRectF r(1 + i * tabW, 130, tabW, 30);
        if (i == 0)
            p.drawImage(r, load(QStringLiteral("MainTabCtrl/main_tab_check.png")));
        else if (i == 1)
            p.drawImage(r, load(QStringLiteral("MainTabCtrl/main_tab_highlight.png")));
        const QString iconName = QStringLiteral("MainTabCtrl/") + icons[i]
            + (i == 0 ? QStringLiteral(".png") : QStringLiteral("_gray.png"));
        const QFontMetrics fm(p.font());
        const qreal contentW = 20 + 4 + fm.horizontalAdvance(titles[i]);
        const qreal x0 = r.left() + qMax<qreal>(4, (r.width() - contentW) / 2);
        p.drawImage(QPointF(x0, 135), load(iconName));
        p.setPen(i == 0 ? QColor(0x22, 0x22, 0x22) : QColor(0x66, 0x66, 0x66));
        p.drawText(QRectF(x0 + 24, 130, r.right() - x0 - 24, 30), Qt::AlignLeft | Qt::AlignVCenter, titles[i]);
    }

    // Tree: a header and some items, one selected.
    struct Row
    {
        bool header;
        QString text;
        QString icon;
    };
    const QList<Row> rows = {
        { true, QStringLiteral("常用软件"), QString() },
        { false, QStringLiteral("计算器"), QStringLiteral("icon/cal.png") },
        { false, QStringLiteral("记事本 - 工作笔记"), QStringLiteral("icon/note.png") },
        { false, QStringLiteral("Brisko 官方网站"), QStringLiteral("icon/site.png") },
        { true, QStringLiteral("我的文档"), QString() },
        { false, QStringLiteral("季度报告.docx"), QStringLiteral("icon/default.png") },
        { false, QStringLiteral("Project plan 2027.xlsx"), QStringLiteral("icon/site.png") },
        { true, QStringLiteral("网址收藏"), QString() },
    };
    p.save();
    p.setClipRect(0, 160, W, H - 192);
    int y = 162;
    for (int i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (row.header) {
            p.setPen(QColor(0x22, 0x22, 0x22));
            p.setFont(uiFont(9, true));
            p.drawText(QRect(8, y, 20, 26), Qt::AlignCenter, QStringLiteral("▾"));
            p.drawText(QRect(26, y, W - 40, 26), Qt::AlignLeft | Qt::AlignVCenter, row.text);
            y += 26;
        } else {
            if (i == 2) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0x2d, 0x7f, 0xf9, 40));
                p.drawRoundedRect(QRectF(4, y, W - 8, 40), 6, 6);
            }
            p.drawImage(QRect(14, y + 4, 32, 32), load(row.icon));
            p.setPen(QColor(0x22, 0x22, 0x22));
            p.setFont(uiFont(9));
            p.drawText(QRect(56, y, W - 64, 40), Qt::AlignLeft | Qt::AlignVCenter, row.text);
            y += 40;
        }
    }
    p.restore();

    // Bottom row.
    p.drawImage(5, H - 28, load(QStringLiteral("icon/SystemSet.png")));
    p.drawImage(39, H - 28, load(QStringLiteral("icon/cal.png")));
    p.drawImage(73, H - 28, load(QStringLiteral("icon/note.png")));
    return window;
}

QImage ReviewSheet::mockOverview() const
{
    const int gap = 16;
    QImage sheet(4 * (270 + gap) + 200 + gap + 360 + gap + gap, 760 + 2 * gap, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0x80, 0x86, 0x90));
    QPainter p(&sheet);
    int x = gap;
    for (int n = 1; n <= 4; ++n) {
        p.drawImage(x, gap, mockWindow(n, 270, 580));
        x += 270 + gap;
    }
    p.drawImage(x, gap, mockWindow(4, 200, 400));
    x += 200 + gap;
    p.drawImage(x, gap, mockWindow(3, 360, 760));
    return sheet;
}
