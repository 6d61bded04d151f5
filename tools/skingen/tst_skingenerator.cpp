// Checks the drawn images: every file the program names exists at the size its control shows, the checked-in
// compiled-in images are what the generator draws now, the clock and list text stay legible on every skin, the
// skins differ clearly, and drawing twice gives the same pixels.

#include "canvas.h"
#include "glyphs.h"
#include "skingenerator.h"
#include "skinpainter.h"
#include "skinpalette.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace
{
double channel(int v)
{
    const double c = v / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(QRgb rgb)
{
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

/// The window as the base window paints it: the background stretched over it, the band at its own height.
QImage composed(int skin, int width, int height)
{
    const SkinPainter painter(SkinPalette::forSkin(skin));
    QImage window(width, height, QImage::Format_RGB32);
    window.fill(QColor(250, 250, 250));
    QPainter p(&window);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(0, 0, width, height), painter.windowImage());
    const QImage band = painter.bandImage();
    p.drawImage(QRect(0, 0, width, band.height()), band);
    return window;
}

/// The lowest contrast of the text colour against any pixel of the area, and where it is.
QPair<double, QPoint> worstContrast(const QImage& image, const QRect& area, QRgb text)
{
    QPair<double, QPoint> worst(1e9, QPoint());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const double c = contrast(image.pixel(x, y), text);
            if (c < worst.first)
                worst = { c, QPoint(x, y) };
        }
    }
    return worst;
}

QString describe(const QPair<double, QPoint>& worst)
{
    return QStringLiteral("contrast %1 at %2, %3").arg(worst.first).arg(worst.second.x()).arg(worst.second.y());
}

/// The mean difference of two images of one size per channel (0 to 255); colour counts as much as it shows,
/// weighted by the pixels' own opacity.
double meanDifference(const QImage& first, const QImage& second)
{
    const QImage one = first.convertToFormat(QImage::Format_ARGB32);
    const QImage two = second.convertToFormat(QImage::Format_ARGB32);
    qint64 difference = 0;
    for (int y = 0; y < one.height(); ++y) {
        for (int x = 0; x < one.width(); ++x) {
            const QRgb a = one.pixel(x, y);
            const QRgb b = two.pixel(x, y);
            difference += std::abs(qAlpha(a) - qAlpha(b))
                + (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)))
                    * std::min(qAlpha(a), qAlpha(b)) / 255;
        }
    }
    return double(difference) / (4.0 * one.width() * one.height());
}

QColor meanColor(const QImage& image)
{
    qint64 r = 0, g = 0, b = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb px = rgb.pixel(x, y);
            r += qRed(px);
            g += qGreen(px);
            b += qBlue(px);
        }
    }
    const qint64 n = qint64(rgb.width()) * rgb.height();
    return QColor(int(r / n), int(g / n), int(b / n));
}
} // namespace

class TestSkinGenerator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyImageAtItsSize_data();
    void everyImageAtItsSize();
    void checkedInResourcesAreCurrent();
    void textStaysLegible_data();
    void textStaysLegible();
    void skinsDifferClearly();
    void denseImagesShowTheSamePicture();
    void scalableIconIsTheMark_data();
    void scalableIconIsTheMark();
    void drawingIsRepeatable();
    void unwritableFolderFails();

private:
    QTemporaryDir m_dir;
    QString m_skins;
};

void TestSkinGenerator::initTestCase()
{
    QVERIFY(m_dir.isValid());
    SkinGenerator generator;
    QVERIFY(generator.writeSkins(m_dir.path()));
    m_skins = QDir(m_dir.path()).filePath(QStringLiteral("Skins"));
}

