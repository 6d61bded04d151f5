#include "qskinmessagebox.h"
#include "testutil.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestQSkinMessageBox : public QObject
{
    Q_OBJECT

private:
    static QList<QPushButton*> visibleButtons(QWidget* box)
    {
        QList<QPushButton*> result;
        const QList<QPushButton*> all = box->findChildren<QPushButton*>();
        for (QPushButton* b : all) {
            if (!b->isHidden()) {
                result.append(b);
            }
        }
        return result;
    }

private slots:
    void singleButtonLayout()
    {
        QSkinMessageBox box(0);
        QCOMPARE(box.size(), QSize(268, 151));
        QCOMPARE(box.windowTitle(), QStringLiteral("提示"));
        QVERIFY(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        const QList<QPushButton*> buttons = visibleButtons(&box);
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons[0]->text(), QStringLiteral("确定"));
        QCOMPARE(buttons[0]->geometry(), QRect(102, 107, 64, 25));
        QCOMPARE(buttons[0]->objectName(), QStringLiteral("btnNormal"));
        auto* label = box.findChild<QLabel*>(QStringLiteral("label"));
        QVERIFY(label);
        QCOMPARE(label->geometry(), QRect(28, 45, 211, 41));
        QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
    }

    void twoButtonLayout()
    {
        QSkinMessageBox box(1);
        const QList<QPushButton*> buttons = visibleButtons(&box);
        QCOMPARE(buttons.size(), 2);
        QPushButton* yes = buttons[0]->text() == QStringLiteral("是") ? buttons[0] : buttons[1];
        QPushButton* no = yes == buttons[0] ? buttons[1] : buttons[0];
        QCOMPARE(yes->text(), QStringLiteral("是"));
        QCOMPARE(no->text(), QStringLiteral("否"));
        QCOMPARE(yes->geometry(), QRect(53, 107, 64, 25));
        QCOMPARE(no->geometry(), QRect(153, 107, 64, 25));
        QCOMPARE(yes->objectName(), QStringLiteral("btnNormal"));
        QCOMPARE(no->objectName(), QStringLiteral("btnNormal"));
    }

    void showMessageResult_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("result");
        QTest::newRow("ok") << 0 << QStringLiteral("确定") << 1;
        QTest::newRow("yes") << 1 << QStringLiteral("是") << 1;
        QTest::newRow("no") << 1 << QStringLiteral("否") << 0;
        QTest::newRow("escape on one button") << 0 << QString() << 0;
        QTest::newRow("escape on two buttons") << 2 << QString() << 0;
    }

    void showMessageResult()
    {
        QFETCH(int, mode);
        QFETCH(QString, press);
        QFETCH(int, result);
        bool answered = false;
        QString shownText;
        const TestUtil::Poll poll = TestUtil::answerModal(
            [&](QWidget* w) {
                shownText = w->findChild<QLabel*>(QStringLiteral("label"))->text();
                if (press.isEmpty()) {
                    QTest::keyClick(w, Qt::Key_Escape);
                    return;
                }
                for (QPushButton* b : visibleButtons(w)) {
                    if (b->text() == press) {
                        QTest::mouseClick(b, Qt::LeftButton);
                    }
                }
            },
            &answered);
        QCOMPARE(QSkinMessageBox::showMessage(QStringLiteral("当前只有一个分组不能删除!"), mode), result);
        QVERIFY(answered);
        QCOMPARE(shownText, QStringLiteral("当前只有一个分组不能删除!"));

        // The box of one call is gone afterwards: it is never left behind or shown again.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            QVERIFY(!qobject_cast<QSkinMessageBox*>(w));
        }
    }

    void longTextWrapsWithoutGrowing()
    {
        QSkinMessageBox box(0);
        const QString text = QStringLiteral("这是一条很长的提示信息,").repeated(4);
        box.setText(text);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto* label = box.findChild<QLabel*>(QStringLiteral("label"));
        QCOMPARE(label->text(), text);
        QVERIFY(label->wordWrap());
        QVERIFY(label->heightForWidth(211) > label->fontMetrics().height());
        QCOMPARE(label->geometry(), QRect(28, 45, 211, 41));
        QCOMPARE(box.size(), QSize(268, 151));
    }

    void emptyTextStillCloses()
    {
        bool answered = false;
        const TestUtil::Poll poll = TestUtil::answerModal(
            [](QWidget* w) {
                for (QPushButton* b : visibleButtons(w)) {
                    QTest::mouseClick(b, Qt::LeftButton);
                }
            },
            &answered);
        QCOMPARE(QSkinMessageBox::showMessage(QString(), 0), 1);
        QVERIFY(answered);
    }
};

QTEST_MAIN(TestQSkinMessageBox)
#include "tst_qskinmessagebox.moc"
