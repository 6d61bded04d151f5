#include "aboutdialog.h"
#include "mainwindowfixture.h"
#include "qqdialog.h"
#include "qskinbutton.h"
#include "qskinmenu.h"
#include "qskinmessagebox.h"
#include "quitwatch.h"
#include "skinpath.h"
#include "skinsettingdialog.h"
#include "testutil.h"
#include "updatedialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace
{
template <typename T>
QList<T*> topLevel()
{
    QList<T*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) {
            found.append(t);
        }
    }
    return found;
}

/// Presses the given keys in the next menu that opens.
[[nodiscard]] TestUtil::Poll chooseInMenu(const QList<int>& keys, bool* done = nullptr, QRect* geometry = nullptr)
{
    return TestUtil::answerPopup(
        [keys, geometry](QWidget* popup) {
            if (geometry) {
                *geometry = popup->geometry();
            }
            for (const int key : keys) {
                QTest::keyClick(popup, Qt::Key(key));
            }
        },
        done);
}

const QList<int> FirstEntry = { Qt::Key_Down, Qt::Key_Return };
const QList<int> SecondEntry = { Qt::Key_Down, Qt::Key_Down, Qt::Key_Return };
const QList<int> ThirdEntry = { Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return };
const QList<int> Dismiss = { Qt::Key_Escape };
} // namespace

class TestMenus : public MainWindowFixture
{
    Q_OBJECT

private:
    static QSkinButton* control(QQDialog* w, const char* name)
    {
        return w->findChild<QSkinButton*>(QLatin1String(name));
    }

    /// Presses the menu button and the given keys in the menu it opens; false when no menu opened.
    static bool chooseInMainMenu(QQDialog* w, const QList<int>& keys)
    {
        bool answered = false;
        const TestUtil::Poll poll = chooseInMenu(keys, &answered);
        QTest::mouseClick(control(w, "menuButton"), Qt::LeftButton);
        return answered;
    }

    /// The image of a skin file as the window loads it.
    static QImage skinImage(int skin, const char* file)
    {
        return SkinPath::pixmap(QStringLiteral("Skins\\main_bg\\%1\\%2").arg(skin).arg(QLatin1String(file))).toImage();
    }

    static bool showsSkin(QQDialog* w, int skin)
    {
        return !w->bgImage().isNull() && w->bgImage().toImage() == skinImage(skin, "main_bg_bottom.png")
            && w->bg2Image().toImage() == skinImage(skin, "main_bg_top.png");
    }

private slots:
    void initTestCase()
    {
        openCatalogue();
        recordOpens();
    }

