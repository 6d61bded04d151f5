#include "basewindow.h"
#include "icondatabase.h"
#include "qqdialog.h"
#include "qqtree.h"
#include "qskinmenu.h"
#include "shownwindow.h"
#include "testutil.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace
{
const QString NewName = QStringLiteral("新名字");
const QString NewSite = QStringLiteral("example.org/路径?q=1");

/// Chooses an entry of the next menu by its text (or dismisses it when there is no such entry), and notes the
/// entries the menu offered.
struct MenuChoice
{
    QStringList texts;
    QList<int> ids;
    bool answered = false;
    TestUtil::Poll poll;

    void arm(QQDialog* window, const QString& entry)
    {
        poll = TestUtil::answerPopup(
            [this, window, entry](QWidget* popup) {
                if (const auto* menu = window->findChild<QSkinMenu*>()) {
                    texts = menu->texts();
                    ids = menu->ids();
                }
                const int row = int(texts.indexOf(entry));
                if (entry.isEmpty() || row < 0) {
                    QTest::keyClick(popup, Qt::Key_Escape);
                    return;
                }
                for (int i = 0; i <= row; ++i) {
                    QTest::keyClick(popup, Qt::Key_Down);
                }
                QTest::keyClick(popup, Qt::Key_Return);
            },
            &answered);
    }
};

/// Answers every window the command opens: the group and site dialogs are filled with NewName / NewSite and
/// saved (or cancelled), the question is answered Yes (or No), notices are closed. Notes each window as
/// "class|title|text" and what the dialog showed when it opened.
struct Responder
{
    bool cancel = false;
    QStringList seen;
    QString shownName;
    QString shownSite;
    TestUtil::Poll poll;

    void start()
    {
        poll = TestUtil::answerEachModal([this](QWidget* w) { answer(w); });
    }

    void answer(QWidget* w)
    {
        const QString kind = QString::fromLatin1(w->metaObject()->className());
        QString title = w->windowTitle();
        QString text;
        if (auto* base = qobject_cast<BaseWindow*>(w)) {
            title = base->titleText();
        }
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            text = box->text();
            const bool defaultYes = box->defaultButton() == box->button(QMessageBox::Yes);
            const bool yesNo = box->standardButtons() == (QMessageBox::Yes | QMessageBox::No);
            text += defaultYes && yesNo ? QStringLiteral(" [Yes/No, Yes]") : QStringLiteral(" [other buttons]");
            box->button(cancel ? QMessageBox::No : QMessageBox::Yes)->click();
        } else if (kind == QLatin1String("QSkinMessageBox")) {
            text = w->findChild<QLabel*>(QStringLiteral("label"))->text();
            static_cast<QDialog*>(w)->accept();
        } else if (kind == QLatin1String("TeamEditDialog") || kind == QLatin1String("SiteEditDailog")) {
            auto* name = w->findChild<QLineEdit*>(QStringLiteral("editName"));
            auto* site = w->findChild<QLineEdit*>(QStringLiteral("editSite"));
            shownName = name->text();
            shownSite = site ? site->text() : QString();
            if (cancel) {
                static_cast<QDialog*>(w)->reject();
            } else {
                name->setText(NewName);
                if (site) {
                    site->setText(NewSite);
                }
                w->findChild<QPushButton*>(QStringLiteral("btnNormal"))->click();
            }
        } else {
            static_cast<QDialog*>(w)->reject();
        }
        seen.append(kind + QLatin1Char('|') + title + QLatin1Char('|') + text);
    }
};

QQTree* tree(QQDialog* w, const char* name)
{
    return w->findChild<QQTree*>(QLatin1String(name));
}

QQTree* kindTree(QQDialog* w, bool sites)
{
    return tree(w, sites ? "siteTree" : "iconTree");
}

