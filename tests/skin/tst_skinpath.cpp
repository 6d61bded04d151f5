#include "qskinfun.h"
#include "skinpath.h"

#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class TestSkinPath : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void resolve_data();
    void resolve();
    void bothSpellingsReachTheSameFile_data();
    void bothSpellingsReachTheSameFile();
    void pixmapIsCachedAndMissingIsNull();
    void preloadedImagesAreTheFiles();
    void denseFileForHighRatios_data();
    void denseFileForHighRatios();
    void hasMSFontMatchesTheFontList();

private:
    QTemporaryDir m_dir;
    QString m_oldCurrent;
};

void TestSkinPath::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_oldCurrent = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    QVERIFY(QDir().mkpath(QStringLiteral("Skins/icon")));
    QVERIFY(QDir().mkpath(QStringLiteral("Skins/main_bg/3")));
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(QStringLiteral("Skins/icon/site.png")));
    QVERIFY(image.save(QStringLiteral("Skins/main_bg/3/main_bg_top.png")));
}

void TestSkinPath::cleanupTestCase()
{
    QDir::setCurrent(m_oldCurrent);
}

void TestSkinPath::resolve_data()
{
    QTest::addColumn<QString>("design");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString() << QString();
    QTest::newRow("empty with suffix") << QString() << QStringLiteral(".png") << QString();
    QTest::newRow("backslashes") << QStringLiteral("Skins\\icon\\site.png") << QString()
                                 << QStringLiteral("Skins/icon/site.png");
    QTest::newRow("lower-case folder") << QStringLiteral("skins\\main_bg\\1\\main_bg_bottom.png") << QString()
                                       << QStringLiteral("Skins/main_bg/1/main_bg_bottom.png");
    QTest::newRow("upper-case folder") << QStringLiteral("SKINS\\btn\\skin.png") << QString()
                                       << QStringLiteral("Skins/btn/skin.png");
    QTest::newRow("no extension gets the suffix")
        << QStringLiteral("skins\\main_bg\\1\\main_bg_top") << QStringLiteral(".png")
        << QStringLiteral("Skins/main_bg/1/main_bg_top.png");
    QTest::newRow("suffix without dot") << QStringLiteral("skins\\main_bg\\1\\main_bg_top") << QStringLiteral("png")
                                        << QStringLiteral("Skins/main_bg/1/main_bg_top.png");
    QTest::newRow("extension kept") << QStringLiteral("skins\\main_bg\\1\\main_bg_bottom.png") << QStringLiteral(".png")
                                    << QStringLiteral("Skins/main_bg/1/main_bg_bottom.png");
    QTest::newRow("no suffix asked") << QStringLiteral("skins\\main_bg\\1\\main_bg_top") << QString()
                                     << QStringLiteral("Skins/main_bg/1/main_bg_top");
    QTest::newRow("doubled separators") << QStringLiteral("Skins\\\\icon//del.png") << QString()
                                        << QStringLiteral("Skins/icon/del.png");
    QTest::newRow("forward slashes untouched")
        << QStringLiteral("Skins/icon/del.png") << QString() << QStringLiteral("Skins/icon/del.png");
    QTest::newRow("other relative path") << QStringLiteral("images\\a.png") << QString()
                                         << QStringLiteral("images/a.png");
    QTest::newRow("folder named like skins deeper down stays")
        << QStringLiteral("data\\skins\\a.png") << QString() << QStringLiteral("data/skins/a.png");
    QTest::newRow("resource") << QStringLiteral(":/res/image/scroll/1.png") << QString()
                              << QStringLiteral(":/res/image/scroll/1.png");
    QTest::newRow("dot in a folder, none in the file")
        << QStringLiteral("Skins\\v1.2\\top") << QStringLiteral(".png") << QStringLiteral("Skins/v1.2/top.png");
}

void TestSkinPath::resolve()
{
    QFETCH(QString, design);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    QCOMPARE(SkinPath::resolve(design, suffix), expected);
}

void TestSkinPath::bothSpellingsReachTheSameFile_data()
{
    QTest::addColumn<QString>("design");
    QTest::newRow("Skins") << QStringLiteral("Skins\\icon\\site.png");
    QTest::newRow("skins") << QStringLiteral("skins\\icon\\site.png");
    QTest::newRow("absolute lower-case") << m_dir.path() + QStringLiteral("/skins/icon/site.png");
}

void TestSkinPath::bothSpellingsReachTheSameFile()
{
    QFETCH(QString, design);
    QVERIFY(QFileInfo::exists(SkinPath::resolve(design)));
    QCOMPARE(SkinPath::pixmap(design).size(), QSize(8, 8));
}

void TestSkinPath::pixmapIsCachedAndMissingIsNull()
{
    QVERIFY(SkinPath::pixmap(QStringLiteral("skins\\icon\\nothing.png")).isNull());
    QVERIFY(SkinPath::pixmap(QString()).isNull());

    const QPixmap first = SkinPath::pixmap(QStringLiteral("skins\\main_bg\\3\\main_bg_top.png"));
    QVERIFY(!first.isNull());
    // The same image again comes from the cache (shared data), however it is spelled.
    const QPixmap second = SkinPath::pixmap(QStringLiteral("Skins/main_bg/3/main_bg_top.png"));
    QCOMPARE(second.cacheKey(), first.cacheKey());

    // A file that appears later is found: misses are not remembered.
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(QStringLiteral("Skins/icon/late.png")));
    QCOMPARE(SkinPath::pixmap(QStringLiteral("skins\\icon\\late.png")).size(), QSize(4, 4));

    // Resources resolve too.
    QCOMPARE(SkinPath::pixmap(QStringLiteral(":/res/image/btn_style1_1.png")).size(), QSize(64, 25));
}