void TestSkinGenerator::everyImageAtItsSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    const QList<QPair<const char*, QSize>> files = {
        { "icon/default.png", { 64, 64 } },
        { "icon/office.png", { 50, 50 } },
        { "search_bg.png", { 270, 30 } },
        { "icon/search.png", { 20, 20 } },
        { "icon/del.png", { 20, 20 } },
        { "MainTabCtrl/desk.png", { 20, 20 } },
        { "MainTabCtrl/desk_gray.png", { 20, 20 } },
        { "MainTabCtrl/site.png", { 20, 20 } },
        { "MainTabCtrl/site_gray.png", { 20, 20 } },
        { "MainTabCtrl/rectent.png", { 20, 20 } },
        { "MainTabCtrl/rectent_gray.png", { 20, 20 } },
        { "MainTabCtrl/main_tab_check.png", { 89, 30 } },
        { "MainTabCtrl/main_tab_highlight.png", { 89, 30 } },
        { "icon/site.png", { 32, 32 } },
        { "btn/skin.png", { 20, 14 } },
        { "btn/skin2.png", { 20, 14 } },
        { "btn/skin3.png", { 20, 14 } },
        { "icon/SystemSet.png", { 24, 24 } },
        { "icon/cal.png", { 24, 24 } },
        { "icon/note.png", { 24, 24 } },
    };
    QList<QPair<QString, QSize>> images;
    for (const auto& f : files)
        images.append({ QString::fromLatin1(f.first), f.second });
    for (int n = 1; n <= 4; ++n) {
        images.append({ QStringLiteral("main_bg/%1/main_bg_bottom.png").arg(n), { 270, 580 } });
        images.append({ QStringLiteral("main_bg/%1/main_bg_top.png").arg(n), { 270, 160 } });
        images.append({ QStringLiteral("main_bg/%1/view.png").arg(n), { 80, 80 } });
    }
    // Every image the program shows also has a file for screens of twice the density, at twice the size.
    for (const auto& image : std::as_const(images)) {
        QTest::newRow(qPrintable(image.first)) << image.first << image.second;
        const QString dense = QString(image.first).replace(QLatin1String(".png"), QLatin1String("@2x.png"));
        QTest::newRow(qPrintable(dense)) << dense << image.second * 2;
    }
    for (int size : { 16, 24, 32, 48, 64, 128, 256 }) {
        const QString path = QStringLiteral("icon/hicolor/%1x%1/apps/org.brisko.Brisko.png").arg(size);
        QTest::newRow(qPrintable(path)) << path << QSize(size, size);
    }
}

void TestSkinGenerator::everyImageAtItsSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(QDir(m_skins).filePath(path));
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    // Nothing is left blank.
    QVERIFY(meanColor(image) != QColor(0, 0, 0) || image.pixelColor(size.width() / 2, size.height() / 2).alpha());
}

void TestSkinGenerator::checkedInResourcesAreCurrent()
{
    // Every image the resource file lists is checked in and equals what the generator draws now.
    QFile qrc(QStringLiteral(BRISKO_SOURCE_DIR "/res/res.qrc"));
    QVERIFY(qrc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(qrc.readAll());
    QStringList images;
    const QRegularExpression entry(QStringLiteral("<file>(image/[^<]+)</file>"));
    for (auto it = entry.globalMatch(text); it.hasNext();)
        images << it.next().captured(1);
    // Each image with its file for screens of twice the density.
    QCOMPARE(images.size(), 36);
    for (const QString& image : std::as_const(images)) {
        if (!image.contains(QLatin1String("@2x"))) {
            QVERIFY2(images.contains(QString(image).replace(QLatin1String(".png"), QLatin1String("@2x.png"))),
                     qPrintable(image));
        }
    }

    QTemporaryDir fresh;
    QVERIFY(fresh.isValid());
    SkinGenerator generator;
    QVERIFY(generator.writeResources(fresh.path()));
    QCOMPARE(generator.written().size(), images.size());
    for (const QString& image : images) {
        const QImage drawn(QDir(fresh.path()).filePath(image));
        const QImage checkedIn(QStringLiteral(BRISKO_SOURCE_DIR "/res/") + image);
        QVERIFY2(!drawn.isNull(), qPrintable(image));
        QVERIFY2(!checkedIn.isNull(), qPrintable(image));
        QVERIFY2(drawn.convertToFormat(QImage::Format_ARGB32) == checkedIn.convertToFormat(QImage::Format_ARGB32),
                 qPrintable(image + QStringLiteral(" differs: run brisko-skingen --res res")));
    }
}

void TestSkinGenerator::textStaysLegible_data()
{
    QTest::addColumn<int>("skin");
    QTest::addColumn<QSize>("window");
    for (int n = 1; n <= 4; ++n) {
        QTest::addRow("skin %d, 270 x 580", n) << n << QSize(270, 580);
        QTest::addRow("skin %d, 200 x 400", n) << n << QSize(200, 400);
        QTest::addRow("skin %d, 420 x 900", n) << n << QSize(420, 900);
    }
}

void TestSkinGenerator::textStaysLegible()
{
    QFETCH(int, skin);
    QFETCH(QSize, window);
    const QImage image = composed(skin, window.width(), window.height());
    // The black clock text (from x 80, y 34 to 90): at least the 4.5 : 1 contrast asked of normal text.
    const QRect clock(80, 38, std::min(200, window.width() - 80), 48);
    const auto clockContrast = worstContrast(image, clock, qRgb(0, 0, 0));
    QVERIFY2(clockContrast.first >= 4.5, qPrintable(describe(clockContrast)));
    // The list text (#222) over the whole list area: 7 : 1.
    const QRect list(0, 160, window.width(), window.height() - 192);
    const auto listContrast = worstContrast(image, list, qRgb(0x22, 0x22, 0x22));
    QVERIFY2(listContrast.first >= 7.0, qPrintable(describe(listContrast)));
}

void TestSkinGenerator::skinsDifferClearly()
{
    QList<QColor> bands;
    for (int n = 1; n <= 4; ++n)
        bands << meanColor(QImage(QDir(m_skins).filePath(QStringLiteral("main_bg/%1/main_bg_top.png").arg(n))));
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b) {
            const double distance
                = std::hypot(std::hypot(bands[a].red() - bands[b].red(), bands[a].green() - bands[b].green()),
                             bands[a].blue() - bands[b].blue());
            QVERIFY2(distance > 40, qPrintable(QStringLiteral("skins %1 and %2").arg(a + 1).arg(b + 1)));
        }
    }
}

