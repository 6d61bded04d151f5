#include "icondatabase.h"
#include "qqdialog.h"
#include "qqtree.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QMessageBox>
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

        int boxes = 0;
        QString title;
        QString text;
        bool done = false;
        TestUtil::answerModal(
            [&](QWidget* w) {
                if (auto* box = qobject_cast<QMessageBox*>(w)) {
                    ++boxes;
                    title = box->windowTitle();
                    text = box->text();
                    box->button(QMessageBox::Ok)->click();
                }
            },
            &done);

        QQDialog window;
        QVERIFY(!done); // nothing is shown before the window is
        window.show();
        QTRY_VERIFY(done);
        QCOMPARE(title, QStringLiteral("错误"));
        QVERIFY2(text.contains(path), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("不会被保存")), qPrintable(text));

        // Once only: hiding and showing the window again says nothing more.
        window.hide();
        window.show();
        QTest::qWait(200);
        QCOMPARE(boxes, 1);

        // The program goes on with an empty catalogue, and the file is as it was.
        QCOMPARE(window.findChild<QQTree*>(QStringLiteral("iconTree"))->getTeamCount(), 0);
        QCOMPARE(TestUtil::readFile(path), junk);
    }
};

QTEST_MAIN(TestQQDialogUnusable)
#include "tst_qqdialog_unusable.moc"
