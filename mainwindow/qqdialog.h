#pragma once

#include "basewindow.h"
#include "icondatabase.h"
#include "qqhidehelper.h"
#include "qresizehelper.h"

#include <QHash>
#include <QPixmap>
#include <QSystemTrayIcon>

class QKeyEvent;
class QLineEdit;
class QQTab;
class QQTree;
class QSkinButton;
class QSkinLabel;
class SearchSession;
class QTimer;

/// The main window: logo and clock, the search strip, the tab bar over the icon groups, site groups and
/// recent pages, the search results page, the bottom buttons and the tray icon.
class QQDialog : public BaseWindow
{
    Q_OBJECT

public:
    explicit QQDialog(QWidget* parent = nullptr);
    /// The images the window shows when it opens (its first skin, buttons, tabs), for reading them ahead while
    /// the program starts (SkinPath::preload).
    static QStringList startupImages();
    ~QQDialog() override;

    /// True once the window's first paint, its children's included, is through.
    bool hasPainted() const { return m_painted; }

public slots:
    // Small buttons, tray, clock and skins (menus.cpp)
    void onBtnCal();
    void onBtnNote();
    void onBtnMenu();
    void onBtnSkin();
    void onTrayActivate(QSystemTrayIcon::ActivationReason reason);
    void timeFunction();
    void onSkinChange(QSkinButton* pBtn);
    // Requests of a later start, `brisko --show` and `brisko --toggle` (menus.cpp)
    /// Brings the window up, raised and active, from hidden, minimised or slid out at a screen edge.
    void showOnRequest();
    /// Puts the window away as its minimise button does when it is up; brings it up otherwise.
    void toggleOnRequest();

    // Search and the recent page's menu (search.cpp)
    void onBtnSearchDel();
    void onBtnSearch();
    void onSearchTextChanged(const QString& text);
    void onRecentTreeRClicked(int teamid, int itemid);

    // Group, item and site commands of the icon and site trees (treecommands.cpp)
    void rightClickTree(QQTree* tree, tb_en_team_type type, int teamid, int itemid);
    void onTreeRClicked(int teamid, int itemid);
    void onSiteTreeRClicked(int teamid, int itemid);

    // Opening and dropping (qqdialog.cpp)
    void onTreeDropEvent(QDropEvent* event, int teamid, int itemid);
    void onTreeDbClicked(int teamid, int itemid);
    void onSiteTreeDbClicked(int teamid, int itemid);
    void onSearchTreeDbClicked(int teamid, int itemid);

signals:
    /// Emitted once, when the first paint of the window, its children's included, has completed.
    void firstPainted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    /// Keys no child took (keyboard.cpp).
    void keyPressEvent(QKeyEvent* event) override;
    /// A close from outside (the window manager, a window list) ends the program like the title bar's close
    /// button: hidden without a tray, the window could not be brought back.
    void closeEvent(QCloseEvent* event) override;

public slots:
    void onCloseWin() override;
    void onMinWin() override;
    /// Escape does not hide the main window (a dialog would be rejected).
    void reject() override;

private:
    // The main menu's help page and starting at log-in (menus.cpp)
    void openHelp();
    void switchStartAtLogin();

    // Search and put-on-desktop (search.cpp)
    void showSearchEdit(bool show);
    void showSearchResult(bool show);
    void putOnDesktop(const QString& name, const QString& filePath);
    /// The search keys of the edit (Up, Down, Return and Enter, Escape); true when the key was taken.
    bool searchEditKey(const QKeyEvent* event);
    /// The search of this window, made when first needed.
    SearchSession* searchSession();
    void onSearchRowsAppended();

    // The keyboard (keyboard.cpp)
    /// Ctrl+Tab and Ctrl+Shift+Tab: the next or previous tab, its page taking the keyboard; true when taken.
    bool switchTabKey(const QKeyEvent* event);
    /// A printable character typed outside the search edit opens the search strip with it; true when taken.
    bool typeToSearch(const QKeyEvent* event);

