// The main window tells the person once, after it is shown, when the catalogue can be read but changes to it
// cannot be saved: the file is read-only (or its folder is), or the quick check found it damaged.
#include "icondatabase.h"
#include "mainwindowfixture.h"
#include "qqdialog.h"
#include "qqtree.h"
#include "storetestutil.h"
#include "testutil.h"

#include <QDir>
#include <QtTest>

#include <memory>

class TestCatalogueNotices : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void noticeOnce_data();
    void noticeOnce();
};

void TestCatalogueNotices::cleanup()
{
    // Closes the catalogue of the row (the window's copy is gone already).
    IconDatabase::instance() = IconDatabase();
    QDir(QFileInfo(IconDatabase::defaultDatabasePath()).absolutePath()).removeRecursively();
}

void TestCatalogueNotices::noticeOnce_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QStringList>("said"); // what the notice says; no notice when empty
    const QString unsaved = QStringLiteral("不会被保存");
    QTest::newRow("sound catalogue") << QStringLiteral("sound") << QStringList();
    QTest::newRow("read-only file") << QStringLiteral("read-only file")
                                    << QStringList { QStringLiteral("只读"), unsaved };
    QTest::newRow("read-only folder") << QStringLiteral("read-only folder")
                                      << QStringList { QStringLiteral("不可写入"), unsaved };
    QTest::newRow("damaged page") << QStringLiteral("damaged")
                                  << QStringList { QStringLiteral("已损坏"), QStringLiteral("未被改动"), unsaved };
}

void TestCatalogueNotices::noticeOnce()
{
    QFETCH(QString, catalogue);
    QFETCH(QStringList, said);
    const QString path = IconDatabase::defaultDatabasePath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    if (catalogue == QLatin1String("damaged")) {
        QVERIFY(StoreTest::makeDamagedCatalogue(path, 3000));
    } else {
        QVERIFY(StoreTest::makeCatalogue(path, 200));
    }
    std::unique_ptr<StoreTest::Unwritable> readOnly;
    if (catalogue.startsWith(QLatin1String("read-only"))) {
        readOnly = std::make_unique<StoreTest::Unwritable>(
            catalogue == QLatin1String("read-only file") ? path : QFileInfo(path).absolutePath());
        if (!readOnly->done()) {
            QSKIP("this file system or account cannot make a file read-only");
        }
    }
    const StoreTest::FileState before = StoreTest::FileState::of(path);

    QString title;
    QString text;
    const TestUtil::Poll poll = MainWindowFixture::answerNotices(title, text);

    QQDialog window;
    QTest::qWait(50);
    QCOMPARE(poll.answered(), 0); // nothing is shown before the window is
    // The catalogue is read whatever its state.
    QVERIFY(window.findChild<QQTree*>(QStringLiteral("iconTree"))->getTeamCount() > 0);
    window.show();
    // The check runs once the window is shown, and finishes.
    QTRY_VERIFY(IconDatabase::instance().integrity() == IconDatabase::Integrity::Sound
                || IconDatabase::instance().integrity() == IconDatabase::Integrity::Damaged);
    if (said.isEmpty()) {
        QTest::qWait(200);
        QCOMPARE(poll.answered(), 0);
        QVERIFY(IconDatabase::instance().isWritable());
        return;
    }
    QTRY_COMPARE(poll.answered(), 1);
    QCOMPARE(title, QStringLiteral("错误"));
    QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
    for (const QString& words : said) {
        QVERIFY2(text.contains(words), qPrintable(text));
    }
    QVERIFY(!IconDatabase::instance().isWritable());

    // Once only: hiding and showing the window again says nothing more.
    window.hide();
    window.show();
    QTest::qWait(200);
    QCOMPARE(poll.answered(), 1);
    QVERIFY(StoreTest::FileState::of(path) == before);
}

QTEST_MAIN(TestCatalogueNotices)
#include "tst_cataloguenotices.moc"
