#include "qskinbutton.h"

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestQSkinButton : public QObject
{
    Q_OBJECT

private slots:
    void clickCarriesTheButtonAndItsId();
    void pointingHandAndNoFocusSteal();
    void threeImagesFollowTheState();
    void styles_data();
    void styles();
};

namespace
{
QImage solid(const QSize& size, const QColor& color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}
} // namespace

void TestQSkinButton::clickCarriesTheButtonAndItsId()
{
    QSkinButton button;
    button.resize(80, 80);
    button.setId(3);
    QCOMPARE(button.getId(), 3);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QSignalSpy clickedex(&button, &QSkinButton::clickedex);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(40, 40));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clickedex.count(), 1);
    auto* sender = clickedex.at(0).at(0).value<QSkinButton*>();
    QCOMPARE(sender, &button);
    QCOMPARE(sender->getId(), 3);
}

void TestQSkinButton::pointingHandAndNoFocusSteal()
{
    QSkinButton button;
    QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!(button.focusPolicy() & Qt::ClickFocus));
}

void TestQSkinButton::threeImagesFollowTheState()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(solid(QSize(20, 14), Qt::red).save(dir.filePath(QStringLiteral("n.png"))));
    QVERIFY(solid(QSize(20, 14), Qt::green).save(dir.filePath(QStringLiteral("h.png"))));
    QVERIFY(solid(QSize(20, 14), Qt::blue).save(dir.filePath(QStringLiteral("p.png"))));
    QSkinButton button;
    button.setImg(dir.filePath(QStringLiteral("n.png")),
                  dir.filePath(QStringLiteral("h.png")),
                  dir.filePath(QStringLiteral("p.png")));
    QCOMPARE(button.sizeHint(), QSize(20, 14));
    button.resize(20, 14);
    QCOMPARE(button.grab().toImage().pixelColor(10, 7), QColor(Qt::red));
    button.setDown(true);
    QCOMPARE(button.grab().toImage().pixelColor(10, 7), QColor(Qt::blue));
    button.setDown(false);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    QCOMPARE(button.grab().toImage().pixelColor(10, 7), QColor(Qt::green));
}

void TestQSkinButton::styles_data()
{
    QTest::addColumn<int>("style");
    QTest::newRow("image") << int(QSkinButton::StyleImage);
    QTest::newRow("search prompt") << int(QSkinButton::StyleSearchPrompt);
    QTest::newRow("text") << int(QSkinButton::StyleText);
    QTest::newRow("preview") << int(QSkinButton::StylePreview);
}

void TestQSkinButton::styles()
{
    QFETCH(int, style);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(solid(QSize(40, 40), QColor(10, 120, 30)).save(dir.filePath(QStringLiteral("img.png"))));

    QSkinButton button;
    button.setBtnStyle(style);
    QCOMPARE(button.btnStyle(), style);
    button.setImg(dir.filePath(QStringLiteral("img.png")));
    button.setText(QStringLiteral("输入图标关键字进行搜索"));
    QCOMPARE(button.text(), QStringLiteral("输入图标关键字进行搜索"));
    button.resize(200, 80);
    const QImage shot = button.grab().toImage();
    if (style == QSkinButton::StyleSearchPrompt || style == QSkinButton::StylePreview) {
        // The image is stretched behind (prompt) or scaled into (tile) the whole button.
        QCOMPARE(shot.pixelColor(190, 40), QColor(10, 120, 30));
    }
    if (style == QSkinButton::StylePreview) {
        // A hover highlights the tile's border.
        const QColor before = shot.pixelColor(1, 40);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(&button, &enter);
        QVERIFY(button.grab().toImage().pixelColor(1, 40) != before);
    }
    // A missing image leaves a working button.
    button.setImg(dir.filePath(QStringLiteral("missing.png")));
    QVERIFY(!button.hasImage());
    QSignalSpy clicked(&button, &QSkinButton::clickedex);
    button.click();
    QCOMPARE(clicked.count(), 1);
}

QTEST_MAIN(TestQSkinButton)
#include "tst_qskinbutton.moc"