void TestSkinPath::preloadedImagesAreTheFiles()
{
    const struct
    {
        const char* path;
        QSize size;
        QColor colour;
    } files[]
        = { { "Skins/icon/ahead1.png", QSize(5, 3), Qt::green }, { "Skins/icon/ahead2.png", QSize(2, 7), Qt::blue } };
    for (const auto& file : files) {
        QImage image(file.size, QImage::Format_ARGB32);
        image.fill(file.colour);
        QVERIFY(image.save(QString::fromLatin1(file.path)));
    }
    // Design spellings, a file that is not there yet, and a resource.
    SkinPath::preload({ QStringLiteral("skins\\icon\\ahead1.png"),
                        QStringLiteral("Skins/icon/ahead2.png"),
                        QStringLiteral("Skins/icon/ahead3.png"),
                        QStringLiteral(":/res/image/btn_style1_2.png") });

    for (const auto& file : files) {
        const QImage image = SkinPath::pixmap(QString::fromLatin1(file.path)).toImage();
        QCOMPARE(image.size(), file.size);
        QCOMPARE(image.pixelColor(0, 0), file.colour);
    }
    QCOMPARE(SkinPath::pixmap(QStringLiteral(":/res/image/btn_style1_2.png")).size(), QSize(64, 25));
    // A file missing when it was read ahead is found once it is there.
    QVERIFY(SkinPath::pixmap(QStringLiteral("Skins/icon/ahead3.png")).isNull());
    QImage late(3, 3, QImage::Format_ARGB32);
    late.fill(Qt::yellow);
    QVERIFY(late.save(QStringLiteral("Skins/icon/ahead3.png")));
    QCOMPARE(SkinPath::pixmap(QStringLiteral("Skins/icon/ahead3.png")).size(), QSize(3, 3));
}

void TestSkinPath::denseFileForHighRatios_data()
{
    QTest::addColumn<QString>("design");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<qreal>("fileRatio");
    QTest::addColumn<QColor>("color");

    // dense.png (8 x 8, red) has dense@2x.png (16 x 16, green) and dense@3x.png (24 x 24, blue) beside it;
    // two.png has only a 2x file; plain.png none.
    const QColor red(Qt::red), green(Qt::green), blue(Qt::blue);
    QTest::newRow("ratio 1: the file itself") << QStringLiteral("skins\\dense\\dense.png") << 1.0 << 1.0 << red;
    QTest::newRow("ratio 1.25: rounded up to 2") << QStringLiteral("skins\\dense\\dense.png") << 1.25 << 2.0 << green;
    QTest::newRow("ratio 2") << QStringLiteral("skins\\dense\\dense.png") << 2.0 << 2.0 << green;
    QTest::newRow("ratio 3") << QStringLiteral("skins\\dense\\dense.png") << 3.0 << 3.0 << blue;
    QTest::newRow("ratio 4: the densest there is") << QStringLiteral("Skins/dense/dense.png") << 4.0 << 3.0 << blue;
    QTest::newRow("ratio 3, only a 2x file") << QStringLiteral("Skins/dense/two.png") << 3.0 << 2.0 << green;
    QTest::newRow("ratio 2, no 2x file") << QStringLiteral("Skins/dense/plain.png") << 2.0 << 1.0 << red;
    QTest::newRow("ratio 2, compiled in") << QStringLiteral(":/res/image/btn_style1_1.png") << 2.0 << 2.0 << QColor();
}

void TestSkinPath::denseFileForHighRatios()
{
    QFETCH(QString, design);
    QFETCH(qreal, dpr);
    QFETCH(qreal, fileRatio);
    QFETCH(QColor, color);
    QVERIFY(QDir().mkpath(QStringLiteral("Skins/dense")));
    const auto write = [](const QString& path, int size, const QColor& c) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(c);
        return image.save(path);
    };
    QVERIFY(write(QStringLiteral("Skins/dense/dense.png"), 8, Qt::red));
    QVERIFY(write(QStringLiteral("Skins/dense/dense@2x.png"), 16, Qt::green));
    QVERIFY(write(QStringLiteral("Skins/dense/dense@3x.png"), 24, Qt::blue));
    QVERIFY(write(QStringLiteral("Skins/dense/two.png"), 8, Qt::red));
    QVERIFY(write(QStringLiteral("Skins/dense/two@2x.png"), 16, Qt::green));
    QVERIFY(write(QStringLiteral("Skins/dense/plain.png"), 8, Qt::red));

    const QPixmap normal = SkinPath::pixmap(design, 1.0);
    const QPixmap pm = SkinPath::pixmap(design, dpr);
    QVERIFY(!pm.isNull());
    QCOMPARE(pm.devicePixelRatio(), fileRatio);
    // Whatever the file, the image keeps its size in logical pixels.
    QCOMPARE(pm.deviceIndependentSize(), QSizeF(normal.size()));
    if (color.isValid()) {
        QCOMPARE(pm.toImage().pixelColor(0, 0), color);
    }
}

void TestSkinPath::hasMSFontMatchesTheFontList()
{
    const QStringList families = QFontDatabase::families();
    bool listed = false;
    for (const QString& family : families) {
        listed = listed || family.startsWith(QStringLiteral("微软雅黑"))
            || family.startsWith(QLatin1String("Microsoft YaHei"), Qt::CaseInsensitive);
    }
    QCOMPARE(QSkinFun::hasMSFont(), listed);
}

QTEST_MAIN(TestSkinPath)
#include "tst_skinpath.moc"
