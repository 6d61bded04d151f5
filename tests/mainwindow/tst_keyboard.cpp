// Brisko without a mouse: keys pressed where the keyboard is in the real window, and every dialog completed with
// Tab, Return and Escape.
#include "aboutdialog.h"
#include "icondatabase.h"
#include "mainwindowfixture.h"
#include "qqdialog.h"
#include "qqtab.h"
#include "qqtree.h"
#include "qskinbutton.h"
#include "qskinmessagebox.h"
#include "searchsession.h"
#include "siteeditdailog.h"
#include "skinsettingdialog.h"
#include "teameditdialog.h"
#include "testutil.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace
{
/// A key with its modifiers, as one number (QKeyCombination::toCombined).
int key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return QKeyCombination(modifiers, k).toCombined();
}

/// Presses the keys where the keyboard is, one after the other.
void press(const QList<int>& keys)
{
    for (const int combined : keys) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY2(target, "no widget has the keyboard");
        const QKeyCombination k = QKeyCombination::fromCombined(combined);
        QTest::keyClick(target, k.key(), k.keyboardModifiers());
    }
}

/// Types text where the keyboard is (QTest::keyClicks takes ASCII only).
void typeText(const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
} // namespace

class TestKeyboard : public MainWindowFixture
{
    Q_OBJECT

private:
    QHash<QString, int> ids;
    QHash<QString, QString> targets;

    template <typename T>
    static T* child(QQDialog* w, const QString& name)
    {
        return w->findChild<T*>(name);
    }

    int addFile(const QString& name, int team)
    {
        const QString path = makeFile(name + QStringLiteral(".txt"));
        ids[name] = db.addItem(name, path, team, en_team_icon);
        targets[name] = path;
        return ids[name];
    }

    /// Where a state of the window is named by the test table: "iconTree:常用软件" for a header, and
    /// "iconTree:常用软件/微信" for an item.
    QString current(QQDialog* w, const QString& treeName) const
    {
        auto* tree = child<QQTree>(w, treeName);
        int team = 0;
        int item = 0;
        tree->getSelectItem(team, item);
        if (team == 0) {
            return treeName + QStringLiteral(":-");
        }
        QString text = treeName + QLatin1Char(':') + tree->teamName(team);
        if (item != 0) {
            text += QLatin1Char('/') + tree->itemName(item);
        }
        return text;
    }