void TestSkinGenerator::denseImagesShowTheSamePicture()
{
    // Each 2x image is drawn on its own, at its size; brought down to the 1x size it is the 1x picture, so no
    // part of a drawing is misplaced or missing at the higher density.
    int checked = 0;
    QDirIterator it(m_skins, { QStringLiteral("*@2x.png") }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString densePath = it.next();
        const QImage dense = QImage(densePath).convertToFormat(QImage::Format_ARGB32);
        const QImage normal = QImage(QString(densePath).replace(QLatin1String("@2x.png"), QLatin1String(".png")))
                                  .convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!normal.isNull(), qPrintable(densePath));
        QCOMPARE(dense.size(), normal.size() * 2);
        const QImage down = dense.scaled(normal.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double mean = meanDifference(down, normal);
        QVERIFY2(mean < 3.0, qPrintable(QStringLiteral("%1: mean difference %2").arg(densePath).arg(mean)));
        ++checked;
    }
    QVERIFY(checked > 0);
}

void TestSkinGenerator::scalableIconIsTheMark_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("48") << 48;
    QTest::newRow("64") << 64;
    QTest::newRow("256") << 256;
}

void TestSkinGenerator::scalableIconIsTheMark()
{
    // The scalable icon of the icon theme is written by hand; rendered, it is the mark the PNG sizes show.
    QFETCH(int, size);
    if (!QImageReader::supportedImageFormats().contains("svg"))
        QSKIP("Qt's SVG image plugin is not installed (scripts/deps installs it)");
    QImageReader reader(QStringLiteral(BRISKO_SOURCE_DIR "/dist/org.brisko.Brisko.svg"));
    reader.setScaledSize(QSize(size, size));
    const QImage scalable = reader.read();
    QVERIFY2(!scalable.isNull(), qPrintable(reader.errorString()));
    QImage mark = Canvas::blank(size, size);
    {
        QPainter p(&mark);
        Canvas::prepare(p);
        Glyphs::appMark(p, QRectF(0, 0, size, size), false);
    }
    // Both are drawn from the same shapes: only antialiasing may differ.
    const double mean = meanDifference(scalable, mark);
    QVERIFY2(mean < 0.5, qPrintable(QStringLiteral("mean difference %1").arg(mean)));
}

void TestSkinGenerator::drawingIsRepeatable()
{
    QTemporaryDir again;
    QVERIFY(again.isValid());
    SkinGenerator generator;
    QVERIFY(generator.writeSkins(again.path()));
    QVERIFY(generator.written().size() >= 36);
    for (const QString& path : generator.written()) {
        const QImage first(QDir(m_skins).filePath(path));
        const QImage second(QDir(again.path()).filePath(QStringLiteral("Skins/") + path));
        QVERIFY2(first == second, qPrintable(path));
    }
}

void TestSkinGenerator::unwritableFolderFails()
{
    // A plain file where the folder should be: the generator says so instead of reporting success.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile blocker(QDir(dir.path()).filePath(QStringLiteral("Skins")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SkinGenerator generator;
    QVERIFY(!generator.writeSkins(dir.path()));
}

QTEST_MAIN(TestSkinGenerator)
#include "tst_skingenerator.moc"
