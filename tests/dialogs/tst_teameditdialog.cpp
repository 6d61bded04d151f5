#include "teameditdialog.h"
#include "testutil.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace
{
/// Answers the first message box that opens (a modal QMessageBox), from a timer.
void answerMessageBox(const std::function<void(QMessageBox*)>& answer, bool* done)
{
    QTimer::singleShot(10, qApp, [=] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            answer(box);
            *done = true;
            return;
        }
        answerMessageBox(answer, done);
    });
}
} // namespace

class TestTeamEditDialog : public QObject
{
    Q_OBJECT

private slots:
    void construction()
    {
        TeamEditDialog dialog;
        QCOMPARE(dialog.size(), QSize(171, 130));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("添加分组"));
        QVERIFY(!dialog.testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        auto* button = dialog.findChild<QPushButton*>(QStringLiteral("btnNormal"));
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("保存"));
        QCOMPARE(button->geometry(), QRect(51, 87, 64, 25));
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("editName"));
        QVERIFY(edit);
        QCOMPARE(edit->geometry(), QRect(20, 50, 131, 20));
        QCOMPARE(edit->text(), QString());
        QCOMPARE(dialog.getName(), QString());
    }

    void emptyNameIsRefused()
    {
        TeamEditDialog dialog;
        bool noticed = false;
        bool closed = false;
        QString noticeTitle;
        QString noticeText;
        bool stillOpen = false;
        const TestUtil::Poll poll = TestUtil::answerModal(
            [&](QWidget* w) {
                answerMessageBox(
                    [&](QMessageBox* box) {
                        noticeTitle = box->windowTitle();
                        noticeText = box->text();
                        box->button(QMessageBox::Ok)->click();
                        QTimer::singleShot(50, qApp, [&] {
                            stillOpen = dialog.isVisible();
                            dialog.reject();
                            closed = true;
                        });
                    },
                    &noticed);
                w->findChild<QPushButton*>(QStringLiteral("btnNormal"))->click();
            });
        const int result = dialog.exec();
        QVERIFY(noticed);
        QVERIFY(closed);
        QCOMPARE(noticeTitle, QStringLiteral("提示信息"));
        QCOMPARE(noticeText, QStringLiteral("名称不能为空!"));
        QVERIFY(stillOpen);
        QVERIFY(result != 1);
    }

    void acceptedNames_data()
    {
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks are a name") << QString() << QStringLiteral("   ") << QStringLiteral("   ");
        QTest::newRow("pre-filled, unchanged") << QStringLiteral("常用软件") << QString() << QStringLiteral("常用软件");
        QTest::newRow("pre-filled, replaced") << QStringLiteral("常用软件") << QStringLiteral("工具") << QStringLiteral("工具");
        QTest::newRow("apostrophe and %1") << QString() << QStringLiteral("it's %1") << QStringLiteral("it's %1");
    }

    void acceptedNames()
    {
        QFETCH(QString, preset);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        TeamEditDialog dialog;
        if (!preset.isNull()) {
            dialog.BaseWindow::setWindowTitle(QStringLiteral("修改分组"));
            dialog.setName(preset);
        }
        QString shown;
        bool answered = false;
        const TestUtil::Poll poll = TestUtil::answerModal(
            [&](QWidget* w) {
                auto* edit = w->findChild<QLineEdit*>(QStringLiteral("editName"));
                shown = edit->text();
                if (!typed.isNull()) {
                    edit->setText(typed);
                }
                w->findChild<QPushButton*>(QStringLiteral("btnNormal"))->click();
            },
            &answered);
        QCOMPARE(dialog.exec(), 1);
        QVERIFY(answered);
        QCOMPARE(shown, preset);
        QCOMPARE(dialog.getName(), expected);
        if (!preset.isNull()) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("修改分组"));
        }
    }

    void typingGoesToTheNameAndReturnSaves()
    {
        // A person opens the dialog and types at once, then presses Return: no click into the field needed.
        TeamEditDialog dialog;
        QWidget* focused = nullptr;
        bool answered = false;
        const TestUtil::Poll poll = TestUtil::answerModal(
            [&](QWidget* w) {
                focused = w->focusWidget();
                // Typed only into the field: Return on the button would open the empty-name notice.
                if (focused == w->findChild<QLineEdit*>(QStringLiteral("editName"))) {
                    QTest::keyClicks(focused, QStringLiteral("Tools"));
                    QTest::keyClick(focused, Qt::Key_Return);
                }
                if (w->isVisible()) {
                    static_cast<QDialog*>(w)->reject();
                }
            },
            &answered);
        const int result = dialog.exec();
        QVERIFY(answered);
        QCOMPARE(focused, dialog.findChild<QLineEdit*>(QStringLiteral("editName")));
        QCOMPARE(result, 1);
        QCOMPARE(dialog.getName(), QStringLiteral("Tools"));
    }
};

QTEST_MAIN(TestTeamEditDialog)
#include "tst_teameditdialog.moc"