    /// Checks one fact of the table's expectations.
    void verifyFact(QQDialog* w, const QString& fact)
    {
        const QString name = fact.section(QLatin1Char('='), 0, 0);
        const QString value = fact.section(QLatin1Char('='), 1);
        auto* edit = child<QLineEdit>(w, QStringLiteral("searchEdit"));
        auto* tabs = child<QQTab>(w, QStringLiteral("tabBar"));
        QWidget* focus = QApplication::focusWidget();
        if (name == QLatin1String("search")) {
            // The strip is open with the text typed, the keyboard in the edit, and the results shown.
            QVERIFY(edit->isVisible());
            QCOMPARE(edit->text(), value);
            QCOMPARE(focus, static_cast<QWidget*>(edit));
            QCOMPARE(child<QQTree>(w, QStringLiteral("searchTree"))->getScroll()->isVisible(), !value.isEmpty());
        } else if (name == QLatin1String("idle")) {
            QVERIFY(!edit->isVisible());
            QVERIFY(edit->text().isEmpty());
            QVERIFY(child<QSkinButton>(w, QStringLiteral("searchButton"))->isVisible());
            QVERIFY(tabs->isVisible());
            QVERIFY(!child<QQTree>(w, QStringLiteral("searchTree"))->getScroll()->isVisible());
        } else if (name == QLatin1String("opened")) {
            QCOMPARE(opened, QStringList { targets.value(value) });
        } else if (name == QLatin1String("nothing opened")) {
            QCOMPARE(opened, QStringList());
        } else if (name == QLatin1String("current")) {
            QCOMPARE(current(w, value.section(QLatin1Char(':'), 0, 0)), value);
        } else if (name == QLatin1String("open") || name == QLatin1String("closed")) {
            auto* tree = child<QQTree>(w, QStringLiteral("iconTree"));
            QCOMPARE(tree->isTeamOpen(ids.value(value)), name == QLatin1String("open"));
        } else if (name == QLatin1String("tab")) {
            QCOMPARE(tabs->currentItem(), value.toInt());
        } else if (name == QLatin1String("focus")) {
            QVERIFY(focus);
            QCOMPARE(focus->objectName(), value);
        } else if (name == QLatin1String("groups")) {
            QStringList names;
            auto* tree = child<QQTree>(w, QStringLiteral("iconTree"));
            for (const int id : tree->teamIds()) {
                names << tree->teamName(id);
            }
            QCOMPARE(names.join(QLatin1Char(',')), value);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown fact ") + fact));
        }
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
        ids.clear();
        targets.clear();
        ids[QStringLiteral("常用软件")] = db.addTeam(QStringLiteral("常用软件"), en_team_icon);
        ids[QStringLiteral("工作")] = db.addTeam(QStringLiteral("工作"), en_team_icon);
        ids[QStringLiteral("常用网址")] = db.addTeam(QStringLiteral("常用网址"), en_team_site);
        addFile(QStringLiteral("微信"), ids[QStringLiteral("常用软件")]);
        addFile(QStringLiteral("音乐"), ids[QStringLiteral("常用软件")]);
        addFile(QStringLiteral("报告"), ids[QStringLiteral("工作")]);
        targets[QStringLiteral("示例网站")] = QStringLiteral("https://example.org/");
        ids[QStringLiteral("示例网站")] = db.addItem(QStringLiteral("示例网站"),
                                                     targets[QStringLiteral("示例网站")],
                                                     ids[QStringLiteral("常用网址")],
                                                     en_team_site);
        // 微信 was opened before: the recent page lists it.
        QVERIFY(db.setItemLastTime(ids[QStringLiteral("微信")], 1700000000));
    }

    void keys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QStringList>("expected");

        const int down = key(Qt::Key_Down);
        const int up = key(Qt::Key_Up);
        const int left = key(Qt::Key_Left);
        const int right = key(Qt::Key_Right);
        const int ret = key(Qt::Key_Return);
        const int menuKey = key(Qt::Key_Menu);
        const int shiftF10 = key(Qt::Key_F10, Qt::ShiftModifier);
        const int escape = key(Qt::Key_Escape);
        const int ctrlTab = key(Qt::Key_Tab, Qt::ControlModifier);
        // What the keys are pressed in, the keys, the context menu expected (its number of entries and the key
        // that answers it) and the keys typed into the dialog that follows, then what must be true afterwards.
        const auto row = [](const char* name,
                            const char* focus,
                            const QList<int>& keys,
                            const char* menu,
                            const char* dialog,
                            const QStringList& expected) {
            QTest::newRow(name) << QString::fromUtf8(focus) << keys << QString::fromUtf8(menu)
                                << QString::fromUtf8(dialog) << expected;
        };

        // Typing starts a search from wherever the keyboard is.
        row("tree: a letter opens the search", "iconTree", { key(Qt::Key_W) }, "", "", { "search=w" });
        row("tree: pinyin typed on", "iconTree", { key(Qt::Key_W), key(Qt::Key_X) }, "", "", { "search=wx" });
        row("button: a digit opens the search", "searchButton", { key(Qt::Key_2) }, "", "", { "search=2" });
        row("tree: a space starts nothing", "iconTree", { key(Qt::Key_Space) }, "", "", { "idle", "focus=iconTree" });
        row("tree: Ctrl with a letter starts nothing",
            "iconTree",
            { key(Qt::Key_W, Qt::ControlModifier) },
            "",
            "",
            { "idle" });

