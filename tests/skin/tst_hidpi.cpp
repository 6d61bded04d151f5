// At a device pixel ratio of 2 every skin image is drawn from its "@2x" file, one image pixel to one device
// pixel, never from the 1x file scaled up.
//
// The fixture images make the difference plain: each 1x file is a flat colour and its "@2x" file a checkerboard
// of single black and white pixels. Drawn one to one, the checkerboard shows as pairs of neighbouring device
// pixels that are black and white; drawn from the 1x file, or scaled in any way, those pairs are gone.

#include "basewindow.h"
#include "qqtab.h"
#include "qqtree.h"
#include "qskinbutton.h"
#include "qskinlabel.h"
#include "skinpath.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const QColor kFlat(220, 30, 30);

/// Single black and white pixels, alternating.
QImage checkerboard(const QSize& pixels)
{
    QImage image(pixels, QImage::Format_RGB32);
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    return image;
}

/// Writes `<name>.png` (a flat colour, `size`) and `<name>@2x.png` (a checkerboard of twice the pixels).
bool writePair(const QString& name, const QSize& size)
{
    QImage flat(size, QImage::Format_RGB32);
    flat.fill(kFlat);
    return flat.save(name + QStringLiteral(".png")) && checkerboard(size * 2).save(name + QStringLiteral("@2x.png"));
}

bool isBlack(QRgb c)
{
    return qRed(c) <= 15 && qGreen(c) <= 15 && qBlue(c) <= 15;
}

bool isWhite(QRgb c)
{
    return qRed(c) >= 240 && qGreen(c) >= 240 && qBlue(c) >= 240;
}

/// Neighbouring device pixels (left and right) inside `area` of which one is black and the other white.
int crispPairs(const QImage& shot, const QRect& area)
{
    const QImage rgb = shot.convertToFormat(QImage::Format_RGB32);
    const QRect r = area.intersected(rgb.rect());
    int pairs = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x < r.right(); ++x) {
            const QRgb a = rgb.pixel(x, y);
            const QRgb b = rgb.pixel(x + 1, y);
            if ((isBlack(a) && isWhite(b)) || (isWhite(a) && isBlack(b))) {
                ++pairs;
            }
        }
    }
    return pairs;
}

/// The pairs a checkerboard of `pixels` shows when drawn one to one.
int allPairs(const QSize& pixels)
{
    return pixels.height() * (pixels.width() - 1);
}

/// The widget as the screen shows it, in device pixels.
QImage deviceShot(QWidget& widget)
{
    const QPixmap shot = widget.grab();
    return shot.toImage();
}

/// `logical` (widget coordinates) in the device pixels of a shot at ratio 2.
QRect device(const QRect& logical)
{
    return QRect(logical.topLeft() * 2, logical.size() * 2);
}

QString describe(int pairs, int expected)
{
    return QStringLiteral("%1 of %2 one-to-one pixel pairs").arg(pairs).arg(expected);
}
} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void labelImage();
    void buttonImage();
    void tabIcon();
    void windowBackgrounds_data();
    void windowBackgrounds();
    void treeIcons_data();
    void treeIcons();
    void previewCoversItsTile();
    void styleSheetImages_data();
    void styleSheetImages();
    void compiledInImagesHaveDenseFiles_data();
    void compiledInImagesHaveDenseFiles();

private:
    QTemporaryDir m_dir;
    QString m_oldCurrent;
};

void TestHiDpi::initTestCase()
{
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    QVERIFY(m_dir.isValid());
    m_oldCurrent = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    QVERIFY(QDir().mkpath(QStringLiteral("Skins/t")));
    QVERIFY(writePair(QStringLiteral("Skins/t/logo"), QSize(50, 50)));
    QVERIFY(writePair(QStringLiteral("Skins/t/btn"), QSize(24, 24)));
    QVERIFY(writePair(QStringLiteral("Skins/t/btn_hover"), QSize(24, 24)));
    QVERIFY(writePair(QStringLiteral("Skins/t/icon"), QSize(20, 20)));
    QVERIFY(writePair(QStringLiteral("Skins/t/bg"), QSize(120, 100)));
    QVERIFY(writePair(QStringLiteral("Skins/t/band"), QSize(120, 40)));
    QVERIFY(writePair(QStringLiteral("Skins/t/item"), QSize(32, 32)));
    // Tab backgrounds without 2x files: a flat blue behind the icon.
    QImage tabBg(89, 30, QImage::Format_RGB32);
    tabBg.fill(QColor(40, 80, 200));
    QVERIFY(tabBg.save(QStringLiteral("Skins/t/tab_bg.png")));
}

