// Groups that were never opened: their counts are right from the start, and drops, moves, deletions, sites added
// and edited and search hits on them leave the trees as the catalogue holds them, before and after they open.
#include "icondatabase.h"
#include "mainwindowfixture.h"
#include "qqdialog.h"
#include "qqtree.h"
#include "qskinbutton.h"
#include "searchsession.h"
#include "testutil.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace
{
/// Answers every dialog a command opens: a site dialog is filled with `siteName` and saved, a question is
/// answered Yes, a notice is closed.
struct Answers
{
    QString siteName = QStringLiteral("新网站");
    TestUtil::Poll dialogs;

    void arm()
    {
        dialogs = TestUtil::answerEachModal([this](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                box->button(box->button(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok)->click();
            } else if (auto* name = w->findChild<QLineEdit*>(QStringLiteral("editName"))) {
                name->setText(siteName);
                if (auto* site = w->findChild<QLineEdit*>(QStringLiteral("editSite"))) {
                    site->setText(QStringLiteral("https://example.org/new"));
                }
                w->findChild<QPushButton*>(QStringLiteral("btnNormal"))->click();
            } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
                dialog->accept();
            }
        });
    }
};
} // namespace

class TestLazyGroups : public MainWindowFixture
{
    Q_OBJECT

private:
    /// Two groups of files (the second longer than a screen), a group of sites, and a group of files holding a
    /// site filed there by another program.
    int small = 0;
    int large = 0;
    int sites = 0;
    int mixed = 0;

    /// The ids of a group of one kind in the catalogue's order.
    QList<int> stored(int team, int ttype)
    {
        QList<IconItemInfo> all;
        db.getItemsByType(all, ttype);
        QList<int> ids;
        for (const IconItemInfo& item : std::as_const(all)) {
            if (item.team_id == team) {
                ids.append(item.id);
            }
        }
        return ids;
    }

    QQTree* kindTree(QQDialog* w, int team) { return tree(w, team == sites ? "siteTree" : "iconTree"); }
    int kindOf(int team) const { return team == sites ? en_team_site : en_team_icon; }

    /// The group as a fresh window shows it once opened: ids and names.
    QStringList shownInFreshWindow(int team)
    {
        auto fresh = makeWindow();
        QQTree* t = kindTree(fresh.get(), team);
        t->setTeamOpen(team, true);
        QStringList lines;
        for (const int id : t->itemIds(team)) {
            lines << QStringLiteral("%1 %2").arg(id).arg(t->itemName(id));
        }
        return lines;
    }

    QStringList storedLines(int team)
    {
        QStringList lines;
        for (const int id : stored(team, kindOf(team))) {
            IconItemInfo info;
            db.getItem(info, id);
            lines << QStringLiteral("%1 %2").arg(id).arg(info.icon_name);
        }
        return lines;
    }

    /// Chooses `entry` in the right-click menu of a row and answers every dialog the command opens.
    static void command(QQDialog* w, bool site, int teamid, int itemid, const QString& entry)
    {
        Answers answers;
        answers.arm();
        treeCommand(w, site, teamid, itemid, entry);
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
        small = db.addTeam(QStringLiteral("常用软件"), en_team_icon);
        large = db.addTeam(QStringLiteral("文档"), en_team_icon);
        mixed = db.addTeam(QStringLiteral("杂项"), en_team_icon);
        sites = db.addTeam(QStringLiteral("常用网址"), en_team_site);
        QVERIFY(db.beginBatch());
        for (int i = 0; i < 4; ++i) {
            db.addItem(
                QStringLiteral("工具 %1").arg(i), makeFile(QStringLiteral("tool%1.sh").arg(i)), small, en_team_icon);
        }
        for (int i = 0; i < 40; ++i) {
            db.addItem(QStringLiteral("report %1.pdf").arg(i),
                       makeFile(QStringLiteral("r%1.pdf").arg(i)),
                       large,
                       en_team_icon);
        }
        for (int i = 0; i < 3; ++i) {
            db.addItem(
                QStringLiteral("网站 %1").arg(i), QStringLiteral("https://example.org/%1").arg(i), sites, en_team_site);
        }
        db.addItem(QStringLiteral("notes"), makeFile(QStringLiteral("notes.txt")), mixed, en_team_icon);
        db.addItem(QStringLiteral("a site among files"), QStringLiteral("https://example.org/x"), mixed, en_team_site);
        QVERIFY(db.commitBatch());
        // Display order is not row order.
        const QList<int> ids = stored(large, en_team_icon);
        QVERIFY(db.swapItemOrder(ids[0], ids[7]));
        QVERIFY(db.setItemLastTime(ids[3], 100));
    }

