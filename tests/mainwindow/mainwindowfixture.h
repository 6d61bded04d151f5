#pragma once

#include "icondatabase.h"
#include "qqdialog.h"
#include "testutil.h"

#include <QObject>
#include <QPoint>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class QQTree;

/// What the main-window tests share. A test class derives from MainWindowFixture and gets:
/// - `db`, the process-wide catalogue the window reads: openCatalogue() (in initTestCase) opens it and checks that
///   it can be used; clearCatalogue() leaves no group and no item in it;
/// - `files`, a temporary folder for the files its items name (makeFile());
/// - `opened` and `openSucceeds`: recordOpens() replaces the platform's opener with one that runs the platform's
///   checks, then only notes each target in `opened` and answers `openSucceeds`; the real opener is put back when
///   the test object goes;
/// - startEmpty() for init(): nothing opened yet, an opener that succeeds, and a clear catalogue;
/// - makeWindow() for a window the test owns, tree() for its trees, storedCount(), and treeCommand() to choose an
///   entry of a tree's right-click menu (MenuChoice answers such a menu and notes what it offered);
/// - answerNotices() (also for tests that do not derive) to answer the message boxes the window shows on its own.
class MainWindowFixture : public QObject
{
public:
    ~MainWindowFixture() override;

    /// Chooses an entry of the next menu by its text (or dismisses the menu when it has no such entry, or the
    /// entry is empty), and notes the entries the menu offered.
    struct MenuChoice
    {
        QStringList texts;
        QList<int> ids;
        bool answered = false;
        TestUtil::Poll poll;

        void arm(QQDialog* window, const QString& entry);
    };

    /// Answers every message box that appears with OK, noting the title and text of the last one; any other
    /// dialog is rejected. A second box is counted by answered() instead of blocking the test.
    [[nodiscard]] static TestUtil::Poll answerNotices(QString& title, QString& text);

protected:
    IconDatabase db;
    QTemporaryDir files;
    QStringList opened;
    bool openSucceeds = true;

    enum class Show
    {
        Hidden,
        Exposed,
        Active, ///< shown and given the keyboard
    };

    void openCatalogue();
    void recordOpens();
    void startEmpty();
    void clearCatalogue();

    /// A file of the temporary folder with the given content.
    QString makeFile(const QString& name, const QByteArray& content = "x");

    /// A main window the test owns: closing it does not free it. Placed at `at` before it is shown.
    static std::unique_ptr<QQDialog> makeWindow(Show show = Show::Exposed, std::optional<QPoint> at = std::nullopt);

    static QQTree* tree(QQDialog* w, const char* name);

    /// How many files and programs the catalogue holds.
    int storedCount();

    /// Right-clicks a row of the icon tree (of the site tree with `sites`) as the tree reports it, 0 for no group
    /// or no item.
    static void rightClick(QQDialog* w, bool sites, int teamid, int itemid);

    /// Right-clicks and chooses `entry` from the menu that opens; fails unless the menu offered it.
    static void treeCommand(QQDialog* w, bool sites, int teamid, int itemid, const QString& entry);
};