void TestHiDpi::cleanupTestCase()
{
    QDir::setCurrent(m_oldCurrent);
}

void TestHiDpi::labelImage()
{
    QSkinLabel label;
    label.resize(50, 50);
    label.setImg(QStringLiteral("skins\\t\\logo.png"));
    const int pairs = crispPairs(deviceShot(label), device(label.rect()));
    QVERIFY2(pairs >= allPairs(QSize(100, 100)) * 9 / 10, qPrintable(describe(pairs, allPairs(QSize(100, 100)))));
}

void TestHiDpi::buttonImage()
{
    QSkinButton button;
    button.setImg(QStringLiteral("Skins\\t\\btn.png"),
                  QStringLiteral("Skins\\t\\btn_hover.png"),
                  QStringLiteral("Skins\\t\\btn_hover.png"));
    // The button keeps the size of its image in logical pixels.
    QCOMPARE(button.sizeHint(), QSize(24, 24));
    button.resize(button.sizeHint());
    const int pairs = crispPairs(deviceShot(button), device(button.rect()));
    QVERIFY2(pairs >= allPairs(QSize(48, 48)) * 9 / 10, qPrintable(describe(pairs, allPairs(QSize(48, 48)))));
}

void TestHiDpi::tabIcon()
{
    QWidget page;
    QQTab tab;
    tab.resize(89, 30);
    tab.addItem(&page,
                QStringLiteral("Skins\\t\\tab_bg.png"),
                QStringLiteral("Skins\\t\\tab_bg.png"),
                QStringLiteral("Skins\\t\\icon.png"),
                QStringLiteral("Skins\\t\\icon.png"),
                QString());
    tab.selectItem(1);
    const int pairs = crispPairs(deviceShot(tab), device(tab.rect()));
    QVERIFY2(pairs >= allPairs(QSize(40, 40)) * 9 / 10, qPrintable(describe(pairs, allPairs(QSize(40, 40)))));
    // Only the icon: nothing else in the bar is drawn from a checkerboard.
    QVERIFY2(pairs <= allPairs(QSize(40, 40)), qPrintable(describe(pairs, allPairs(QSize(40, 40)))));
}

void TestHiDpi::windowBackgrounds_data()
{
    QTest::addColumn<bool>("band");
    QTest::addColumn<QRect>("area");
    // Below the title bar for the background; left of the title buttons for the band.
    QTest::newRow("background") << false << QRect(2, 32, 116, 66);
    QTest::newRow("band") << true << QRect(2, 2, 60, 36);
}

void TestHiDpi::windowBackgrounds()
{
    QFETCH(bool, band);
    QFETCH(QRect, area);
    BaseWindow window;
    window.resize(120, 100);
    if (band) {
        window.setBg2(QStringLiteral("skins\\t\\band"));
    } else {
        window.setBg(QStringLiteral("skins\\t\\bg"));
    }
    const int pairs = crispPairs(deviceShot(window), device(area));
    const int expected = allPairs(area.size() * 2);
    QVERIFY2(pairs >= expected * 9 / 10, qPrintable(describe(pairs, expected)));
}

void TestHiDpi::treeIcons_data()
{
    QTest::addColumn<bool>("fromSource");
    QTest::newRow("icon given with the item") << false;
    QTest::newRow("icon from the icon source") << true;
}

void TestHiDpi::treeIcons()
{
    QFETCH(bool, fromSource);
    QQTree tree;
    tree.resize(200, 120);
    if (fromSource) {
        // As the main window does: a themed or file icon asked for at 32 pixels.
        QIcon icon;
        icon.addFile(QStringLiteral("Skins/t/item.png"));
        icon.addPixmap(QPixmap::fromImage(checkerboard(QSize(64, 64))));
        tree.setIconSource([icon](int) { return icon.pixmap(32, 32); });
    }
    tree.addTeam(1, QStringLiteral("组"), 0, true);
    tree.addItem(10, 1, QString(), fromSource ? QPixmap() : SkinPath::pixmap(QStringLiteral("Skins\\t\\item.png")));
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    const int pairs = crispPairs(deviceShot(tree), device(tree.rect()));
    QVERIFY2(pairs >= allPairs(QSize(64, 64)) * 9 / 10, qPrintable(describe(pairs, allPairs(QSize(64, 64)))));
}