/// Groups and items as a tree shows them, top to bottom.
QStringList treeLines(const QQTree* t)
{
    QStringList lines;
    for (const int team : t->teamIds()) {
        lines << QStringLiteral("%1 %2").arg(team).arg(t->teamName(team));
        for (const int item : t->itemIds(team)) {
            lines << QStringLiteral("  %1 %2").arg(item).arg(t->itemName(item));
        }
    }
    return lines;
}
} // namespace

class TestTreeCommands : public QObject
{
    Q_OBJECT

private:
    IconDatabase db;
    /// The two groups of each kind ([0] icon, [1] site) and the three items of each group.
    QList<int> groups[2];
    QHash<int, QList<int>> items;

    int group(bool sites, int index) const { return groups[sites ? 1 : 0].at(index); }
    int item(bool sites, int groupIndex, int index) const { return items.value(group(sites, groupIndex)).at(index); }

    static void rightClick(QQDialog* w, bool sites, int teamid, int itemid)
    {
        if (sites) {
            w->onSiteTreeRClicked(teamid, itemid);
        } else {
            w->onTreeRClicked(teamid, itemid);
        }
    }

    /// Right-clicks and chooses `entry` from the menu that opens.
    static void command(QQDialog* w, bool sites, int teamid, int itemid, const QString& entry)
    {
        MenuChoice menu;
        menu.arm(w, entry);
        rightClick(w, sites, teamid, itemid);
        QVERIFY(menu.answered);
        QVERIFY2(menu.texts.contains(entry), qPrintable(menu.texts.join(QLatin1Char(','))));
    }

    /// Groups and items of one kind as the catalogue holds them, in their order.
    QStringList storeLines(int ttype)
    {
        QList<TeamInfo> teams;
        db.getTeamsByType(teams, ttype);
        QList<IconItemInfo> all;
        db.getItemsByType(all, ttype);
        QStringList lines;
        for (const TeamInfo& team : std::as_const(teams)) {
            lines << QStringLiteral("%1 %2").arg(team.id).arg(team.name);
            for (const IconItemInfo& i : std::as_const(all)) {
                if (i.team_id == team.id) {
                    lines << QStringLiteral("  %1 %2").arg(i.id).arg(i.icon_name);
                }
            }
        }
        return lines;
    }

    /// Every stored value of every row.
    QStringList storeDump()
    {
        QStringList lines;
        for (const int ttype : { 1, 2 }) {
            QList<TeamInfo> teams;
            db.getTeamsByType(teams, ttype);
            for (const TeamInfo& t : std::as_const(teams)) {
                lines << QStringLiteral("team %1 %2 t%3 o%4").arg(t.id).arg(t.name).arg(t.ttype).arg(t.order_num);
            }
            QList<IconItemInfo> all;
            db.getItemsByType(all, ttype);
            for (const IconItemInfo& i : std::as_const(all)) {
                lines << QStringLiteral("item %1 %2 %3 g%4 t%5 o%6 l%7")
                             .arg(i.id)
                             .arg(i.icon_name, i.file_name)
                             .arg(i.team_id)
                             .arg(i.ttype)
                             .arg(i.order_num)
                             .arg(i.last_time);
            }
        }
        return lines;
    }

    static QStringList recentLines(QQDialog* w) { return treeLines(tree(w, "recentTree")); }

    /// Everything the window shows and the catalogue holds.
    QStringList state(QQDialog* w)
    {
        return QStringList { QStringLiteral("icons:") } + treeLines(tree(w, "iconTree"))
            + QStringList { QStringLiteral("sites:") } + treeLines(tree(w, "siteTree"))
            + QStringList { QStringLiteral("recent:") } + recentLines(w) + QStringList { QStringLiteral("store:") }
        + storeDump();
    }

    int orderOf(int teamid)
    {
        TeamInfo info;
        return db.getTeam(info, teamid) ? info.order_num : -1;
    }

    int itemOrderOf(int itemid)
    {
        IconItemInfo info;
        return db.getItem(info, itemid) ? info.order_num : -1;
    }

