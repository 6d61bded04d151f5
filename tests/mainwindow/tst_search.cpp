// The search strip and its results, the keys of the search edit, the recent page's menu and putting items on
// the desktop.
#include "icondatabase.h"
#include "mainwindowfixture.h"
#include "platform.h"
#include "qqdialog.h"
#include "qqtab.h"
#include "qqtree.h"
#include "qskinbutton.h"
#include "qskinlabel.h"
#include "qskinmenu.h"
#include "searchsession.h"
#include "skinpath.h"
#include "testutil.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QScrollArea>
#include <QSet>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace
{
/// The widgets whose visibility makes the state of the search strip.
const char* const StripWidgets[]
    = { "searchButton", "searchIconLabel", "searchBackLabel", "searchEdit", "searchClearButton", "tabBar" };

/// Everything under `root`, as paths relative to it, leaving out the catalogue's own folder.
QSet<QString> filesUnder(const QString& root)
{
    QSet<QString> paths;
    QDirIterator it(
        root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(root).relativeFilePath(it.next());
        if (!path.startsWith(QLatin1String("Documents"))) {
            paths.insert(path);
        }
    }
    return paths;
}

/// Types text key by key, as a keyboard or an input method delivers it (QTest::keyClicks takes ASCII only).
void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

/// The 32 x 32 area where the tree paints the icon of a row.
QImage iconArea(QQTree* tree, int itemId)
{
    const QRect row = tree->itemRect(itemId);
    return tree->grab(QRect(row.left() + 8, row.top() + 4, 32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}

/// `icon` as the tree paints it over the background of a row (sampled left of the row's highlight).
QImage iconOver(QQTree* tree, int itemId, const QPixmap& icon)
{
    const QRect row = tree->itemRect(itemId);
    const QImage background = tree->grab(QRect(row.left() + 1, row.center().y(), 1, 1)).toImage();
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(background.pixelColor(0, 0));
    QPainter p(&image);
    p.drawPixmap(0, 0, icon);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}
} // namespace

class TestSearch : public MainWindowFixture
{
    Q_OBJECT

private:
    int iconTeam = 0;
    int siteTeam = 0;

    /// A window with the keyboard, for the keys typed into it.
    static std::unique_ptr<QQDialog> makeWindow() { return MainWindowFixture::makeWindow(Show::Active); }

    static QLineEdit* edit(QQDialog* w) { return w->findChild<QLineEdit*>(QStringLiteral("searchEdit")); }

    static void openBox(QQDialog* w)
    {
        QTest::mouseClick(w->findChild<QSkinButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
    }

    /// Types `text` in place of the keyword and waits until the result list has settled.
    static void search(QQDialog* w, const QString& text)
    {
        edit(w)->setText(text);
        auto* session = w->findChild<SearchSession*>();
        QVERIFY(session);
        QTRY_VERIFY(session->isSettled());
    }

    /// The ids and names the store's search gives for `keyword`, of the kinds the result list shows.
    QPair<QList<int>, QStringList> storeAnswer(const QString& keyword)
    {
        QList<IconItemInfo> found;
        db.searchItems(found, keyword);
        QPair<QList<int>, QStringList> answer;
        for (const IconItemInfo& info : std::as_const(found)) {
            if (info.ttype == en_team_icon || info.ttype == en_team_site) {
                answer.first.append(info.id);
                answer.second.append(info.icon_name);
            }
        }
        return answer;
    }

    static QPair<QList<int>, QStringList> shownAnswer(QQDialog* w)
    {
        QQTree* results = tree(w, "searchTree");
        QPair<QList<int>, QStringList> answer;
        answer.first = results->itemIds(1);
        for (const int id : std::as_const(answer.first)) {
            answer.second.append(results->itemName(id));
        }
        return answer;
    }

    static QString desktop() { return Platform::desktopDir(); }

    /// Right-clicks an item of the recent page and, when its menu appears, chooses its entry; the menu's height,
    /// 0 when none appeared.
    static int chooseFromRecentMenu(QQDialog* w, int teamid, int itemid)
    {
        int height = 0;
        const TestUtil::Poll poll = TestUtil::answerPopup([&height](QWidget* popup) {
            height = popup->height();
            QTest::keyClick(popup, Qt::Key_Down);
            QTest::keyClick(popup, Qt::Key_Return);
        });
        emit tree(w, "recentTree")->RClicked(teamid, itemid);
        return height;
    }

    /// Notes "title:text" of every message box that appears, and closes it with its OK button.
    [[nodiscard]] static TestUtil::Poll catchMessages(QStringList& messages)
    {
        return TestUtil::answerEachModal([&messages](QWidget* box) {
            if (auto* message = qobject_cast<QMessageBox*>(box)) {
                messages.append(message->windowTitle() + QLatin1Char(':') + message->text());
                message->button(QMessageBox::Ok)->click();
            }
        });
    }

    /// Height of a menu of the one entry "放到桌面".
    static int oneEntryMenuHeight(QWidget* owner)
    {
        int height = 0;
        const TestUtil::Poll poll = TestUtil::answerPopup([&height](QWidget* popup) {
            height = popup->height();
            QTest::keyClick(popup, Qt::Key_Escape);
        });
        QSkinMenu menu(owner);
        menu.addItem(1, QStringLiteral("放到桌面"), QString());
        menu.pop(0, 0);
        return height;
    }

private slots:
    void initTestCase()
    {
        // The tests empty the Desktop folder: only ever the temporary one of hermetic.sh.
        QVERIFY2(qEnvironmentVariableIsSet("BRISKO_TEST_ROOT")
                     && QDir::homePath().startsWith(qEnvironmentVariable("BRISKO_TEST_ROOT")),
                 "run through tests/hermetic.sh");
        openCatalogue();
        // Real file icons, as the program has them.
        Platform::setupIconTheme();
        recordOpens();
    }

    void init()
    {
        startEmpty();
        iconTeam = db.addTeam(QStringLiteral("常用软件"), en_team_icon);
        siteTeam = db.addTeam(QStringLiteral("常用网址"), en_team_site);
        QVERIFY(iconTeam && siteTeam);
        QVERIFY(QDir(desktop()).removeRecursively());
    }

    void stripStates_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("visible");
        QTest::addColumn<QString>("focus");
        const QStringList idle { "searchButton", "searchIconLabel", "tabBar", "iconTree" };
        const QStringList boxOpen { "searchBackLabel", "searchEdit", "searchClearButton", "tabBar", "iconTree" };
        const QStringList results { "searchBackLabel", "searchEdit", "searchClearButton", "searchTree" };
        QTest::newRow("idle") << QStringList() << idle << "iconTree";
        QTest::newRow("box open, no results yet") << QStringList { "open" } << boxOpen << "searchEdit";
        QTest::newRow("results shown") << QStringList { "open", "type 文档" } << results << "searchEdit";
        QTest::newRow("nothing found: an empty list") << QStringList { "open", "type zq" } << results << "searchEdit";
        QTest::newRow("text emptied") << QStringList { "open", "type 文档", "erase" } << boxOpen << "searchEdit";
        QTest::newRow("cleared") << QStringList { "open", "type 文档", "clear" } << idle << "iconTree";
        QTest::newRow("cleared without text") << QStringList { "open", "clear" } << idle << "iconTree";
        QTest::newRow("opened again") << QStringList { "open", "type 文档", "clear", "open" } << boxOpen
                                      << "searchEdit";
    }

    void stripStates()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, visible);
        QFETCH(QString, focus);
        db.addItem(QStringLiteral("我的文档"), makeFile(QStringLiteral("doc.txt")), iconTeam, en_team_icon);
        auto w = makeWindow();
        for (const QString& action : std::as_const(actions)) {
            if (action == QLatin1String("open")) {
                openBox(w.get());
            } else if (action.startsWith(QLatin1String("type "))) {
                type(edit(w.get()), action.mid(5));
            } else if (action == QLatin1String("erase")) {
                while (!edit(w.get())->text().isEmpty()) {
                    QTest::keyClick(edit(w.get()), Qt::Key_Backspace);
                }
            } else if (action == QLatin1String("clear")) {
                QTest::mouseClick(w->findChild<QSkinButton*>(QStringLiteral("searchClearButton")), Qt::LeftButton);
            }
        }
        for (const char* name : StripWidgets) {
            auto* widget = w->findChild<QWidget*>(QLatin1String(name));
            QVERIFY2(widget->isVisible() == visible.contains(QLatin1String(name)), name);
        }
        for (const char* name : { "iconTree", "searchTree" }) {
            QVERIFY2(tree(w.get(), name)->getScroll()->isVisible() == visible.contains(QLatin1String(name)), name);
        }
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        if (visible.contains(QLatin1String("searchTree"))) {
            const QString keyword = edit(w.get())->text();
            QCOMPARE(shownAnswer(w.get()), storeAnswer(keyword));
        } else {
            QCOMPARE(tree(w.get(), "searchTree")->itemCount(1), 0);
        }
    }

    void tabsComeBackWithTheirPage()
    {
        db.addItem(QStringLiteral("站点"), QStringLiteral("https://example.org"), siteTeam, en_team_site);
        auto w = makeWindow();
        auto* tabs = w->findChild<QQTab*>(QStringLiteral("tabBar"));
        tabs->selectItem(3);
        openBox(w.get());
        type(edit(w.get()), QStringLiteral("站"));
        // No page of the tabs shows under a short result list.
        for (const char* name : { "iconTree", "siteTree", "recentTree" }) {
            QVERIFY2(!tree(w.get(), name)->getScroll()->isVisible(), name);
        }
        QTest::keyClick(edit(w.get()), Qt::Key_Backspace);
        QVERIFY(tree(w.get(), "recentTree")->getScroll()->isVisible());
        QVERIFY(!tree(w.get(), "iconTree")->getScroll()->isVisible());
        QCOMPARE(tabs->currentItem(), 3);
    }

    void resultsOfBothKinds()
    {
        const QString path = makeFile(QStringLiteral("plan.txt"));
        const int site = db.addItem(
            QStringLiteral("计划网站"), QStringLiteral("https://example.org/plan"), siteTeam, en_team_site);
        const int file = db.addItem(QStringLiteral("年度计划"), path, iconTeam, en_team_icon);
        db.addItem(QStringLiteral("计划之外"), path, iconTeam, 3); // neither kind: never listed
        const int later = db.addItem(QStringLiteral("计划书"), path, iconTeam, en_team_icon);
        db.addItem(QStringLiteral("别的"), path, iconTeam, en_team_icon);
        auto w = makeWindow();
        openBox(w.get());
        search(w.get(), QStringLiteral("计划"));
        QQTree* results = tree(w.get(), "searchTree");
        // The store's order (row ids), both kinds mixed.
        QCOMPARE(results->itemIds(1), (QList<int> { site, file, later }));
        QCOMPARE(results->itemName(site), QStringLiteral("计划网站"));
        QCOMPARE(results->itemName(later), QStringLiteral("计划书"));
        int team = 0;
        int item = 0;
        results->getSelectItem(team, item);
        QCOMPARE(item, site);

        // Sites show the site image, files their file icon; each row is looked at while it is not selected.
        const QPixmap siteImage = SkinPath::pixmap(QStringLiteral("Skins\\icon\\site.png"));
        QVERIFY(!siteImage.isNull());
        const QPixmap fileIcon = Platform::fileIcon(path).pixmap(32, 32);
        QCOMPARE(iconArea(results, file), iconOver(results, file, fileIcon));
        QVERIFY(iconArea(results, file) != iconOver(results, file, siteImage));
        QTest::keyClick(edit(w.get()), Qt::Key_Down);
        QCOMPARE(iconArea(results, site), iconOver(results, site, siteImage));
    }

    void keysWalkAndOpen()
    {
        const QString first = makeFile(QStringLiteral("one.txt"));
        const QString second = makeFile(QStringLiteral("two.txt"));
        const int a = db.addItem(QStringLiteral("report one"), first, iconTeam, en_team_icon);
        const int b = db.addItem(QStringLiteral("report two"), second, iconTeam, en_team_icon);
        const int c
            = db.addItem(QStringLiteral("report site"), QStringLiteral("https://example.org"), siteTeam, en_team_site);
        auto w = makeWindow();
        openBox(w.get());
        QLineEdit* line = edit(w.get());
        QQTree* results = tree(w.get(), "searchTree");
        const auto selected = [results] {
            int team = 0;
            int item = 0;
            results->getSelectItem(team, item);
            return item;
        };
        type(line, QStringLiteral("rep"));
        QCOMPARE(selected(), a);
        const std::pair<Qt::Key, int> steps[]
            = { { Qt::Key_Down, b }, { Qt::Key_Down, c }, { Qt::Key_Down, c }, { Qt::Key_Up, b } };
        for (const auto& [key, expected] : steps) {
            QTest::keyClick(line, key);
            QCOMPARE(selected(), expected);
        }
        QCOMPARE(line->text(), QStringLiteral("rep"));

        // Each change of the text selects the first result again.
        type(line, QStringLiteral("ort t"));
        QCOMPARE(results->itemIds(1), QList<int> { b });
        QCOMPARE(selected(), b);
        QTest::keyClick(line, Qt::Key_Backspace);
        QCOMPARE(selected(), a);
        QTest::keyClick(line, Qt::Key_Down);

        // Return opens the selected result and stamps it; the list stays.
        QSignalSpy returns(line, &QLineEdit::returnPressed);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(opened, QStringList { second });
        IconItemInfo info;
        QVERIFY(db.getItem(info, b));
        QVERIFY(info.last_time >= before && info.last_time <= QDateTime::currentSecsSinceEpoch());
        QCOMPARE(tree(w.get(), "recentTree")->itemIds(1).value(0), b);
        QVERIFY(results->getScroll()->isVisible());
        QCOMPARE(returns.count(), 0);

        // With nothing found, Return opens nothing and is still taken from the edit.
        type(line, QStringLiteral("zzz"));
        QCOMPARE(results->itemCount(1), 0);
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(returns.count(), 0);
        // Other keys reach the edit.
        QTest::keyClick(line, Qt::Key_Home);
        type(line, QStringLiteral("x"));
        QCOMPARE(line->text(), QStringLiteral("xreport zzz"));
    }

    void settledListIsTheStoreAnswer_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::newRow("one letter") << "a";
        QTest::newRow("ASCII case folded") << "ABC";
        QTest::newRow("other letters keep their case") << "émile";
        QTest::newRow("Chinese") << "文档";
        QTest::newRow("one Chinese character") << "档";
        QTest::newRow("percent: any run") << "a%c";
        QTest::newRow("percent alone") << "%";
        QTest::newRow("underscore: any one character") << "a_c";
        QTest::newRow("underscore over a Chinese character") << "我_文";
        QTest::newRow("percent followed by a digit") << "50%2";
        QTest::newRow("apostrophe") << "it's";
        QTest::newRow("backslash is no escape") << "\\";
        QTest::newRow("a name cut at its NUL") << "zz";
        QTest::newRow("a keyword cut at its NUL") << QString::fromUtf16(u"ab\0c", 4);
        QTest::newRow("a miss") << "qqq";
    }

    void settledListIsTheStoreAnswer()
    {
        QFETCH(QString, keyword);
        const QString path = makeFile(QStringLiteral("any.txt"));
        const QStringList names {
            QStringLiteral("abc"),          QStringLiteral("xABCy"),   QStringLiteral("a_c"),
            QStringLiteral("a-c"),          QStringLiteral("50% off"), QStringLiteral("502"),
            QStringLiteral("我的文档.doc"), QStringLiteral("文档"),    QStringLiteral("我们文"),
            QStringLiteral("Émile"),        QStringLiteral("émile"),   QStringLiteral("it's mine"),
            QStringLiteral("back\\slash"),  QStringLiteral("Config"),  QString::fromUtf16(u"x\0zz", 4),
            QStringLiteral("ab"),           QStringLiteral("abd"),
        };
        for (int i = 0; i < names.size(); ++i) {
            db.addItem(names.at(i), path, i % 2 ? iconTeam : siteTeam, i % 2 ? en_team_icon : en_team_site);
        }
        db.addItem(QStringLiteral("abc of another kind"), path, iconTeam, 3);
        QVERIFY(db.execSql(QStringLiteral("insert into icon_item(icon_name, file_name, team_id, ttype)"
                                          " values(null, 'x', 1, 1)")));
        auto w = makeWindow();
        openBox(w.get());
        search(w.get(), keyword);
        QVERIFY(w->findChild<SearchSession*>()->usesIndex());
        QCOMPARE(shownAnswer(w.get()), storeAnswer(keyword));
    }

    void pinyinMatchesFollow_data()
    {
        QTest::addColumn<int>("filler");
        QTest::newRow("a few names") << 0;
        // The passes then take several slices each, and the list is longer than a screenful.
        QTest::newRow("among many names") << 6000;
    }

    void pinyinMatchesFollow()
    {
        QFETCH(int, filler);
        const QString path = makeFile(QStringLiteral("any.txt"));
        QList<int> contain;
        QList<int> fromStart;
        QList<int> within;
        QVERIFY(db.beginBatch());
        for (int i = 0; i <= filler; ++i) {
            if (i % 500 == 0) {
                const auto add = [&](const char* name, int type) {
                    return db.addItem(QString::fromUtf8(name), path, type == 1 ? iconTeam : siteTeam, type);
                };
                fromStart << add("微信", 1);
                contain << add("wx工具", 2);
                within << add("我的微信", 1);
                fromStart << add("王小二", 2);
                add("文档", 1);
                contain << add("Wxyz", 1);
                fromStart << add("网信", 1);
            }
            if (i < filler) {
                db.addItem(QStringLiteral("名字 %1").arg(i), path, iconTeam, en_team_icon);
            }
        }
        QVERIFY(db.commitBatch());
        auto w = makeWindow();
        openBox(w.get());
        search(w.get(), QStringLiteral("wx"));
        // The names that contain the keyword first, as the store gives them; then the pinyin matches, those from
        // the start of the name first, each in the store's order.
        QCOMPARE(tree(w.get(), "searchTree")->itemIds(1), contain + fromStart + within);
        QCOMPARE(storeAnswer(QStringLiteral("wx")).first, contain);

        // The keys walk the whole list, over the places where one kind of match gives way to the next.
        QQTree* results = tree(w.get(), "searchTree");
        QList<int> walked;
        int team = 0;
        int item = 0;
        results->getSelectItem(team, item);
        while (walked.isEmpty() || walked.back() != item) {
            walked << item;
            QTest::keyClick(edit(w.get()), Qt::Key_Down);
            results->getSelectItem(team, item);
        }
        QCOMPARE(walked, contain + fromStart + within);
    }

    void typedBeforeTheNamesAreRead()
    {
        // More names than one slice between events reads: the letter typed into the window at once waits for
        // them, then the list is the whole answer with its first row selected.
        const QString path = makeFile(QStringLiteral("any.txt"));
        QVERIFY(db.beginBatch());
        for (int i = 0; i < 60000; ++i) {
            db.addItem(QStringLiteral("名字 %1").arg(i), path, iconTeam, en_team_icon);
        }
        const int late = db.addItem(QStringLiteral("微信"), path, iconTeam, en_team_icon);
        QVERIFY(db.commitBatch());
        auto w = makeWindow();
        tree(w.get(), "iconTree")->setFocus();
        QTest::keyClick(tree(w.get(), "iconTree"), Qt::Key_W);
        QCOMPARE(edit(w.get())->text(), QStringLiteral("w"));
        auto* session = w->findChild<SearchSession*>();
        QVERIFY(session);
        // The key was shown before the names were all read: the answer is still to come.
        QVERIFY(!session->isSettled());
        QTRY_VERIFY(session->isSettled());
        QQTree* results = tree(w.get(), "searchTree");
        QCOMPARE(results->itemIds(1), QList<int> { late });
        int team = 0;
        int item = 0;
        results->getSelectItem(team, item);
        QCOMPARE(item, late);
        QVERIFY(session->usesIndex());
    }

    void longListArrivesWhileTyping()
    {
        const int count = 20000;
        QVERIFY(db.beginBatch());
        for (int i = 0; i < count; ++i) {
            db.addItem(QStringLiteral("item %1").arg(i), QStringLiteral("/nowhere/%1").arg(i), iconTeam, en_team_icon);
        }
        QVERIFY(db.commitBatch());
        auto w = makeWindow();
        openBox(w.get());
        auto* session = w->findChild<SearchSession*>();
        QQTree* results = tree(w.get(), "searchTree");
        QLineEdit* line = edit(w.get());
        type(line, QStringLiteral("item"));
        // A screenful is there at once, first one selected; the rest follows between events.
        QVERIFY(!session->isSettled());
        QVERIFY(results->itemCount(1) > 0 && results->itemCount(1) < count);
        int team = 0;
        int item = 0;
        results->getSelectItem(team, item);
        const int first = results->itemIds(1).value(0);
        QCOMPARE(item, first);
        QTRY_VERIFY(session->isSettled());
        QCOMPARE(results->itemCount(1), count);
        results->getSelectItem(team, item);
        QCOMPARE(item, first);
        // A key typed while a list is arriving starts over; the list is then the answer to the new text.
        QTest::keyClick(line, Qt::Key_Backspace);
        type(line, QStringLiteral("m 1"));
        QTRY_VERIFY(session->isSettled());
        QCOMPARE(shownAnswer(w.get()), storeAnswer(QStringLiteral("item 1")));
    }

    void followsChangesOfTheCatalogue()
    {
        const QString path = makeFile(QStringLiteral("any.txt"));
        const int renamed = db.addItem(QStringLiteral("alpha"), path, iconTeam, en_team_icon);
        const int removed = db.addItem(QStringLiteral("key one"), path, iconTeam, en_team_icon);
        const int retyped = db.addItem(QStringLiteral("key two"), path, iconTeam, en_team_icon);
        auto w = makeWindow();
        openBox(w.get());
        search(w.get(), QStringLiteral("key"));
        QCOMPARE(shownAnswer(w.get()).first, (QList<int> { removed, retyped }));
        edit(w.get())->clear();

        QVERIFY(db.updateItem(renamed, QStringLiteral("key alpha"), path));
        QVERIFY(db.deleteItem(removed));
        QVERIFY(db.execSql(QStringLiteral("update icon_item set ttype=3 where id=%1").arg(retyped)));
        const int added = db.addItem(QStringLiteral("new key"), path, siteTeam, en_team_site);
        // An addition that is undone: it is never listed, even when the window looked while it was pending.
        QVERIFY(db.execSql(QStringLiteral("begin")));
        db.addItem(QStringLiteral("key undone"), path, iconTeam, en_team_icon);
        QTest::qWait(20);
        QVERIFY(db.execSql(QStringLiteral("rollback")));
        search(w.get(), QStringLiteral("key"));
        QVERIFY(w->findChild<SearchSession*>()->usesIndex());
        QCOMPARE(storeAnswer(QStringLiteral("key")).first, (QList<int> { renamed, added }));
        QCOMPARE(shownAnswer(w.get()), storeAnswer(QStringLiteral("key")));
        edit(w.get())->clear();

        // A change made by another program.
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(db.databasePath());
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("insert into icon_item(icon_name, file_name, team_id, ttype)"
                                          " values('key elsewhere', 'x', 1, 1)")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        search(w.get(), QStringLiteral("key"));
        QCOMPARE(storeAnswer(QStringLiteral("key")).second.value(2), QStringLiteral("key elsewhere"));
        QCOMPARE(shownAnswer(w.get()), storeAnswer(QStringLiteral("key")));
    }

    void recentMenu_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("menu");
        QTest::newRow("a program") << "program" << true;
        QTest::newRow("a site: no menu") << "site" << false;
        QTest::newRow("the header: no menu") << "header" << false;
        QTest::newRow("empty space: no menu") << "empty" << false;
    }

    void recentMenu()
    {
        QFETCH(QString, row);
        QFETCH(bool, menu);
        const QString path = makeFile(QStringLiteral("tool.sh"));
        const int program = db.addItem(QStringLiteral("工具"), path, iconTeam, en_team_icon);
        const int site
            = db.addItem(QStringLiteral("站点"), QStringLiteral("https://example.org"), siteTeam, en_team_site);
        auto w = makeWindow();
        const int expectedHeight = oneEntryMenuHeight(w.get());
        QVERIFY(expectedHeight > 0);
        const QMap<QString, QPair<int, int>> ids {
            { "program", { 1, program } }, { "site", { 1, site } }, { "header", { 1, 0 } }, { "empty", { 0, 0 } }
        };
        const int height = chooseFromRecentMenu(w.get(), ids[row].first, ids[row].second);
        // One entry, "放到桌面", which puts the program on the desktop.
        QCOMPARE(height, menu ? expectedHeight : 0);
        QCOMPARE(QFileInfo(desktop() + QStringLiteral("/工具")).symLinkTarget(), menu ? path : QString());
    }

    void putOnDesktopTwice()
    {
        const QString path = makeFile(QStringLiteral("manual.pdf"));
        const int id = db.addItem(QStringLiteral("说明书"), path, iconTeam, en_team_icon);
        auto w = makeWindow();
        QStringList messages;
        const TestUtil::Poll poll = catchMessages(messages);
        QVERIFY(chooseFromRecentMenu(w.get(), 1, id) > 0);
        const QString link = desktop() + QStringLiteral("/说明书");
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);
        QCOMPARE(messages, QStringList());
        chooseFromRecentMenu(w.get(), 1, id);
        QCOMPARE(messages, QStringList { QStringLiteral("错误:桌面已存在该图标!") });
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);
        QCOMPARE(QDir(desktop()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList { QStringLiteral("说明书") });
    }

    void putLauncherOnDesktop()
    {
        const QString path
            = makeFile(QStringLiteral("editor.desktop"), "[Desktop Entry]\nType=Application\nName=Editor\nExec=true\n");
        const int id = db.addItem(QStringLiteral("编辑器"), path, iconTeam, en_team_icon);
        auto w = makeWindow();
        QVERIFY(chooseFromRecentMenu(w.get(), 1, id) > 0);
        QCOMPARE(QFileInfo(desktop() + QStringLiteral("/编辑器.desktop")).symLinkTarget(), path);
        QVERIFY(!QFileInfo::exists(desktop() + QStringLiteral("/编辑器")));
    }

    void putOnMissingDesktop()
    {
        const QString path = makeFile(QStringLiteral("notes.txt"));
        const int id = db.addItem(QStringLiteral("笔记"), path, iconTeam, en_team_icon);
        QVERIFY(!QFileInfo::exists(desktop()));
        auto w = makeWindow();
        QStringList messages;
        const TestUtil::Poll poll = catchMessages(messages);
        chooseFromRecentMenu(w.get(), 1, id);
        QCOMPARE(QFileInfo(desktop() + QStringLiteral("/笔记")).symLinkTarget(), path);
        QCOMPARE(messages, QStringList());
    }

    void namesThatLeaveTheDesktop_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("a/b") << "a/b";
        QTest::newRow("..") << "..";
        QTest::newRow("../x") << "../x";
        QTest::newRow(".") << ".";
        QTest::newRow("a NUL") << QString::fromUtf16(u"x\0y", 3);
    }

    void namesThatLeaveTheDesktop()
    {
        QFETCH(QString, name);
        const QString path = makeFile(QStringLiteral("target.txt"));
        const int id = db.addItem(name, path, iconTeam, en_team_icon);
        QVERIFY(QDir().mkpath(desktop()));
        const QSet<QString> before = filesUnder(QDir::homePath());
        auto w = makeWindow();
        QStringList messages;
        const TestUtil::Poll poll = catchMessages(messages);
        QVERIFY(chooseFromRecentMenu(w.get(), 1, id) > 0);
        QCOMPARE(messages, QStringList { QStringLiteral("错误:桌面已存在该图标!") });
        QCOMPARE(filesUnder(QDir::homePath()), before);
        QVERIFY(QDir(desktop()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