        // The search edit.
        row("edit: Escape leaves the search", "edit wx", { escape }, "", "", { "idle", "focus=iconTree" });
        row("edit: keypad Enter opens",
            "edit wx",
            { key(Qt::Key_Enter, Qt::KeypadModifier) },
            "",
            "",
            {
                "opened=微信",
            });
        row("edit: Return opens a pinyin match", "edit yinyue", { ret }, "", "", { "opened=音乐" });
        row("edit: Down then Return", "edit y", { down, ret }, "", "", { "opened=音乐" });
        row("results: Escape leaves the search", "results wx", { escape }, "", "", { "idle" });
        row("results: Return opens", "results wx", { ret }, "", "", { "opened=微信" });
        row("button: Return clicks it", "searchButton", { ret }, "", "", { "search=" });

        // The trees: headers are rows, Left and Right close and open groups, Return opens.
        row("tree: Down reaches the first header", "iconTree", { down }, "", "", { "current=iconTree:常用软件" });
        row("tree: Down passes a closed group", "iconTree", { down, down }, "", "", { "current=iconTree:工作" });
        row("tree: Up starts from the last row", "iconTree", { up }, "", "", { "current=iconTree:工作" });
        row("tree: Right opens",
            "iconTree",
            { down, right },
            "",
            "",
            {
                "open=常用软件",
                "current=iconTree:常用软件",
            });
        row("tree: Right twice goes in",
            "iconTree",
            { down, right, right },
            "",
            "",
            {
                "current=iconTree:常用软件/微信",
            });
        row("tree: Down into an open group",
            "iconTree",
            { down, right, down, down },
            "",
            "",
            {
                "current=iconTree:常用软件/音乐",
            });
        row("tree: Left closes from an item",
            "iconTree",
            { down, right, down, left },
            "",
            "",
            {
                "closed=常用软件",
                "current=iconTree:常用软件",
            });
        row("tree: Return opens an item", "iconTree", { down, right, down, ret }, "", "", { "opened=微信" });
        row("tree: Return on a header opens its group",
            "iconTree",
            { down, ret },
            "",
            "",
            {
                "open=常用软件",
                "nothing opened",
            });
        row("sites: Return opens a site", "siteTree", { down, right, down, ret }, "", "", { "opened=示例网站" });
        row("recent: Return opens", "recentTree", { down, ret }, "", "", { "opened=微信" });

        // Context menus for the current row, answered from the keyboard (the first entry is taken by Return).
        row("tree: Menu key on an item",
            "iconTree",
            { down, right, down, menuKey },
            "4 Escape",
            "",
            {
                "current=iconTree:常用软件/微信",
            });
        row("tree: Shift+F10 on a header adds a group",
            "iconTree",
            { down, shiftF10 },
            "5 Return",
            "新组\n",
            {
                "groups=常用软件,工作,新组",
            });
        row("tree: Menu key on nothing, dialog cancelled",
            "iconTree",
            { menuKey },
            "1 Return",
            "新组\x1b",
            {
                "groups=常用软件,工作",
            });
        row("sites: Menu key on a site", "siteTree", { down, right, down, menuKey }, "5 Escape", "", {});
        row("recent: Menu key on a file", "recentTree", { down, menuKey }, "1 Escape", "", {});