    void removeGroup(int teamid)
    {
        QVERIFY(db.deleteTeamItems(teamid));
        QVERIFY(db.deleteTeam(teamid));
    }

private slots:
    void initTestCase()
    {
        IconDatabase::instance().openDatabase();
        db = IconDatabase::instance();
        QVERIFY2(db.isUsable(), qPrintable(db.errorText()));
    }

    void init()
    {
        QVERIFY(db.execSql(QStringLiteral("DELETE FROM icon_item")));
        QVERIFY(db.execSql(QStringLiteral("DELETE FROM team")));
        items.clear();
        const QStringList groupNames[2] = { { QStringLiteral("常用软件"), QStringLiteral("文档") },
                                            { QStringLiteral("常用网址"), QStringLiteral("新闻") } };
        for (const int kind : { 0, 1 }) {
            const int ttype = kind == 0 ? en_team_icon : en_team_site;
            groups[kind].clear();
            for (const QString& name : groupNames[kind]) {
                const int team = db.addTeam(name, ttype);
                QVERIFY(team);
                groups[kind].append(team);
                for (int i = 1; i <= 3; ++i) {
                    const QString itemName = QStringLiteral("%1 %2").arg(name).arg(i);
                    const QString file = kind == 0 ? QStringLiteral("/nowhere/%1.txt").arg(itemName)
                                                   : QStringLiteral("https://example.org/%1").arg(i);
                    const int id = db.addItem(itemName, file, team, ttype);
                    QVERIFY(id);
                    items[team].append(id);
                }
            }
        }
        // Opened ones lead the recent page: two items of the first icon group, one of the second, one site of each
        // group.
        QVERIFY(db.setItemLastTime(item(false, 0, 0), 100));
        QVERIFY(db.setItemLastTime(item(false, 0, 1), 200));
        QVERIFY(db.setItemLastTime(item(false, 1, 0), 300));
        QVERIFY(db.setItemLastTime(item(true, 0, 0), 400));
        QVERIFY(db.setItemLastTime(item(true, 1, 0), 500));
    }

    void cleanup() { db.execSql(QStringLiteral("pragma query_only=0")); }

    void menuEntries_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("ids");