void TestHiDpi::previewCoversItsTile()
{
    // A skin preview is scaled to cover its tile: a 2x image covers the same tile, not a quarter of it.
    QImage flat(80, 80, QImage::Format_RGB32);
    flat.fill(kFlat);
    QVERIFY(flat.save(QStringLiteral("Skins/t/view.png")));
    QImage dense(160, 160, QImage::Format_RGB32);
    dense.fill(QColor(20, 160, 60));
    QVERIFY(dense.save(QStringLiteral("Skins/t/view@2x.png")));
    QSkinButton button;
    button.setBtnStyle(QSkinButton::StylePreview);
    button.setImg(QStringLiteral("Skins\\t\\view.png"));
    button.resize(80, 80);
    const QImage shot = deviceShot(button).convertToFormat(QImage::Format_RGB32);
    int green = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            green += shot.pixel(x, y) == qRgb(20, 160, 60) ? 1 : 0;
        }
    }
    // The tile inside the 1 px frame and its 2 px inset: 74 x 74 logical pixels.
    const int tile = 148 * 148;
    QVERIFY2(green >= tile * 9 / 10, qPrintable(QStringLiteral("%1 of %2 device pixels").arg(green).arg(tile)));
}

void TestHiDpi::styleSheetImages_data()
{
    QTest::addColumn<QString>("rule");
    QTest::newRow("image") << QStringLiteral("QPushButton { image: url(%1); border: none; padding: 0; }");
    QTest::newRow("border-image") << QStringLiteral(
        "QPushButton { border-image: url(%1) 0 0 0 0 stretch stretch; border: none; padding: 0; }");
}

void TestHiDpi::styleSheetImages()
{
    // The compiled-in images are named by the style sheets; Qt's style sheets take the "@2x" file themselves.
    QFETCH(QString, rule);
    QPushButton button;
    button.setStyleSheet(rule.arg(QDir::current().filePath(QStringLiteral("Skins/t/btn.png"))));
    button.setFixedSize(24, 24);
    const int pairs = crispPairs(deviceShot(button), device(button.rect()));
    QVERIFY2(pairs >= allPairs(QSize(48, 48)) * 9 / 10, qPrintable(describe(pairs, allPairs(QSize(48, 48)))));
}

void TestHiDpi::compiledInImagesHaveDenseFiles_data()
{
    QTest::addColumn<QString>("image");
    QStringList sources = { QStringLiteral(":/res/qss/base.qss"), QStringLiteral(":/res/qss/scrollbar.qss") };
    const QRegularExpression url(QStringLiteral("url\\((:/res/image/[^)]+\\.png)\\)"));
    QSet<QString> seen;
    for (const QString& source : sources) {
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto it = url.globalMatch(text); it.hasNext();) {
            const QString image = it.next().captured(1);
            if (!seen.contains(image)) {
                seen.insert(image);
                QTest::newRow(qPrintable(image)) << image;
            }
        }
    }
    // The title bar buttons of every window, named in code.
    for (const char* kind : { "mini", "close" }) {
        for (const char* state : { "normal", "highlight", "down" }) {
            const QString image
                = QStringLiteral(":/res/image/SysBtn/btn_%1_%2.png").arg(QLatin1String(kind), QLatin1String(state));
            if (!seen.contains(image)) {
                seen.insert(image);
                QTest::newRow(qPrintable(image)) << image;
            }
        }
    }
    QVERIFY(seen.size() >= 10);
}

void TestHiDpi::compiledInImagesHaveDenseFiles()
{
    QFETCH(QString, image);
    const QImage normal(image);
    QVERIFY2(!normal.isNull(), qPrintable(image));
    const QPixmap loaded = SkinPath::pixmap(image);
    QCOMPARE(loaded.devicePixelRatio(), 2.0);
    QCOMPARE(loaded.size(), normal.size() * 2);
    QCOMPARE(loaded.deviceIndependentSize(), QSizeF(normal.size()));
}

int main(int argc, char* argv[])
{
    // The whole test runs as on a screen of twice the density.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidpi.moc"
