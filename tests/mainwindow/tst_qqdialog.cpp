#include "icondatabase.h"
#include "mainwindowfixture.h"
#include "qqdialog.h"
#include "qqtab.h"
#include "qqtree.h"
#include "qskinbutton.h"
#include "qskinlabel.h"
#include "testutil.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollArea>
#include <QtTest>

#include <memory>

namespace
{
struct Control
{
    const char* name;
    QRect geometry;
    bool visible;
};

/// Captures the text and title of the next message box and presses its OK button.
struct MessageCatcher
{
    QString title;
    QString text;
    bool done = false;
    TestUtil::Poll poll;

    void arm()
    {
        poll = TestUtil::answerModal(
            [this](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box) {
                    return;
                }
                title = box->windowTitle();
                text = box->text();
                box->button(QMessageBox::Ok)->click();
            },
            &done);
    }
};
} // namespace

class TestQQDialog : public MainWindowFixture
{
    Q_OBJECT

private:
    int iconTeamA = 0;
    int iconTeamB = 0;
    int siteTeam = 0;

    /// Drops the given URLs on the icon tree as a file manager would, through the tree's signal.
    void drop(QQDialog* w, const QList<QUrl>& urls, int teamid)
    {
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        emit tree(w, "iconTree")->sig_dragEvent(&event, teamid, 0);
        QVERIFY(event.isAccepted());
        QCOMPARE(event.dropAction(), Qt::CopyAction);
        delete mime;
    }

private slots:
    void initTestCase()
    {
        openCatalogue();
        recordOpens();
    }

    void init()
    {
        startEmpty();
        iconTeamA = db.addTeam(QStringLiteral("常用软件"), en_team_icon);
        iconTeamB = db.addTeam(QStringLiteral("文档"), en_team_icon);
        siteTeam = db.addTeam(QStringLiteral("常用网址"), en_team_site);
        QVERIFY(iconTeamA && iconTeamB && siteTeam);
    }

    void constructionState()
    {
        auto w = makeWindow();
        QCOMPARE(w->objectName(), QStringLiteral("QQDialog"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Brisko桌面"));
        QCOMPARE(w->size(), QSize(270, 580));
        QCOMPARE(w->minimumSize(), QSize(200, 400));
        const Qt::WindowFlags flags = w->windowFlags();
        QCOMPARE(w->windowType(), Qt::Tool);
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));

        const Control controls[] = {
            { "logoLabel", { 14, 36, 50, 50 }, true },         { "dateLabel", { 80, 34, 180, 30 }, true },
            { "timeLabel", { 80, 60, 200, 30 }, true },        { "searchBackLabel", { 0, 100, 270, 30 }, false },
            { "searchEdit", { 0, 100, 240, 30 }, false },      { "searchButton", { 0, 100, 270, 30 }, true },
            { "searchIconLabel", { 245, 105, 20, 20 }, true }, { "searchClearButton", { 245, 105, 20, 20 }, false },
            { "tabBar", { 1, 130, 268, 30 }, true },           { "skinButton", { 192, 6, 20, 14 }, true },
            { "menuButton", { 5, 552, 24, 24 }, true },        { "calcButton", { 39, 552, 24, 24 }, true },
            { "noteButton", { 73, 552, 24, 24 }, true },
        };
        for (const Control& c : controls) {
            auto* widget = w->findChild<QWidget*>(QLatin1String(c.name));
            QVERIFY2(widget, c.name);
            QCOMPARE(widget->parentWidget(), w.get());
            QCOMPARE(widget->geometry(), c.geometry);
            QVERIFY2(widget->isVisible() == c.visible, c.name);
        }
        const Control pages[] = {
            { "iconTree", { 0, 160, 270, 388 }, true },
            { "siteTree", { 0, 160, 270, 388 }, false },
            { "recentTree", { 0, 160, 270, 388 }, false },
            { "searchTree", { 0, 130, 270, 418 }, false },
        };
        for (const Control& c : pages) {
            QQTree* t = tree(w.get(), c.name);
            QVERIFY2(t, c.name);
            QCOMPARE(t->getScroll()->parentWidget(), w.get());
            QCOMPARE(t->getScroll()->geometry(), c.geometry);
            QVERIFY2(t->getScroll()->isVisible() == c.visible, c.name);
        }

        auto* tabs = w->findChild<QQTab*>(QStringLiteral("tabBar"));
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->currentItem(), 1);
        QCOMPARE(tabs->page(1), tree(w.get(), "iconTree")->getScroll());
        QCOMPARE(tabs->page(2), tree(w.get(), "siteTree")->getScroll());
        QCOMPARE(tabs->page(3), tree(w.get(), "recentTree")->getScroll());