    void init()
    {
        opened.clear();
        openSucceeds = true;
    }

    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<AboutDialog*>(w) || qobject_cast<SkinSettingDialog*>(w) || qobject_cast<UpdateDialog*>(w)
                || qobject_cast<QSkinMessageBox*>(w)) {
                delete w;
            }
        }
    }

    void trayActivation_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("shownBefore");
        QTest::addColumn<bool>("shownAfter");
        QTest::addColumn<int>("quits");
        const int single = QSystemTrayIcon::Trigger;
        const int context = QSystemTrayIcon::Context;
        QTest::newRow("single click on a hidden window") << single << QList<int>() << false << true << 0;
        QTest::newRow("single click on a shown window") << single << QList<int>() << true << true << 0;
        QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << QList<int>() << false << true << 0;
        QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << QList<int>() << false << false << 0;
        QTest::newRow("unknown reason") << int(QSystemTrayIcon::Unknown) << QList<int>() << false << false << 0;
        QTest::newRow("menu: 显示") << context << FirstEntry << false << true << 0;
        QTest::newRow("menu: 退出 while hidden") << context << SecondEntry << false << false << 1;
        QTest::newRow("menu: 退出 while shown") << context << SecondEntry << true << false << 1;
        QTest::newRow("menu dismissed, hidden") << context << Dismiss << false << false << 0;
        QTest::newRow("menu dismissed, shown") << context << Dismiss << true << true << 0;
    }

    void trayActivation()
    {
        QFETCH(int, reason);
        QFETCH(QList<int>, keys);
        QFETCH(bool, shownBefore);
        QFETCH(bool, shownAfter);
        QFETCH(int, quits);
        auto w = makeWindow();
        if (!shownBefore) {
            w->hide();
        }
        bool answered = false;
        const TestUtil::Poll poll = chooseInMenu(keys, &answered);
        QCOMPARE(TestUtil::quitsDuring([&] { w->onTrayActivate(QSystemTrayIcon::ActivationReason(reason)); }), quits);
        QCOMPARE(answered, reason == QSystemTrayIcon::Context);
        QCOMPARE(w->isVisible(), shownAfter);
    }

    void trayIconOnARealTray()
    {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            QSKIP("no system tray here (the end-to-end tests start one)");
        }
        auto w = makeWindow();
        // The tray is looked for once the window has painted.
        QTRY_VERIFY(w->findChild<QSystemTrayIcon*>(QStringLiteral("trayIcon")));
        auto* icon = w->findChild<QSystemTrayIcon*>(QStringLiteral("trayIcon"));
        QVERIFY(icon->isVisible());
        w->onMinWin();
        QVERIFY(!w->isVisible());
        emit icon->activated(QSystemTrayIcon::Trigger);
        QVERIFY(w->isVisible());
    }

    void mainMenuOpensAboveTheButton()
    {
        auto w = makeWindow();
        // Placed so that the menu fits where it is asked for.
        const QRect screen = w->screen()->availableGeometry();
        w->resize(270, 400);
        w->move(screen.left() + 100, screen.top());
        QSkinButton* menuButton = control(w.get(), "menuButton");
        const QPoint at = w->mapToGlobal(menuButton->geometry().topLeft()) - QPoint(0, 50);
        QRect geometry;
        bool answered = false;
        const TestUtil::Poll poll = chooseInMenu(Dismiss, &answered, &geometry);
        QTest::mouseClick(menuButton, Qt::LeftButton);
        QVERIFY(answered);
        QVERIFY(screen.contains(QRect(at, geometry.size())));
        QCOMPARE(geometry.topLeft(), at);
        QVERIFY(topLevel<AboutDialog>().isEmpty());
        QVERIFY(topLevel<UpdateDialog>().isEmpty());
        QVERIFY(opened.isEmpty());
    }

    void aboutTwiceGivesTwoDialogs()
    {
        auto w = makeWindow();
        for (int round = 1; round <= 2; ++round) {
            QVERIFY(chooseInMainMenu(w.get(), FirstEntry));
            QCOMPARE(topLevel<AboutDialog>().size(), round);
        }
        const QList<AboutDialog*> dialogs = topLevel<AboutDialog>();
        QVERIFY(dialogs.at(0) != dialogs.at(1));
        for (AboutDialog* about : dialogs) {
            QVERIFY(!about->parentWidget());
            QVERIFY(about->testAttribute(Qt::WA_DeleteOnClose));
        }
    }

    void helpOpensTheShippedPage()
    {
        auto w = makeWindow();
        QVERIFY(chooseInMainMenu(w.get(), SecondEntry));
        // The page beside the executable, opened as a local file (it works offline).
        const QString page = QDir::current().filePath(QStringLiteral("help/index.html"));
        QCOMPARE(opened, QStringList { QUrl::fromLocalFile(page).toString() });
        const QString html = QString::fromUtf8(TestUtil::readFile(page));
        for (const char* topic : { "使用帮助", "分组", "网址", "搜索", "拖" }) {
            QVERIFY2(html.contains(QString::fromUtf8(topic)), topic);
        }
        QVERIFY(topLevel<QSkinMessageBox>().isEmpty());
    }

    void helpThatCannotOpenIsReported()
    {
        openSucceeds = false;
        auto w = makeWindow();
        QString text;
        const TestUtil::Poll boxes = TestUtil::answerEachModal([&](QWidget* box) {
            text = box->findChild<QLabel*>(QStringLiteral("label"))->text();
            box->findChild<QPushButton*>(QStringLiteral("btnNormal"))->click();
        });
        QVERIFY(chooseInMainMenu(w.get(), SecondEntry));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(boxes.answered(), 1);
        QCOMPARE(text, QStringLiteral("无法打开使用帮助页面"));
    }

    void updateEntryOpensAndChecks()
    {
        auto w = makeWindow();
        QVERIFY(chooseInMainMenu(w.get(), ThirdEntry));
        const QList<UpdateDialog*> dialogs = topLevel<UpdateDialog>();
        QCOMPARE(dialogs.size(), 1);
        QVERIFY(!dialogs.at(0)->parentWidget());
        // The delivered settings name no update address: the check ends at once as "current".
        QCOMPARE(dialogs.at(0)->findChild<QLabel*>(QStringLiteral("labelState"))->text(),
                 QStringLiteral("当前已是最新版,无需更新!"));
    }

    void calculatorAndEditor_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("missing");
        QTest::newRow("calculator") << QStringLiteral("calcButton") << QStringLiteral("gnome-calculator")
                                    << QStringLiteral("未找到计算器程序");
        QTest::newRow("text editor") << QStringLiteral("noteButton") << QStringLiteral("gnome-text-editor")
                                     << QStringLiteral("未找到文本编辑器");
    }

    void calculatorAndEditor()
    {
        QFETCH(QString, button);
        QFETCH(QString, program);
        QFETCH(QString, missing);
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        // Only this folder is searched for programs.
        const TestUtil::EnvGuard path("PATH", QFile::encodeName(bin.path()));
        auto w = makeWindow();
        QSkinButton* pressed = control(w.get(), qPrintable(button));
        QStringList texts;
        const TestUtil::Poll boxes = TestUtil::answerEachModal([&](QWidget* box) {
            texts.append(box->findChild<QLabel*>(QStringLiteral("label"))->text());
            box->findChild<QPushButton*>(QStringLiteral("btnNormal"))->click();
        });

        // None installed: one skinned notice per press, naming what to install.
        QTest::mouseClick(pressed, Qt::LeftButton);
        QCOMPARE(boxes.answered(), 1);
        QTest::mouseClick(pressed, Qt::LeftButton);
        QCOMPARE(boxes.answered(), 2);
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts.at(0).startsWith(missing + QLatin1Char('\n')), qPrintable(texts.at(0)));
        QVERIFY(texts.at(0).contains(program));

        // Installed: started, no notice.
        const QString log = bin.filePath(QStringLiteral("started.log"));
        const QString stand_in = bin.filePath(program);
        QVERIFY(TestUtil::writeFile(stand_in, "#!/bin/sh\necho started >> '" + QFile::encodeName(log) + "'\n"));
        QVERIFY(QFile::setPermissions(stand_in, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QTest::mouseClick(pressed, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(TestUtil::readFile(log), QByteArray("started\n"), 30000);
        QCOMPARE(boxes.answered(), 2);

        // Installed but unable to start: reported as well.
        QVERIFY(TestUtil::writeFile(stand_in,
                                    "\x7f"
                                    "ELF broken"));
        QTest::mouseClick(pressed, Qt::LeftButton);
        QCOMPARE(boxes.answered(), 3);
        QVERIFY2(texts.at(2).startsWith(QStringLiteral("无法启动")), qPrintable(texts.at(2)));
    }

    void skinPicker_data()
    {
        QTest::addColumn<int>("skin");
        for (int skin = 1; skin <= 4; ++skin) {
            QTest::addRow("skin %d", skin) << skin;
        }
    }

    void skinPicker()
    {
        QFETCH(int, skin);
        auto w = makeWindow();
        // Every start begins with skin 1.
        QVERIFY(showsSkin(w.get(), 1));

        QTest::mouseClick(control(w.get(), "skinButton"), Qt::LeftButton);
        QCOMPARE(topLevel<SkinSettingDialog>().size(), 1);
        SkinSettingDialog* picker = topLevel<SkinSettingDialog>().at(0);
        QVERIFY(!picker->parentWidget());
        QSkinButton* const buttons[] = { picker->btnSkin1, picker->btnSkin2, picker->btnSkin3, picker->btnSkin4 };
        // Another skin first, so that every click shows a change.
        QTest::mouseClick(buttons[skin % 4], Qt::LeftButton);
        QVERIFY(showsSkin(w.get(), skin % 4 + 1));
        QTest::mouseClick(buttons[skin - 1], Qt::LeftButton);
        QVERIFY(showsSkin(w.get(), skin));
        QVERIFY(picker->isVisible()); // the picker stays open
    }

    void eachPressGivesAnotherPicker()
    {
        auto w = makeWindow();
        QTest::mouseClick(control(w.get(), "skinButton"), Qt::LeftButton);
        QTest::mouseClick(control(w.get(), "skinButton"), Qt::LeftButton);
        const QList<SkinSettingDialog*> pickers = topLevel<SkinSettingDialog>();
        QCOMPARE(pickers.size(), 2);
        QTest::mouseClick(pickers.at(1)->btnSkin2, Qt::LeftButton);
        QVERIFY(showsSkin(w.get(), 2));
        QTest::mouseClick(pickers.at(0)->btnSkin4, Qt::LeftButton);
        QVERIFY(showsSkin(w.get(), 4));
        // One picker closed, the other still works.
        QPointer<SkinSettingDialog> closed = pickers.at(0);
        closed->onCloseWin();
        QTRY_VERIFY(closed.isNull());
        QTest::mouseClick(pickers.at(1)->btnSkin3, Qt::LeftButton);
        QVERIFY(showsSkin(w.get(), 3));
        // The null button is skin 1.
        w->onSkinChange(nullptr);
        QVERIFY(showsSkin(w.get(), 1));
    }

    void pickerOutlivesTheWindow()
    {
        auto w = makeWindow();
        QTest::mouseClick(control(w.get(), "skinButton"), Qt::LeftButton);
        QPointer<SkinSettingDialog> picker = topLevel<SkinSettingDialog>().value(0);
        QVERIFY(picker);
        w.reset();
        // A click on a picker whose window is gone changes nothing and harms nothing.
        QTest::mouseClick(picker->btnSkin2, Qt::LeftButton);
        QVERIFY(picker->isVisible());
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