        QTest::newRow("icon item") << false << "item" << QStringList { "删除图标", "上移图标", "下移图标", "放到桌面" }
                                   << QList<int> { 1, 2, 3, 4 };
        QTest::newRow("icon group") << false << "group"
                                    << QStringList { "添加分组", "修改分组", "删除分组", "上移分组", "下移分组" }
                                    << QList<int> { 1, 2, 3, 4, 5 };
        QTest::newRow("icon empty space") << false << "empty" << QStringList { "添加分组" } << QList<int> { 1 };
        QTest::newRow("icon item without group") << false << "invalid" << QStringList() << QList<int>();
        QTest::newRow("site item") << true << "item"
                                   << QStringList { "添加网址", "修改网址", "删除图标", "上移图标", "下移图标" }
                                   << QList<int> { 5, 6, 1, 2, 3 };
        QTest::newRow("site group") << true << "group" << QStringList { "添加分组", "添加网址", "修改分组",
                                                                        "删除分组", "上移分组", "下移分组" }
                                    << QList<int> { 1, 6, 2, 3, 4, 5 };
        QTest::newRow("site empty space")
            << true << "empty" << QStringList { "添加分组", "添加网址" } << QList<int> { 1, 2 };
        QTest::newRow("site item without group") << true << "invalid" << QStringList() << QList<int>();
    }

    void menuEntries()
    {
        QFETCH(bool, sites);
        QFETCH(QString, target);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, ids);
        auto w = showMainWindow();
        const QStringList before = state(w.get());
        int teamid = group(sites, 1);
        int itemid = item(sites, 1, 1);
        if (target == QLatin1String("group")) {
            itemid = 0;
        } else if (target == QLatin1String("empty")) {
            teamid = 0;
            itemid = 0;
        } else if (target == QLatin1String("invalid")) {
            teamid = 0;
        }
        MenuChoice menu;
        menu.arm(w.get(), QString()); // dismissed
        rightClick(w.get(), sites, teamid, itemid);
        // pop() waits for its answer: after the call, a menu that opened has been answered.
        QCOMPARE(menu.poll.answered(), texts.isEmpty() ? 0 : 1);
        QCOMPARE(menu.texts, texts);
        QCOMPARE(menu.ids, ids);
        // A dismissed menu changes nothing.
        QCOMPARE(state(w.get()), before);
    }

    void addGroup_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("icon tree, empty space") << false << "empty" << false;
        QTest::newRow("icon tree, group header") << false << "group" << false;
        // A catalogue emptied by another tool: the empty-space menu is the way back.
        QTest::newRow("icon tree without groups") << false << "no groups" << false;
        QTest::newRow("site tree, empty space") << true << "empty" << false;
        QTest::newRow("site tree, group header") << true << "group" << false;
        QTest::newRow("site tree without groups") << true << "no groups" << false;
        QTest::newRow("icon tree, cancelled") << false << "empty" << true;
        QTest::newRow("site tree, cancelled") << true << "group" << true;
    }

    void addGroup()
    {
        QFETCH(bool, sites);
        QFETCH(QString, target);
        QFETCH(bool, cancel);
        QList<int>& existing = groups[sites ? 1 : 0];
        if (target == QLatin1String("no groups")) {
            for (const int teamid : std::as_const(existing)) {
                removeGroup(teamid);
            }
            existing.clear();
        }
        auto w = showMainWindow();
        QQTree* t = kindTree(w.get(), sites);
        const QStringList before = state(w.get());
        const QStringList otherBefore = treeLines(kindTree(w.get(), !sites));
        Responder responder;
        responder.cancel = cancel;
        responder.start();
        command(w.get(), sites, target == QLatin1String("group") ? group(sites, 0) : 0, 0, QStringLiteral("添加分组"));
        QCOMPARE(responder.seen, QStringList { QStringLiteral("TeamEditDialog|添加分组|") });
        QCOMPARE(responder.shownName, QString());
        if (cancel) {
            QCOMPARE(state(w.get()), before);
            return;
        }
        const QList<int> shown = t->teamIds();
        QCOMPARE(shown.size(), existing.size() + 1);
        QCOMPARE(shown.mid(0, existing.size()), existing);
        const int added = shown.last();
        QCOMPARE(t->teamName(added), NewName);
        QVERIFY(!t->isTeamOpen(added));
        TeamInfo info;
        QVERIFY(db.getTeam(info, added));
        QCOMPARE(info.name, NewName);
        QCOMPARE(info.ttype, sites ? int(en_team_site) : int(en_team_icon));
        for (const int kind : { 0, 1 }) {
            for (const int other : std::as_const(groups[kind])) {
                QVERIFY(info.order_num > orderOf(other));
            }
        }
        QCOMPARE(treeLines(t), storeLines(info.ttype));
        QCOMPARE(treeLines(kindTree(w.get(), !sites)), otherBefore);
    }

    void renameGroup_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("icon group") << false << false;
        QTest::newRow("site group") << true << false;
        QTest::newRow("cancelled") << false << true;
    }

    void renameGroup()
    {
        QFETCH(bool, sites);
        QFETCH(bool, cancel);
        auto w = showMainWindow();
        const int teamid = group(sites, 1);
        QStringList expected = state(w.get());
        Responder responder;
        responder.cancel = cancel;
        responder.start();
        command(w.get(), sites, teamid, 0, QStringLiteral("修改分组"));
        QCOMPARE(responder.seen, QStringList { QStringLiteral("TeamEditDialog|修改分组|") });
        QCOMPARE(responder.shownName, sites ? QStringLiteral("新闻") : QStringLiteral("文档"));
        if (!cancel) {
            // Only the name changes: in the tree's header and in the store's row.
            const QString old = QStringLiteral("%1 %2").arg(teamid).arg(responder.shownName);
            const QString renamed = QStringLiteral("%1 %2").arg(teamid).arg(NewName);
            for (QString& line : expected) {
                if (line == old) {
                    line = renamed;
                } else if (line.startsWith(QStringLiteral("team %1 ").arg(teamid))) {
                    line.replace(responder.shownName, NewName);
                }
            }
        }
        QCOMPARE(state(w.get()), expected);
    }

    void deleteGroup_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::addColumn<bool>("no");
        QTest::newRow("icon group") << false << false;
        QTest::newRow("site group") << true << false;
        QTest::newRow("answered no") << false << true;
    }

    void deleteGroup()
    {
        QFETCH(bool, sites);
        QFETCH(bool, no);
        auto w = showMainWindow();
        const int teamid = group(sites, 0);
        const int kept = group(sites, 1);
        const QStringList before = state(w.get());
        QQTree* recent = tree(w.get(), "recentTree");
        QVERIFY(recent->hasItem(item(sites, 0, 0)));
        const int recentCount = recent->itemCount(1);
        Responder responder;
        responder.cancel = no;
        responder.start();
        command(w.get(), sites, teamid, 0, QStringLiteral("删除分组"));
        QCOMPARE(responder.seen, QStringList { QStringLiteral("QMessageBox|提示|是否删除本分组? [Yes/No, Yes]") });
        if (no) {
            QCOMPARE(state(w.get()), before);
            return;
        }
        QQTree* t = kindTree(w.get(), sites);
        QCOMPARE(t->teamIds(), QList<int> { kept });
        QCOMPARE(t->itemIds(kept), items.value(kept));
        TeamInfo info;
        QVERIFY(!db.getTeam(info, teamid));
        for (const int id : items.value(teamid)) {
            IconItemInfo gone;
            QVERIFY(!db.getItem(gone, id));
            QVERIFY(!recent->hasItem(id));
        }
        QCOMPARE(treeLines(t), storeLines(sites ? en_team_site : en_team_icon));
        // The other kind and the rest of the recent page stay.
        QVERIFY(recent->hasItem(item(sites, 1, 0)));
        QVERIFY(recent->hasItem(item(!sites, 0, 0)));
        QCOMPARE(recent->itemCount(1), recentCount - 3);
    }

    void lastGroupIsKept_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::newRow("icon tree") << false;
        QTest::newRow("site tree") << true;
    }

    void lastGroupIsKept()
    {
        QFETCH(bool, sites);
        removeGroup(group(sites, 1));
        auto w = showMainWindow();
        const QStringList before = state(w.get());
        Responder responder;
        responder.start();
        command(w.get(), sites, group(sites, 0), 0, QStringLiteral("删除分组"));
        // Refused with the skinned notice; nothing is asked.
        QCOMPARE(responder.seen, QStringList { QStringLiteral("QSkinMessageBox|提示|当前只有一个分组不能删除!") });
        QCOMPARE(state(w.get()), before);
    }

    void moveGroup_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("moves");
        QTest::newRow("second up") << false << 1 << "上移分组" << true;
        QTest::newRow("first down") << false << 0 << "下移分组" << true;
        QTest::newRow("first up") << false << 0 << "上移分组" << false;
        QTest::newRow("last down") << false << 1 << "下移分组" << false;
        QTest::newRow("site group, second up") << true << 1 << "上移分组" << true;
        QTest::newRow("site group, first up") << true << 0 << "上移分组" << false;
    }

    void moveGroup()
    {
        QFETCH(bool, sites);
        QFETCH(int, index);
        QFETCH(QString, entry);
        QFETCH(bool, moves);
        auto w = showMainWindow();
        const int first = group(sites, 0);
        const int second = group(sites, 1);
        const int firstOrder = orderOf(first);
        const int secondOrder = orderOf(second);
        const QStringList before = state(w.get());
        Responder responder;
        responder.start();
        command(w.get(), sites, group(sites, index), 0, entry);
        QCOMPARE(responder.seen, QStringList());
        if (!moves) {
            QCOMPARE(state(w.get()), before);
            return;
        }
        QQTree* t = kindTree(w.get(), sites);
        QCOMPARE(t->teamIds(), (QList<int> { second, first }));
        QCOMPARE(orderOf(first), secondOrder);
        QCOMPARE(orderOf(second), firstOrder);
        QCOMPARE(treeLines(t), storeLines(sites ? en_team_site : en_team_icon));
    }

    void deleteItem_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::newRow("icon item") << false;
        QTest::newRow("site") << true;
    }

    void deleteItem()
    {
        QFETCH(bool, sites);
        auto w = showMainWindow();
        const int teamid = group(sites, 0);
        const int itemid = item(sites, 0, 0);
        QQTree* recent = tree(w.get(), "recentTree");
        QVERIFY(recent->hasItem(itemid));
        const int recentCount = recent->itemCount(1);
        Responder responder;
        responder.start();
        command(w.get(), sites, teamid, itemid, QStringLiteral("删除图标"));
        QCOMPARE(responder.seen, QStringList()); // no confirmation
        QQTree* t = kindTree(w.get(), sites);
        QCOMPARE(t->itemIds(teamid), items.value(teamid).mid(1));
        QVERIFY(!recent->hasItem(itemid));
        QCOMPARE(recent->itemCount(1), recentCount - 1);
        IconItemInfo gone;
        QVERIFY(!db.getItem(gone, itemid));
        QCOMPARE(treeLines(t), storeLines(sites ? en_team_site : en_team_icon));
    }

    void moveItem_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("partner"); // index of the item it trades places with, -1 for none
        QTest::newRow("middle up") << false << 1 << "上移图标" << 0;
        QTest::newRow("middle down") << false << 1 << "下移图标" << 2;
        QTest::newRow("first up") << false << 0 << "上移图标" << -1;
        QTest::newRow("last down") << false << 2 << "下移图标" << -1;
        QTest::newRow("site, middle down") << true << 1 << "下移图标" << 2;
        QTest::newRow("site, last down") << true << 2 << "下移图标" << -1;
    }

    void moveItem()
    {
        QFETCH(bool, sites);
        QFETCH(int, index);
        QFETCH(QString, entry);
        QFETCH(int, partner);
        auto w = showMainWindow();
        const int teamid = group(sites, 1);
        const QList<int> ids = items.value(teamid);
        const QStringList before = state(w.get());
        QList<int> orders;
        for (const int id : ids) {
            orders.append(itemOrderOf(id));
        }
        Responder responder;
        responder.start();
        command(w.get(), sites, teamid, ids.at(index), entry);
        QCOMPARE(responder.seen, QStringList());
        if (partner < 0) {
            QCOMPARE(state(w.get()), before);
            return;
        }
        QList<int> expected = ids;
        expected.swapItemsAt(index, partner);
        QQTree* t = kindTree(w.get(), sites);
        QCOMPARE(t->itemIds(teamid), expected);
        QCOMPARE(itemOrderOf(ids.at(index)), orders.at(partner));
        QCOMPARE(itemOrderOf(ids.at(partner)), orders.at(index));
        QCOMPARE(treeLines(t), storeLines(sites ? en_team_site : en_team_icon));
    }

    void addSite_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("groupIndex"); // the group that gets the site
        QTest::addColumn<bool>("cancel");
        QTest::newRow("empty space: the last group") << "empty" << 1 << false;
        QTest::newRow("an item: the end of its group") << "item" << 0 << false;
        QTest::newRow("a group header") << "group" << 0 << false;
        QTest::newRow("cancelled") << "item" << 0 << true;
    }

    void addSite()
    {
        QFETCH(QString, target);
        QFETCH(int, groupIndex);
        QFETCH(bool, cancel);
        auto w = showMainWindow();
        const int teamid = group(true, groupIndex);
        int clickedTeam = 0;
        int clickedItem = 0;
        if (target == QLatin1String("item")) {
            clickedTeam = teamid;
            clickedItem = item(true, groupIndex, 0);
        } else if (target == QLatin1String("group")) {
            clickedTeam = teamid;
        }
        const QStringList before = state(w.get());
        const QStringList recentBefore = recentLines(w.get());
        Responder responder;
        responder.cancel = cancel;
        responder.start();
        command(w.get(), true, clickedTeam, clickedItem, QStringLiteral("添加网址"));
        QCOMPARE(responder.seen, QStringList { QStringLiteral("SiteEditDailog|添加网址|") });
        QCOMPARE(responder.shownName, QString());
        QCOMPARE(responder.shownSite, QString());
        if (cancel) {
            QCOMPARE(state(w.get()), before);
            return;
        }
        QQTree* sites = tree(w.get(), "siteTree");
        const QList<int> shown = sites->itemIds(teamid);
        QCOMPARE(shown.mid(0, 3), items.value(teamid));
        QCOMPARE(shown.size(), 4);
        const int added = shown.last();
        QCOMPARE(sites->itemName(added), NewName);
        QVERIFY(!sites->isTeamOpen(teamid)); // not opened by the command
        IconItemInfo info;
        QVERIFY(db.getItem(info, added));
        QCOMPARE(info.icon_name, NewName);
        QCOMPARE(info.file_name, NewSite); // as typed, no scheme added
        QCOMPARE(info.team_id, teamid);
        QCOMPARE(info.ttype, int(en_team_site));
        QCOMPARE(info.last_time, 0);
        QCOMPARE(treeLines(sites), storeLines(en_team_site));
        QCOMPARE(recentLines(w.get()), recentBefore);
    }

    void addSiteWithoutGroup()
    {
        // A catalogue without site groups (emptied by another tool): the menu stays, and a site is not stored
        // where no tree would show it.
        removeGroup(group(true, 0));
        removeGroup(group(true, 1));
        auto w = showMainWindow();
        QCOMPARE(tree(w.get(), "siteTree")->getTeamCount(), 0);
        const QStringList before = state(w.get());
        Responder responder;
        responder.start();
        command(w.get(), true, 0, 0, QStringLiteral("添加网址"));
        QCOMPARE(responder.seen, QStringList { QStringLiteral("QSkinMessageBox|提示|请先添加分组") });
        QCOMPARE(state(w.get()), before);
    }

    void editSite_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("saved") << false;
        QTest::newRow("cancelled") << true;
    }

    void editSite()
    {
        QFETCH(bool, cancel);
        auto w = showMainWindow();
        const int teamid = group(true, 0);
        const int itemid = item(true, 0, 0);
        IconItemInfo stored;
        QVERIFY(db.getItem(stored, itemid));
        QStringList expected = state(w.get());
        QQTree* recent = tree(w.get(), "recentTree");
        QCOMPARE(recent->itemName(itemid), stored.icon_name);
        Responder responder;
        responder.cancel = cancel;
        responder.start();
        command(w.get(), true, teamid, itemid, QStringLiteral("修改网址"));
        QCOMPARE(responder.seen, QStringList { QStringLiteral("SiteEditDailog|修改网址|") });
        QCOMPARE(responder.shownName, stored.icon_name);
        QCOMPARE(responder.shownSite, stored.file_name);
        if (!cancel) {
            // The site tree and the store change; the recent page keeps the old name.
            const QString siteLine = QStringLiteral("  %1 %2").arg(itemid).arg(stored.icon_name);
            const int siteAt = int(expected.indexOf(siteLine));
            QVERIFY(siteAt > expected.indexOf(QStringLiteral("sites:")));
            expected[siteAt] = QStringLiteral("  %1 %2").arg(itemid).arg(NewName);
            for (QString& line : expected) {
                if (line.startsWith(QStringLiteral("item %1 ").arg(itemid))) {
                    line.replace(stored.icon_name + QLatin1Char(' ') + stored.file_name,
                                 NewName + QLatin1Char(' ') + NewSite);
                }
            }
        }
        QCOMPARE(state(w.get()), expected);
        QCOMPARE(recent->itemName(itemid), stored.icon_name);
    }

    void refusedWritesChangeNothing_data()
    {
        QTest::addColumn<bool>("sites");
        QTest::addColumn<int>("groupIndex"); // -1: empty space
        QTest::addColumn<int>("itemIndex"); // -1: the group header
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("asked"); // the window the command opens before storing, if any

        QTest::newRow("add group") << false << -1 << -1 << "添加分组"
                                   << "TeamEditDialog|添加分组|";
        QTest::newRow("rename group") << false << 0 << -1 << "修改分组"
                                      << "TeamEditDialog|修改分组|";
        QTest::newRow("delete group") << false << 0 << -1 << "删除分组"
                                      << "QMessageBox|提示|是否删除本分组? [Yes/No, Yes]";
        QTest::newRow("delete site group") << true << 1 << -1 << "删除分组"
                                           << "QMessageBox|提示|是否删除本分组? [Yes/No, Yes]";
        QTest::newRow("move group up") << false << 1 << -1 << "上移分组"
                                       << "";
        QTest::newRow("move group down") << true << 0 << -1 << "下移分组"
                                         << "";
        QTest::newRow("delete item") << false << 0 << 0 << "删除图标"
                                     << "";
        QTest::newRow("move item up") << false << 0 << 2 << "上移图标"
                                      << "";
        QTest::newRow("move item down") << true << 1 << 0 << "下移图标"
                                        << "";
        QTest::newRow("add site") << true << 1 << 1 << "添加网址"
                                  << "SiteEditDailog|添加网址|";
        QTest::newRow("edit site") << true << 0 << 0 << "修改网址"
                                   << "SiteEditDailog|修改网址|";
    }

    void refusedWritesChangeNothing()
    {
        QFETCH(bool, sites);
        QFETCH(int, groupIndex);
        QFETCH(int, itemIndex);
        QFETCH(QString, entry);
        QFETCH(QString, asked);
        auto w = showMainWindow();
        const QStringList before = state(w.get());
        // The shared connection turns read-only, as with a file that cannot be written (file modes would not
        // stop a test running as root).
        QVERIFY(db.execSql(QStringLiteral("pragma query_only=1")));
        QVERIFY(!db.execSql(QStringLiteral("update team set name=name")));

        const int teamid = groupIndex < 0 ? 0 : group(sites, groupIndex);
        const int itemid = itemIndex < 0 ? 0 : item(sites, groupIndex, itemIndex);
        Responder responder;
        responder.start();
        command(w.get(), sites, teamid, itemid, entry);
        QStringList expectedSeen;
        if (!asked.isEmpty()) {
            expectedSeen << asked;
        }
        expectedSeen << QStringLiteral("QSkinMessageBox|提示|保存失败,数据库不可写");
        QCOMPARE(state(w.get()), before);
        QCOMPARE(treeLines(tree(w.get(), "iconTree")), storeLines(en_team_icon));
        QCOMPARE(treeLines(tree(w.get(), "siteTree")), storeLines(en_team_site));
        QCOMPARE(responder.seen, expectedSeen);
    }
};

QTEST_MAIN(TestTreeCommands)
#include "tst_treecommands.moc"