        QCOMPARE(w->focusWidget(), tree(w.get(), "iconTree"));

        // The recent and search pages have one headerless group each.
        for (const char* name : { "recentTree", "searchTree" }) {
            QQTree* t = tree(w.get(), name);
            QCOMPARE(t->teamIds(), QList<int> { 1 });
            QCOMPARE(t->teamRect(1).height(), 0);
        }
        QCOMPARE(tree(w.get(), "recentTree")->teamName(1), QStringLiteral("最近打开"));
        QCOMPARE(tree(w.get(), "searchTree")->teamName(1), QStringLiteral("搜索结果"));

        // The clock shows the current date at once, in black.
        auto* date = w->findChild<QSkinLabel*>(QStringLiteral("dateLabel"));
        QCOMPARE(date->text(), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        QCOMPARE(date->textColor(), QColor(0, 0, 0));
        QVERIFY(w->findChild<QSkinLabel*>(QStringLiteral("timeLabel"))->text().contains(QLatin1Char(':')));
        auto* prompt = w->findChild<QSkinButton*>(QStringLiteral("searchButton"));
        QCOMPARE(prompt->btnStyle(), 2);
        QCOMPARE(prompt->text(), QStringLiteral("输入图标关键字进行搜索"));
    }

    void emptyCatalogue()
    {
        clearCatalogue();
        auto w = makeWindow(Show::Hidden);
        QCOMPARE(tree(w.get(), "iconTree")->getTeamCount(), 0);
        QCOMPARE(tree(w.get(), "siteTree")->getTeamCount(), 0);
        QCOMPARE(tree(w.get(), "recentTree")->itemCount(1), 0);
        QCOMPARE(tree(w.get(), "searchTree")->itemCount(1), 0);
    }

    void fillsGroupsClosedAndInOrder()
    {
        const int file = db.addItem(QStringLiteral("a"), makeFile(QStringLiteral("a.txt")), iconTeamB, en_team_icon);
        const int site
            = db.addItem(QStringLiteral("站点"), QStringLiteral("https://example.org"), siteTeam, en_team_site);
        auto w = makeWindow(Show::Hidden);
        QQTree* icons = tree(w.get(), "iconTree");
        QCOMPARE(icons->teamIds(), (QList<int> { iconTeamA, iconTeamB }));
        QCOMPARE(icons->teamName(iconTeamA), QStringLiteral("常用软件"));
        QVERIFY(!icons->isTeamOpen(iconTeamA));
        QVERIFY(!icons->isTeamOpen(iconTeamB));
        QCOMPARE(icons->itemIds(iconTeamB), QList<int> { file });
        QQTree* sites = tree(w.get(), "siteTree");
        QCOMPARE(sites->teamIds(), QList<int> { siteTeam });
        QCOMPARE(sites->itemIds(siteTeam), QList<int> { site });
        QCOMPARE(sites->itemName(site), QStringLiteral("站点"));
    }

    void recentListsTwenty()
    {
        QList<int> ids;
        for (int i = 0; i < 33; ++i) {
            ids.append(db.addItem(
                QStringLiteral("item%1").arg(i), QStringLiteral("/nowhere/%1").arg(i), iconTeamA, en_team_icon));
        }
        db.setItemLastTime(ids[5], 100);
        db.setItemLastTime(ids[20], 300);
        db.setItemLastTime(ids[11], 200);
        auto w = makeWindow(Show::Hidden);
        QQTree* recent = tree(w.get(), "recentTree");
        const QList<int> shown = recent->itemIds(1);
        QCOMPARE(shown.size(), 20);
        QCOMPARE(shown.mid(0, 3), (QList<int> { ids[20], ids[11], ids[5] }));
        QCOMPARE(tree(w.get(), "iconTree")->itemCount(iconTeamA), 33);
    }

