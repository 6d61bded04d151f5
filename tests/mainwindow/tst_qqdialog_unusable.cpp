#include "icondatabase.h"
#include "mainwindowfixture.h"
#include "qqdialog.h"
#include "qqtree.h"
#include "testutil.h"

#include <QRandomGenerator>
#include <QtTest>

class TestQQDialogUnusable : public QObject
{
    Q_OBJECT

private slots:
    void damagedCatalogueIsReportedOnceAndLeftAlone()
    {
        // Random bytes where the catalogue should be.
        const QString path = IconDatabase::defaultDatabasePath();
        QByteArray junk(4096, '\0');
        QRandomGenerator gen(42);
        for (char& c : junk) {
            c = static_cast<char>(gen.bounded(256));
        }
        QVERIFY(TestUtil::writeFile(path, junk));

        QString title;
        QString text;
        const TestUtil::Poll poll = MainWindowFixture::answerNotices(title, text);

        QQDialog window;
        QTest::qWait(50);
        QCOMPARE(poll.answered(), 0); // nothing is shown before the window is
        window.show();
        QTRY_COMPARE(poll.answered(), 1);
        QCOMPARE(title, QStringLiteral("错误"));
        QVERIFY2(text.contains(path), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("不会被保存")), qPrintable(text));

        // Once only: hiding and showing the window again says nothing more.
        window.hide();
        window.show();
        QTest::qWait(200);
        QCOMPARE(poll.answered(), 1);

        // The program goes on with an empty catalogue, and the file is as it was.
        QCOMPARE(window.findChild<QQTree*>(QStringLiteral("iconTree"))->getTeamCount(), 0);
        QCOMPARE(TestUtil::readFile(path), junk);
    }
};

QTEST_MAIN(TestQQDialogUnusable)
#include "tst_qqdialog_unusable.moc"