    // Tree commands (treecommands.cpp)
    void addSite(int teamid, int itemid);
    void editSite(int itemid);
    void addGroup(QQTree* tree, tb_en_team_type type);
    void renameGroup(QQTree* tree, int teamid);
    void deleteGroup(QQTree* tree, tb_en_team_type type, int teamid);
    void moveGroup(QQTree* tree, int teamid, bool up);
    void deleteTreeItem(QQTree* tree, int itemid);
    void moveTreeItem(QQTree* tree, int teamid, int itemid, bool up);
    /// Shows in `tree` the groups and items of that kind as the catalogue holds them; groups keep the open
    /// state given in `open`.
    void showCatalogue(QQTree* tree, tb_en_team_type type, const QHash<int, bool>& open);
    /// Places a dialog of a command over this window.
    void placeDialog(QWidget* dialog) const;
    /// Tells the person that the catalogue refused a change.
    void reportSaveFailure();

    // Construction, opening and dropping (qqdialog.cpp)
    /// The tree of the page that tab `index` shows; nullptr when it shows none.
    QQTree* pageTree(int index) const;
    void fillTrees();
    /// The item count of every group, by group id and kind, as the catalogue keeps them.
    using TeamCounts = QHash<QPair<int, int>, int>;
    TeamCounts readTeamCounts();
    /// Adds to `tree` the groups of that kind as the catalogue holds them, each with its count from `counts` (the
    /// items are read when a group first opens); groups named in `open` are opened.
    void addGroups(QQTree* tree, tb_en_team_type type, const QHash<int, bool>& open, const TeamCounts& counts);
    void openItem(int teamid, int itemid);
    /// Icon of a file item, asked by the trees when a row without an icon is first painted.
    QPixmap itemIcon(int itemId);
    QPixmap siteIcon() const;
    void watchForTray();
    void createTrayIcon();
    /// Starts the quick check of the catalogue file (once).
    void startCatalogueCheck();
    /// The window's first paint, its children's included, is through.
    void firstPaintDone();
    /// Tells the person once that the catalogue cannot be used, or can be read but not changed, and why.
    void warnUnusableCatalogue();
    void restoreToolWindow();
    /// Makes the window a tool window (true) or, to be listed in task bars while minimised, an ordinary one
    /// (false), where it stands.
    void setToolWindow(bool tool);

    QQHideHelper hideHelper;
    QResizeHelper resizeHelper;
    QQTree* searchTree = nullptr;
    QQTree* iconTree = nullptr;
    QQTree* recentTree = nullptr;
    QQTree* siteTree = nullptr;
    QQTab* tabBar = nullptr;
    IconDatabase database;
    QSkinButton* skinButton = nullptr;
    QSkinButton* calcButton = nullptr;
    QSkinButton* noteButton = nullptr;
    QSkinButton* menuButton = nullptr;
    QSkinButton* searchClearButton = nullptr;
    QSkinLabel* logoLabel = nullptr;
    QSkinLabel* dateLabel = nullptr;
    QSkinLabel* timeLabel = nullptr;
    QSkinLabel* searchIconLabel = nullptr;
    QSkinLabel* searchBackLabel = nullptr;
    QSkinButton* searchButton = nullptr;
    QLineEdit* searchEdit = nullptr;

    // Search (search.cpp)
    SearchSession* m_search = nullptr;

    QSystemTrayIcon* m_trayIcon = nullptr;
    QTimer* m_clockTimer = nullptr;
    /// Waits for a system tray that appears after start-up (a panel started later).
    QTimer* m_trayWatch = nullptr;
    /// The person is still to be told that the catalogue cannot be used or cannot take changes.
    bool m_catalogueWarningDue = false;
    /// The quick check of the catalogue file has been started (once the window is first shown).
    bool m_catalogueCheckStarted = false;
    /// The first paint has begun; m_painted: it is through.
    bool m_paintStarted = false;
    bool m_painted = false;
    /// Set while minimised to the task bar with the tool-window flag dropped (no tray to come back through).
    bool m_toolDropped = false;
    /// Set once the program has been asked to end.
    bool m_quitting = false;
};