    void recentSkipsOtherKinds()
    {
        const int file = db.addItem(QStringLiteral("文件"), makeFile(QStringLiteral("f.txt")), iconTeamA, en_team_icon);
        const int site
            = db.addItem(QStringLiteral("站点"), QStringLiteral("https://example.org"), siteTeam, en_team_site);
        const int odd = db.addItem(QStringLiteral("其他"), QStringLiteral("/x"), iconTeamA, 3);
        QVERIFY(odd);
        db.setItemLastTime(odd, 500);
        db.setItemLastTime(site, 400);
        db.setItemLastTime(file, 300);
        auto w = makeWindow(Show::Hidden);
        QCOMPARE(tree(w.get(), "recentTree")->itemIds(1), (QList<int> { site, file }));
        QVERIFY(!tree(w.get(), "iconTree")->hasItem(odd));
    }

    void resizeFollowsRules_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("smallest") << QSize(200, 400);
        QTest::newRow("larger") << QSize(500, 900);
    }

    /// Every control where the window's rules put it in a W x H window: anchored to the left, the right or the
    /// bottom, or growing with the window.
    static void checkLayout(QQDialog* w, int W, int H)
    {
        const Control controls[] = {
            { "logoLabel", { 14, 36, 50, 50 }, true },
            { "dateLabel", { 80, 34, 180, 30 }, true },
            { "timeLabel", { 80, 60, 200, 30 }, true },
            { "searchBackLabel", { 0, 100, W, 30 }, false },
            { "searchEdit", { 0, 100, W - 30, 30 }, false },
            { "searchButton", { 0, 100, W, 30 }, true },
            { "searchIconLabel", { W - 25, 105, 20, 20 }, true },
            { "searchClearButton", { W - 25, 105, 20, 20 }, false },
            { "tabBar", { 1, 130, W - 2, 30 }, true },
            { "skinButton", { W - 78, 6, 20, 14 }, true },
            { "menuButton", { 5, H - 28, 24, 24 }, true },
            { "calcButton", { 39, H - 28, 24, 24 }, true },
            { "noteButton", { 73, H - 28, 24, 24 }, true },
        };
        for (const Control& c : controls) {
            auto* widget = w->findChild<QWidget*>(QLatin1String(c.name));
            QVERIFY2(widget->geometry() == c.geometry, c.name);
            QVERIFY2(widget->isVisible() == c.visible, c.name);
        }
        for (const char* name : { "iconTree", "siteTree", "recentTree" }) {
            QVERIFY2(tree(w, name)->getScroll()->geometry() == QRect(0, 160, W, H - 192), name);
        }
        QCOMPARE(tree(w, "searchTree")->getScroll()->geometry(), QRect(0, 130, W, H - 162));
    }

    void resizeFollowsRules()
    {
        QFETCH(QSize, size);
        auto w = makeWindow();
        checkLayout(w.get(), 270, 580);
        if (QTest::currentTestFailed()) {
            return;
        }
        w->resize(size);
        QTRY_COMPARE(w->size(), size);
        checkLayout(w.get(), size.width(), size.height());
        if (QTest::currentTestFailed()) {
            return;
        }

        // And back again: every control where it began.
        w->resize(270, 580);
        QTRY_COMPARE(w->size(), QSize(270, 580));
        checkLayout(w.get(), 270, 580);
    }

    void dropOnGroup()
    {
        const int existing
            = db.addItem(QStringLiteral("old"), makeFile(QStringLiteral("old.txt")), iconTeamA, en_team_icon);
        auto w = makeWindow();
        QQTree* icons = tree(w.get(), "iconTree");
        const QStringList paths = { makeFile(QStringLiteral("report.txt")),
                                    makeFile(QStringLiteral("a.tar.gz")),
                                    makeFile(QStringLiteral(".profile")) };
        drop(w.get(),
             { QUrl::fromLocalFile(paths[0]), QUrl::fromLocalFile(paths[1]), QUrl::fromLocalFile(paths[2]) },
             iconTeamA);
        const QList<int> ids = icons->itemIds(iconTeamA);
        QCOMPARE(ids.size(), 4);
        QCOMPARE(ids.first(), existing);
        QCOMPARE(icons->itemName(ids[1]), QStringLiteral("report"));
        QCOMPARE(icons->itemName(ids[2]), QStringLiteral("a.tar"));
        QCOMPARE(icons->itemName(ids[3]), QStringLiteral(".profile"));
        QVERIFY(icons->isTeamOpen(iconTeamA));
        QVERIFY(!icons->isTeamOpen(iconTeamB));

        QList<IconItemInfo> stored;
        db.getTeamItems(stored, iconTeamA);
        QCOMPARE(stored.size(), 4);
        for (int i = 1; i < 4; ++i) {
            QCOMPARE(stored[i].id, ids[i]);
            QCOMPARE(stored[i].file_name, paths[i - 1]);
            QCOMPARE(stored[i].icon_name, icons->itemName(ids[i]));
            QCOMPARE(stored[i].ttype, int(en_team_icon));
            QCOMPARE(stored[i].last_time, 0);
        }
    }

    void dropFolder()
    {
        const QString folder = files.filePath(QStringLiteral("项目 v1.2"));
        QVERIFY(QDir().mkpath(folder));
        auto w = makeWindow();
        drop(w.get(), { QUrl::fromLocalFile(folder) }, iconTeamA);
        QQTree* icons = tree(w.get(), "iconTree");
        QCOMPARE(icons->itemCount(iconTeamA), 1);
        const int id = icons->itemIds(iconTeamA).first();
        QCOMPARE(icons->itemName(id), QStringLiteral("项目 v1"));
        IconItemInfo info;
        QVERIFY(db.getItem(info, id));
        QCOMPARE(info.file_name, folder);
    }

    void dropOnEmptySpaceGoesToLastGroup()
    {
        auto w = makeWindow();
        drop(w.get(),
             { QUrl::fromLocalFile(makeFile(QStringLiteral("x.txt"))),
               QUrl::fromLocalFile(makeFile(QStringLiteral("y.txt"))) },
             0);
        QQTree* icons = tree(w.get(), "iconTree");
        QCOMPARE(icons->itemCount(iconTeamB), 2);
        QCOMPARE(icons->itemCount(iconTeamA), 0);
        QVERIFY(icons->isTeamOpen(iconTeamB));
        QList<IconItemInfo> stored;
        db.getTeamItems(stored, iconTeamB);
        QCOMPARE(stored.size(), 2);
    }

    void dropWithoutGroupsAddsNothing()
    {
        clearCatalogue();
        auto w = makeWindow();
        drop(w.get(), { QUrl::fromLocalFile(makeFile(QStringLiteral("x.txt"))) }, 0);
        QCOMPARE(storedCount(), 0);
    }

    void dropSameFileTwice()
    {
        auto w = makeWindow();
        const QUrl url = QUrl::fromLocalFile(makeFile(QStringLiteral("twice.txt")));
        drop(w.get(), { url, url }, iconTeamA);
        drop(w.get(), { url }, iconTeamA);
        QQTree* icons = tree(w.get(), "iconTree");
        const QList<int> ids = icons->itemIds(iconTeamA);
        QCOMPARE(ids.size(), 3);
        QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), 3);
        QCOMPARE(storedCount(), 3);
    }

    void dropSymbolicLink()
    {
        const QString target = makeFile(QStringLiteral("real-editor.sh"), "#!/bin/sh\n");
        const QString link = files.filePath(QStringLiteral("Editor.lnk"));
        QVERIFY(QFile::link(target, link));
        auto w = makeWindow();
        drop(w.get(), { QUrl::fromLocalFile(link) }, iconTeamA);
        QQTree* icons = tree(w.get(), "iconTree");
        QCOMPARE(icons->itemCount(iconTeamA), 1);
        const int id = icons->itemIds(iconTeamA).first();
        QCOMPARE(icons->itemName(id), QStringLiteral("Editor"));
        IconItemInfo info;
        QVERIFY(db.getItem(info, id));
        QCOMPARE(info.file_name, target);
    }

    void dropLauncher()
    {
        const QString launcher = makeFile(QStringLiteral("org.example.Fancy.desktop"),
                                          "[Desktop Entry]\nType=Application\nName=Fancy Editor\n"
                                          "Exec=true %F\nIcon=text-editor\n");
        // Made executable by its owner: a launcher the desktop trusts.
        QVERIFY(QFile::setPermissions(launcher, QFile::permissions(launcher) | QFile::ExeOwner));
        auto w = makeWindow();
        drop(w.get(), { QUrl::fromLocalFile(launcher) }, iconTeamA);
        QQTree* icons = tree(w.get(), "iconTree");
        QCOMPARE(icons->itemCount(iconTeamA), 1);
        const int id = icons->itemIds(iconTeamA).first();
        QCOMPARE(icons->itemName(id), QStringLiteral("Fancy Editor"));
        IconItemInfo info;
        QVERIFY(db.getItem(info, id));
        QCOMPARE(info.file_name, launcher);

        // Opening it starts the application through the platform, never an editor on the file.
        w->onTreeDbClicked(iconTeamA, id);
        QCOMPARE(opened, QStringList { launcher });
    }

    void dropWebLinkAddsNothing()
    {
        auto w = makeWindow();
        const QString file = makeFile(QStringLiteral("kept.txt"));
        drop(w.get(), { QUrl(QStringLiteral("https://example.org/page")), QUrl::fromLocalFile(file) }, iconTeamA);
        QQTree* icons = tree(w.get(), "iconTree");
        QCOMPARE(icons->itemCount(iconTeamA), 1);
        QCOMPARE(icons->itemName(icons->itemIds(iconTeamA).first()), QStringLiteral("kept"));
        QCOMPARE(storedCount(), 1);

        drop(w.get(), { QUrl(QStringLiteral("https://example.org/other")) }, iconTeamA);
        QCOMPARE(icons->itemCount(iconTeamA), 1);
        QCOMPARE(storedCount(), 1);
    }

    void dropMissingFileSkipsOnlyIt()
    {
        auto w = makeWindow();
        const QString file = makeFile(QStringLiteral("present.txt"));
        drop(w.get(),
             { QUrl::fromLocalFile(files.filePath(QStringLiteral("gone.txt"))), QUrl::fromLocalFile(file) },
             iconTeamA);
        QCOMPARE(tree(w.get(), "iconTree")->itemCount(iconTeamA), 1);
        QCOMPARE(storedCount(), 1);
    }

    void openExistingFile()
    {
        const QString path = makeFile(QStringLiteral("notes.txt"));
        const int id = db.addItem(QStringLiteral("notes"), path, iconTeamA, en_team_icon);
        auto w = makeWindow();
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        w->onTreeDbClicked(iconTeamA, id);
        QCOMPARE(opened, QStringList { path });
        IconItemInfo info;
        QVERIFY(db.getItem(info, id));
        QVERIFY(info.last_time >= before && info.last_time <= QDateTime::currentSecsSinceEpoch());
        QQTree* recent = tree(w.get(), "recentTree");
        QCOMPARE(recent->itemIds(1).value(0), id);
        QCOMPARE(recent->itemName(id), QStringLiteral("notes"));
    }

    void openGroupHeaderDoesNothing()
    {
        auto w = makeWindow();
        w->onTreeDbClicked(iconTeamA, 0);
        QVERIFY(opened.isEmpty());
        QCOMPARE(tree(w.get(), "recentTree")->itemCount(1), 0);
    }

    void openMissingFile()
    {
        const QString path = files.filePath(QStringLiteral("deleted/program.bin"));
        const int id = db.addItem(QStringLiteral("program"), path, iconTeamA, en_team_icon);
        auto w = makeWindow();
        QQTree* recent = tree(w.get(), "recentTree");
        const QList<int> recentBefore = recent->itemIds(1);
        MessageCatcher message;
        message.arm();
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        w->onTreeDbClicked(iconTeamA, id);
        QTRY_VERIFY(message.done);
        QCOMPARE(message.title, QStringLiteral("错误"));
        QCOMPARE(message.text, QStringLiteral("打开失败!该程序可能已被删除,位置: %1").arg(path));
        QVERIFY(opened.isEmpty());
        IconItemInfo info;
        QVERIFY(db.getItem(info, id));
        QVERIFY(info.last_time >= before);
        QCOMPARE(recent->itemIds(1), recentBefore);
    }

    void openSites_data()
    {
        // The address as stored, and what opens (empty: refused as malformed).
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("handed");
        QTest::newRow("good") << QStringLiteral("https://example.org/") << QStringLiteral("https://example.org/");
        QTest::newRow("address and port")
            << QStringLiteral("192.168.1.1:8080") << QStringLiteral("http://192.168.1.1:8080");
        QTest::newRow("host and port") << QStringLiteral("localhost:8080") << QStringLiteral("http://localhost:8080");
        QTest::newRow("malformed") << QStringLiteral("http://bad address/%%") << QString();
    }

    void openSites()
    {
        QFETCH(QString, address);
        QFETCH(QString, handed);
        const int id = db.addItem(QStringLiteral("站点"), address, siteTeam, en_team_site);
        auto w = makeWindow();
        MessageCatcher message;
        if (handed.isEmpty()) {
            message.arm();
        }
        w->onSiteTreeDbClicked(siteTeam, id);
        if (handed.isEmpty()) {
            // Refused before anything was asked to open it.
            QTRY_VERIFY(message.done);
            QCOMPARE(message.title, QStringLiteral("错误"));
            QCOMPARE(message.text, QStringLiteral("打开失败!,网址格式可能存在错误,请检查!"));
            QVERIFY(opened.isEmpty());
        } else {
            QCOMPARE(opened, QStringList { handed });
        }
        QQTree* recent = tree(w.get(), "recentTree");
        QCOMPARE(recent->itemIds(1).value(0), id);
        IconItemInfo info;
        QVERIFY(db.getItem(info, id));
        QVERIFY(info.last_time > 0);
        // The address stays as it was typed.
        QCOMPARE(info.file_name, address);
    }

    void reopenMovesToTop()
    {
        const int a = db.addItem(QStringLiteral("a"), makeFile(QStringLiteral("a1.txt")), iconTeamA, en_team_icon);
        const int b = db.addItem(QStringLiteral("b"), makeFile(QStringLiteral("b1.txt")), iconTeamA, en_team_icon);
        auto w = makeWindow();
        w->onTreeDbClicked(iconTeamA, a);
        w->onTreeDbClicked(iconTeamA, b);
        w->onSearchTreeDbClicked(1, a);
        QQTree* recent = tree(w.get(), "recentTree");
        QCOMPARE(recent->itemIds(1).mid(0, 2), (QList<int> { a, b }));
    }

    void searchKeysWalkAndOpen()
    {
        const int a = db.addItem(QStringLiteral("a"), makeFile(QStringLiteral("k1.txt")), iconTeamA, en_team_icon);
        const int b = db.addItem(QStringLiteral("b"), makeFile(QStringLiteral("k2.txt")), iconTeamA, en_team_icon);
        auto w = makeWindow();
        QQTree* results = tree(w.get(), "searchTree");
        results->addItem(a, 1, QStringLiteral("a"), QPixmap());
        results->addItem(b, 1, QStringLiteral("b"), QPixmap());
        results->selectItem(1, a);
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("searchEdit"));
        edit->show();
        QTest::keyClick(edit, Qt::Key_Down);
        int team = 0;
        int item = 0;
        results->getSelectItem(team, item);
        QCOMPARE(item, b);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(tree(w.get(), "recentTree")->itemIds(1).value(0), b);
        QTest::keyClick(edit, Qt::Key_Up);
        results->getSelectItem(team, item);
        QCOMPARE(item, a);
        QTest::keyClicks(edit, QStringLiteral("xy"));
        QCOMPARE(edit->text(), QStringLiteral("xy"));
    }

    void minimiseWithoutTrayLeavesAWayBack()
    {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            QSKIP("a system tray is available: minimising hides the window");
        }
        auto w = makeWindow();
        const QRect before = w->geometry();
        w->onMinWin();
        QVERIFY(w->isMinimized());
        // Not a tool window while minimised, so task bars list it.
        QCOMPARE(w->windowType(), Qt::Window);
        w->showNormal();
        QTRY_COMPARE(w->windowType(), Qt::Tool);
        QVERIFY(w->isVisible());
        QCOMPARE(w->size(), before.size());
    }

    void trayClicksShowTheWindow_data()
    {
        QTest::addColumn<int>("reason");
        QTest::newRow("single click") << int(QSystemTrayIcon::Trigger);
        QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick);
    }

    void trayClicksShowTheWindow()
    {
        QFETCH(int, reason);
        auto w = makeWindow();
        w->hide();
        w->onTrayActivate(QSystemTrayIcon::ActivationReason(reason));
        QVERIFY(w->isVisible());
        // Already shown: stays shown.
        w->onTrayActivate(QSystemTrayIcon::ActivationReason(reason));
        QVERIFY(w->isVisible());
        // A middle click does nothing.
        w->hide();
        w->onTrayActivate(QSystemTrayIcon::MiddleClick);
        QVERIFY(!w->isVisible());
    }

    void trayMenu_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("shown");
        QTest::newRow("显示") << QList<int> { Qt::Key_Down, Qt::Key_Return } << true;
        QTest::newRow("dismissed") << QList<int> { Qt::Key_Escape } << false;
    }

    void trayMenu()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, shown);
        auto w = makeWindow();
        w->hide();
        bool answered = false;
        const TestUtil::Poll poll = TestUtil::answerPopup(
            [&](QWidget* popup) {
                for (const int key : keys) {
                    QTest::keyClick(popup, Qt::Key(key));
                }
            },
            &answered);
        w->onTrayActivate(QSystemTrayIcon::Context);
        QVERIFY(answered);
        QCOMPARE(w->isVisible(), shown);
    }

    void closeEndsTheEventLoop_data()
    {
        QTest::addColumn<bool>("titleBar");
        QTest::newRow("title bar close button") << true;
        // A close that does not come through the title bar (the window manager, a window list).
        QTest::newRow("window manager close") << false;
    }

    void closeEndsTheEventLoop()
    {
        QFETCH(bool, titleBar);
        auto w = makeWindow();
        bool fellBack = false;
        QTimer::singleShot(0, w.get(), [&] {
            if (titleBar) {
                w->onCloseWin();
            } else {
                w->close();
            }
        });
        QTimer fallback; // dies with this test, so it can never fire in a later one
        fallback.setSingleShot(true);
        connect(&fallback, &QTimer::timeout, qApp, [&] {
            fellBack = true;
            QCoreApplication::quit();
        });
        fallback.start(20000);
        QCoreApplication::exec();
        QVERIFY(!fellBack);
        QVERIFY(!w->isVisible());
    }

    void escapeKeepsTheWindow()
    {
        auto w = makeWindow();
        QTest::keyClick(w.get(), Qt::Key_Escape);
        QVERIFY(w->isVisible());
        w->reject();
        QVERIFY(w->isVisible());
    }

    void skinOne()
    {
        // The pictures of skin 1, as its files hold them.
        const auto picture = [](const QString& path) { return QImage(path).convertToFormat(QImage::Format_ARGB32); };
        const QImage bottom = picture(QStringLiteral("Skins/main_bg/1/main_bg_bottom.png"));
        const QImage top = picture(QStringLiteral("Skins/main_bg/1/main_bg_top.png"));
        QVERIFY(!bottom.isNull() && !top.isNull());
        const auto shows = [](QQDialog* w, const QImage& b, const QImage& t) {
            return w->bgImage().toImage().convertToFormat(QImage::Format_ARGB32) == b
                && w->bg2Image().toImage().convertToFormat(QImage::Format_ARGB32) == t;
        };

        auto w = makeWindow();
        QVERIFY(shows(w.get(), bottom, top)); // the window starts with skin 1

        // Another skin, then skin 1 again: a call without a button is skin 1.
        QSkinButton other;
        other.setId(3);
        w->onSkinChange(&other);
        QVERIFY(shows(w.get(),
                      picture(QStringLiteral("Skins/main_bg/3/main_bg_bottom.png")),
                      picture(QStringLiteral("Skins/main_bg/3/main_bg_top.png"))));
        QVERIFY(!shows(w.get(), bottom, top));
        w->onSkinChange(nullptr);
        QVERIFY(shows(w.get(), bottom, top));
        QVERIFY(w->isVisible());
    }
};

QTEST_MAIN(TestQQDialog)
#include "tst_qqdialog.moc"