    void countsBeforeAndAfterOpening()
    {
        auto w = makeWindow();
        for (const int team : { small, large, mixed, sites }) {
            QQTree* t = kindTree(w.get(), team);
            const QList<int> expected = stored(team, kindOf(team));
            QVERIFY(!t->isTeamOpen(team));
            QCOMPARE(t->itemCount(team), expected.size());
            t->setTeamOpen(team, true); // as a click on the header does
            QVERIFY(t->isTeamOpen(team));
            QCOMPARE(t->itemIds(team), expected);
            QCOMPARE(t->itemCount(team), expected.size());
            QStringList lines;
            for (const int id : expected) {
                lines << QStringLiteral("%1 %2").arg(id).arg(t->itemName(id));
            }
            QCOMPARE(lines, storedLines(team));
        }
        QCOMPARE(tree(w.get(), "iconTree")->itemCount(mixed), 1);
        // The recent page shows its items as before.
        QCOMPARE(tree(w.get(), "recentTree")->itemCount(1), 20);
        QCOMPARE(tree(w.get(), "recentTree")->itemIds(1).value(0), stored(large, en_team_icon).value(3));
    }

    void dropOnNeverOpenedGroup_data()
    {
        QTest::addColumn<bool>("onEmptySpace");
        QTest::addColumn<int>("files");
        QTest::newRow("one file on the group") << false << 1;
        QTest::newRow("three files on the group") << false << 3;
        QTest::newRow("two files below the groups") << true << 2;
    }

    void dropOnNeverOpenedGroup()
    {
        QFETCH(bool, onEmptySpace);
        QFETCH(int, files);
        auto w = makeWindow();
        QQTree* icons = tree(w.get(), "iconTree");
        // Below the groups, files go to the last group.
        const int target = onEmptySpace ? mixed : large;
        const QList<int> before = stored(target, en_team_icon);
        QCOMPARE(icons->itemCount(target), before.size());
        QList<QUrl> urls;
        for (int i = 0; i < files; ++i) {
            urls.append(QUrl::fromLocalFile(makeFile(QStringLiteral("dropped %1.odt").arg(i))));
        }
        QMimeData mime;
        mime.setUrls(urls);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        emit icons->sig_dragEvent(&event, onEmptySpace ? 0 : target, 0);

        const QList<int> after = stored(target, en_team_icon);
        QCOMPARE(after.size(), before.size() + files);
        QCOMPARE(after.mid(0, before.size()), before);
        QVERIFY(icons->isTeamOpen(target));
        QCOMPARE(icons->itemCount(target), after.size());
        QCOMPARE(icons->itemIds(target), after);
        QCOMPARE(icons->itemName(after.last()), QStringLiteral("dropped %1").arg(files - 1));
        QCOMPARE(shownInFreshWindow(target), storedLines(target));
    }

