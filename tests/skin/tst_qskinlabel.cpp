#include "qskinlabel.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class TestQSkinLabel : public QObject
{
    Q_OBJECT

private slots:
    void textColourAndBackground();
    void imageIsScaledToFit_data();
    void imageIsScaledToFit();
    void missingImageShowsNothing();
};

void TestQSkinLabel::textColourAndBackground()
{
    QSkinLabel label;
    label.resize(180, 30);
    label.setBgColor(255, 255, 255);
    QCOMPARE(label.grab().toImage().pixelColor(90, 15), QColor(255, 255, 255));
    label.setText(QStringLiteral("2026-12-09"), QColor(200, 0, 0));
    QCOMPARE(label.text(), QStringLiteral("2026-12-09"));
    QCOMPARE(label.textColor(), QColor(200, 0, 0));
    QCOMPARE(label.accessibleName(), QStringLiteral("2026-12-09"));
    // Some pixels of the text carry its colour.
    const QImage shot = label.grab().toImage();
    bool red = false;
    for (int x = 0; x < 100 && !red; ++x) {
        for (int y = 0; y < 30 && !red; ++y) {
            const QColor c = shot.pixelColor(x, y);
            red = c.red() > 150 && c.green() < 120 && c.blue() < 120;
        }
    }
    QVERIFY(red);
}

void TestQSkinLabel::imageIsScaledToFit_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("label");
    QTest::addColumn<QRect>("covered");

    QTest::newRow("same size") << QSize(50, 50) << QSize(50, 50) << QRect(0, 0, 50, 50);
    QTest::newRow("larger, square") << QSize(100, 100) << QSize(50, 50) << QRect(0, 0, 50, 50);
    QTest::newRow("smaller, grown") << QSize(10, 10) << QSize(20, 20) << QRect(0, 0, 20, 20);
    QTest::newRow("wide image in a square: centred band") << QSize(100, 50) << QSize(50, 50) << QRect(0, 12, 50, 25);
}

void TestQSkinLabel::imageIsScaledToFit()
{
    QFETCH(QSize, image);
    QFETCH(QSize, label);
    QFETCH(QRect, covered);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QImage img(image, QImage::Format_RGB32);
    img.fill(QColor(10, 120, 30));
    QVERIFY(img.save(dir.filePath(QStringLiteral("i.png"))));
    QSkinLabel l;
    l.setBgColor(255, 255, 255);
    l.setImg(dir.filePath(QStringLiteral("i.png")));
    QVERIFY(l.hasImage());
    l.resize(label);
    const QImage shot = l.grab().toImage();
    for (int y = 0; y < label.height(); ++y) {
        for (int x = 0; x < label.width(); ++x) {
            const bool inside = covered.adjusted(1, 1, -1, -1).contains(x, y);
            const bool outside = !covered.adjusted(-1, -1, 1, 1).contains(x, y);
            if (inside) {
                QCOMPARE(shot.pixelColor(x, y), QColor(10, 120, 30));
            } else if (outside) {
                QCOMPARE(shot.pixelColor(x, y), QColor(255, 255, 255));
            }
        }
    }
}

void TestQSkinLabel::missingImageShowsNothing()
{
    QSkinLabel l;
    l.setImg(QStringLiteral("Skins\\icon\\does-not-exist.png"));
    QVERIFY(!l.hasImage());
    l.setBgColor(1, 2, 3);
    l.resize(20, 20);
    QCOMPARE(l.grab().toImage().pixelColor(10, 10), QColor(1, 2, 3));
}

QTEST_MAIN(TestQSkinLabel)
#include "tst_qskinlabel.moc"