        // The tabs.
        row("Ctrl+Tab: the next tab",
            "iconTree",
            { ctrlTab },
            "",
            "",
            {
                "tab=2",
                "focus=siteTree",
                "current=siteTree:常用网址",
            });
        row("Ctrl+Shift+Tab: round to the last",
            "iconTree",
            { key(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier) },
            "",
            "",
            {
                "tab=3",
                "focus=recentTree",
            });
        row("Ctrl+Backtab as X11 sends it",
            "siteTree",
            { key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier) },
            "",
            "",
            {
                "tab=1",
                "focus=iconTree",
            });
        row("Ctrl+Tab leaves a search", "edit wx", { ctrlTab }, "", "", { "idle", "tab=2", "focus=siteTree" });
    }

    void keys()
    {
        QFETCH(QString, focus);
        QFETCH(QList<int>, keys);
        QFETCH(QString, menu);
        QFETCH(QString, dialog);
        QFETCH(QStringList, expected);

        auto w = makeWindow(Show::Active, QPoint(200, 100));
        auto* tabs = child<QQTab>(w.get(), QStringLiteral("tabBar"));
        if (focus.startsWith(QLatin1String("edit ")) || focus.startsWith(QLatin1String("results "))) {
            QTest::mouseClick(child<QSkinButton>(w.get(), QStringLiteral("searchButton")), Qt::LeftButton);
            child<QLineEdit>(w.get(), QStringLiteral("searchEdit"))->setText(focus.section(QLatin1Char(' '), 1));
            QTRY_VERIFY(w->findChild<SearchSession*>()->isSettled());
            if (focus.startsWith(QLatin1String("results "))) {
                child<QQTree>(w.get(), QStringLiteral("searchTree"))->setFocus(Qt::TabFocusReason);
            }
        } else {
            tabs->selectItem(focus == QLatin1String("siteTree") ? 2 : focus == QLatin1String("recentTree") ? 3 : 1);
            child<QWidget>(w.get(), focus)->setFocus(Qt::OtherFocusReason);
        }
        QVERIFY(QApplication::focusWidget());
        auto* startTree = qobject_cast<QQTree*>(QApplication::focusWidget());

        // The menu: how many entries, where it opened, answered with a key; the dialog after it with typed keys.
        int menuRows = -1;
        QRect menuPlace;
        const QString menuKeyName = menu.section(QLatin1Char(' '), 1);
        QString dialogTitle;
        const TestUtil::Poll dialogPoll = TestUtil::answerModal([&](QWidget* box) {
            dialogTitle = box->windowTitle();
            for (const QChar c : dialog) {
                if (c == QLatin1Char('\n')) {
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                } else if (c == QLatin1Char('\x1b')) {
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                } else {
                    typeText(QString(c));
                }
            }
        });
        const TestUtil::Poll menuPoll = TestUtil::answerPopup([&](QWidget* popup) {
            menuRows = (popup->height() - 10) / 30;
            menuPlace = popup->geometry();
            QTest::keyClick(popup, menuKeyName == QLatin1String("Return") ? Qt::Key_Return : Qt::Key_Escape);
        });
        // The pointer is away from the window: a menu from the keyboard opens beside the row, not at the pointer.
        QCursor::setPos(0, 0);
        QVERIFY(!w->geometry().contains(QCursor::pos()));
        press(keys);

        if (menu.isEmpty()) {
            QCOMPARE(menuRows, -1);
        } else {
            QCOMPARE(menuRows, menu.section(QLatin1Char(' '), 0, 0).toInt());
            QVERIFY(startTree);
            const QRect treeArea(startTree->mapToGlobal(QPoint(0, 0)), startTree->size());
            QVERIFY2(treeArea.intersects(menuPlace.adjusted(0, -40, 0, 0)), "the menu opened away from the tree");
        }
        QCOMPARE(dialogTitle.isEmpty(), dialog.isEmpty());
        for (const QString& fact : std::as_const(expected)) {
            verifyFact(w.get(), fact);
            if (QTest::currentTestFailed()) {
                qWarning("fact: %s", qPrintable(fact));
                return;
            }
        }
    }

    void dialogs_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char* name, const char* dialog, const QStringList& keys, const char* outcome) {
            QTest::newRow(name) << QString::fromLatin1(dialog) << keys << QString::fromUtf8(outcome);
        };
        row("group: a name and Return", "group", { "text:新组", "Return" }, "accepted 新组");
        row("group: a name, Tab to the button, Return", "group", { "text:新组", "Tab", "Return" }, "accepted 新组");
        row("group: Escape", "group", { "text:新组", "Escape" }, "rejected");
        row("site: name, Tab, address, Return",
            "site",
            { "text:示例", "Tab", "text:https://example.org", "Return" },
            "accepted 示例 https://example.org");
        row("site: Escape", "site", { "Escape" }, "rejected");
        row("notice: Return", "notice", { "Return" }, "accepted");
        row("notice: Escape", "notice", { "Escape" }, "rejected");
        row("question: Return answers yes", "question", { "Return" }, "accepted");
        row("question: Tab to no, Return", "question", { "Tab", "Return" }, "rejected");
        row("question: Escape answers no", "question", { "Escape" }, "rejected");
        row("about: Return closes", "about", { "Return" }, "closed");
        row("about: Escape closes", "about", { "Escape" }, "closed");
        row("skins: Tab to the second, Return", "skins", { "Tab", "Tab", "Return" }, "skin 2");
        row("skins: arrows to the third, Return", "skins", { "Right", "Right", "Right", "Return" }, "skin 3");
        row("skins: arrows back, keypad Enter", "skins", { "Tab", "Tab", "Left", "Enter" }, "skin 1");
        row("skins: Escape closes", "skins", { "Escape" }, "closed");
    }

    void dialogs()
    {
        QFETCH(QString, dialog);
        QFETCH(QStringList, keys);
        QFETCH(QString, outcome);
        const auto pressKeys = [keys] {
            for (const QString& k : keys) {
                QWidget* target = QApplication::focusWidget();
                QVERIFY2(target, "no widget has the keyboard");
                if (k.startsWith(QLatin1String("text:"))) {
                    typeText(k.mid(5));
                    continue;
                }
                const Qt::Key code = k == QLatin1String("Tab") ? Qt::Key_Tab
                    : k == QLatin1String("Return")             ? Qt::Key_Return
                    : k == QLatin1String("Enter")              ? Qt::Key_Enter
                    : k == QLatin1String("Right")              ? Qt::Key_Right
                    : k == QLatin1String("Left")               ? Qt::Key_Left
                                                               : Qt::Key_Escape;
                QTest::keyClick(target, code);
            }
        };

        if (dialog == QLatin1String("about") || dialog == QLatin1String("skins")) {
            // Windows of their own, as the main window opens them.
            QPointer<BaseWindow> window;
            int chosen = 0;
            if (dialog == QLatin1String("about")) {
                window = new AboutDialog(nullptr);
            } else {
                auto* picker = new SkinSettingDialog(nullptr);
                for (QSkinButton* b : { picker->btnSkin1, picker->btnSkin2, picker->btnSkin3, picker->btnSkin4 }) {
                    connect(b, &QSkinButton::clickedex, this, [&chosen](QSkinButton* clicked) {
                        chosen = clicked->getId();
                    });
                }
                window = picker;
            }
            window->show();
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            pressKeys();
            if (outcome == QLatin1String("closed")) {
                QVERIFY(!window || !window->isVisible());
                QTRY_VERIFY(window.isNull()); // freed once closed
            } else {
                QCOMPARE(QStringLiteral("skin %1").arg(chosen), outcome);
                QVERIFY(window && window->isVisible());
                delete window.data();
            }
            return;
        }

        // Modal dialogs, answered from the keyboard while they wait.
        bool answered = false;
        const TestUtil::Poll poll = TestUtil::answerModal([&](QWidget*) { pressKeys(); }, &answered);
        QString result;
        if (dialog == QLatin1String("group")) {
            TeamEditDialog edit(nullptr);
            const bool accepted = edit.exec() == QDialog::Accepted;
            result = accepted ? QStringLiteral("accepted ") + edit.getName() : QStringLiteral("rejected");
        } else if (dialog == QLatin1String("site")) {
            SiteEditDailog edit(nullptr);
            const bool accepted = edit.exec() == QDialog::Accepted;
            result = accepted ? QStringLiteral("accepted %1 %2").arg(edit.getName(), edit.getSite())
                              : QStringLiteral("rejected");
        } else {
            const int answer = QSkinMessageBox::showMessage(QStringLiteral("是否继续?"),
                                                            dialog == QLatin1String("question") ? 1 : 0);
            result = answer == QDialog::Accepted ? QStringLiteral("accepted") : QStringLiteral("rejected");
        }
        QVERIFY(answered);
        QCOMPARE(result, outcome);
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