    void moveInNeverOpenedGroup_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("partnerRow");
        QTest::newRow("first down") << 0 << false << 1;
        QTest::newRow("middle up") << 5 << true << 4;
        QTest::newRow("last down: stays") << 39 << false << -1;
        QTest::newRow("first up: stays") << 0 << true << -1;
    }

    void moveInNeverOpenedGroup()
    {
        QFETCH(int, row);
        QFETCH(bool, up);
        QFETCH(int, partnerRow);
        auto w = makeWindow();
        QQTree* icons = tree(w.get(), "iconTree");
        QList<int> expected = stored(large, en_team_icon);
        const int moved = expected.at(row);
        command(w.get(), false, large, moved, up ? QStringLiteral("上移图标") : QStringLiteral("下移图标"));
        if (partnerRow >= 0) {
            expected.swapItemsAt(row, partnerRow);
        }
        QCOMPARE(stored(large, en_team_icon), expected);
        QCOMPARE(icons->itemCount(large), 40);
        QCOMPARE(icons->itemIds(large), expected);
        QCOMPARE(shownInFreshWindow(large), storedLines(large));
    }

    void deleteInNeverOpenedGroup()
    {
        auto w = makeWindow();
        QQTree* icons = tree(w.get(), "iconTree");
        QList<int> expected = stored(large, en_team_icon);
        const int gone = expected.takeAt(3); // the one on the recent page
        QVERIFY(tree(w.get(), "recentTree")->hasItem(gone));
        command(w.get(), false, large, gone, QStringLiteral("删除图标"));
        IconItemInfo info;
        QVERIFY(!db.getItem(info, gone));
        QVERIFY(!icons->isTeamOpen(large));
        QCOMPARE(icons->itemCount(large), 39);
        QVERIFY(!tree(w.get(), "recentTree")->hasItem(gone));
        QCOMPARE(icons->itemIds(large), expected);
        QVERIFY(!icons->hasItem(gone));
        QCOMPARE(shownInFreshWindow(large), storedLines(large));
    }

    void deleteNeverOpenedGroup()
    {
        auto w = makeWindow();
        QQTree* icons = tree(w.get(), "iconTree");
        const int recent = stored(large, en_team_icon).at(3);
        command(w.get(), false, large, 0, QStringLiteral("删除分组"));
        QCOMPARE(icons->teamIds(), (QList<int> { small, mixed }));
        QVERIFY(stored(large, en_team_icon).isEmpty());
        QVERIFY(!icons->hasItem(recent));
        QVERIFY(!tree(w.get(), "recentTree")->hasItem(recent));
        QCOMPARE(icons->itemCount(small), 4);
    }

    void siteAddedAndEditedInNeverOpenedGroup()
    {
        auto w = makeWindow();
        QQTree* siteTree = tree(w.get(), "siteTree");
        command(w.get(), true, sites, 0, QStringLiteral("添加网址"));
        const QList<int> after = stored(sites, en_team_site);
        QCOMPARE(after.size(), 4);
        QCOMPARE(siteTree->itemCount(sites), 4);
        QCOMPARE(siteTree->itemIds(sites), after);
        QCOMPARE(siteTree->itemName(after.last()), QStringLiteral("新网站"));
        QVERIFY(!siteTree->isTeamOpen(sites)); // the command does not open the group

        // Edited while its group was never opened in this window.
        auto other = makeWindow();
        command(other.get(), true, sites, after.first(), QStringLiteral("修改网址"));
        IconItemInfo info;
        QVERIFY(db.getItem(info, after.first()));
        QCOMPARE(info.icon_name, QStringLiteral("新网站"));
        QQTree* otherSites = tree(other.get(), "siteTree");
        QCOMPARE(otherSites->itemCount(sites), 4);
        QCOMPARE(otherSites->itemName(after.first()), QStringLiteral("新网站"));
        QCOMPARE(shownInFreshWindow(sites), storedLines(sites));
    }

    void searchHitInNeverOpenedGroup()
    {
        auto w = makeWindow();
        QQTree* icons = tree(w.get(), "iconTree");
        const int hit = stored(large, en_team_icon).at(20);
        IconItemInfo info;
        QVERIFY(db.getItem(info, hit));
        QTest::mouseClick(w->findChild<QSkinButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
        w->findChild<QLineEdit*>(QStringLiteral("searchEdit"))->setText(info.icon_name);
        auto* session = w->findChild<SearchSession*>();
        QVERIFY(session);
        QTRY_VERIFY(session->isSettled());
        QQTree* results = tree(w.get(), "searchTree");
        QCOMPARE(results->itemIds(1), QList<int> { hit });
        QTest::keyClick(w->findChild<QLineEdit*>(QStringLiteral("searchEdit")), Qt::Key_Return);
        QCOMPARE(opened, QStringList { info.file_name });
        QCOMPARE(tree(w.get(), "recentTree")->itemIds(1).value(0), hit);
        // The group it came from is as it was, and shows it in its place when opened.
        QVERIFY(!icons->isTeamOpen(large));
        QCOMPARE(icons->itemCount(large), 40);
        QCOMPARE(icons->itemIds(large).indexOf(hit), 20);
    }
};

QTEST_MAIN(TestLazyGroups)
#include "tst_lazygroups.moc"
