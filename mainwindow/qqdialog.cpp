#include "qqdialog.h"

#include "platform.h"
#include "qqtab.h"
#include "qqtree.h"
#include "qskinbutton.h"
#include "qskinlabel.h"
#include "qskinmenu.h"
#include "qskinmessagebox.h"
#include "skinpath.h"
#include "windowtexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollArea>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace
{
const char* const SiteIconPath = "Skins\\icon\\site.png";

/// The id of the single group of the recent and search trees.
constexpr int SingleGroup = 1;

// What opening an item tells the person when it fails (titled "错误").
const char* const ErrorTitle = "错误";
const char* const MissingFileText = "打开失败!该程序可能已被删除,位置: %1";
const char* const MalformedAddressText = "打开失败!,网址格式可能存在错误,请检查!";
const char* const OpenFailedText = "打开失败!%1,位置: %2";
const char* const UntrustedLauncherText
    = "打开失败!这个启动器不受信任,没有运行,位置: %1\n"
      "如果您信任它,请允许它作为程序运行(在文件管理器的属性中勾选“允许作为程序执行”,或执行 chmod +x)后再打开。";

// What a drop tells the person, once per drop, after the drop has finished.
const char* const SkippedFilesText = "有 %1 个文件未能添加(文件已不存在或文件名无法识别)";
const char* const NotStoredText = "有 %1 个文件未能保存到图标库";

/// The groups of one kind as the catalogue holds them, for a tree that reads a group's items when it first shows
/// them.
class CatalogueGroups : public QQTree::TeamSource
{
public:
    CatalogueGroups(const IconDatabase& database, tb_en_team_type type)
        : m_database(database)
        , m_type(type)
    {
    }

    bool readItemIds(int teamId, std::vector<int>& ids) override
    {
        return m_database.readTeamItemIds(teamId, m_type, ids);
    }

    QString readItemName(int itemId) override
    {
        QString name;
        m_database.readItemName(itemId, name);
        return name;
    }

    int readItemTeam(int itemId) override { return m_database.readItemTeam(itemId, m_type); }

    int readItemCount(int teamId) override { return m_database.readTeamItemCount(teamId, m_type); }

private:
    IconDatabase m_database;
    const tb_en_team_type m_type;
};

/// Tells the person why an open failed; nothing when it opened. `location` is the item's path or address.
void reportOpenFailure(QWidget* parent, const Platform::OpenResult& result, const QString& location)
{
    QString text;
    switch (result.status) {
    case Platform::OpenResult::Opened:
        return;
    case Platform::OpenResult::Malformed:
        text = QString::fromUtf8(MalformedAddressText);
        break;
    case Platform::OpenResult::Untrusted:
        text = QString::fromUtf8(UntrustedLauncherText).arg(location);
        break;
    case Platform::OpenResult::Failed:
    case Platform::OpenResult::NotInstalled:
        text = QString::fromUtf8(OpenFailedText).arg(result.reason, location);
        break;
    }
    QMessageBox::information(parent, QString::fromUtf8(ErrorTitle), text, QMessageBox::Ok, QMessageBox::NoButton);
}
} // namespace

QStringList QQDialog::startupImages()
{
    // In the order the constructor asks for them: the thread reading them ahead is then always ahead of it.
    QStringList images = BaseWindow::titleButtonImages();
    images << QStringLiteral("Skins/main_bg/1/main_bg_bottom.png") << QStringLiteral("Skins/main_bg/1/main_bg_top.png")
           << QStringLiteral("Skins/icon/office.png") << QStringLiteral("Skins/search_bg.png")
           << QStringLiteral("Skins/icon/search.png") << QStringLiteral("Skins/icon/del.png");
    for (const char* tab : { "main_tab_highlight",
                             "main_tab_check",
                             "desk",
                             "desk_gray",
                             "site",
                             "site_gray",
                             "rectent",
                             "rectent_gray" }) {
        images << QStringLiteral("Skins/MainTabCtrl/%1.png").arg(QLatin1String(tab));
    }
    images << QStringLiteral("Skins/btn/skin.png") << QStringLiteral("Skins/btn/skin2.png")
           << QStringLiteral("Skins/btn/skin3.png") << QStringLiteral("Skins/icon/SystemSet.png")
           << QStringLiteral("Skins/icon/cal.png") << QStringLiteral("Skins/icon/note.png");
    return images;
}

QQDialog::QQDialog(QWidget* parent)
    // Every control of this window paints itself but the search edit, which takes the shared style sheet on its
    // own when it is first shown: the window leaves it, so that showing the window polishes no child through a
    // style sheet.
    : BaseWindow(parent, false, QColor(250, 250, 250, 255), SharedStyle::Left)
    , hideHelper(nullptr)
{
    // The window's own form: object name, provisional size and plain title.
    if (objectName().isEmpty()) {
        setObjectName(QStringLiteral("QQDialog"));
    }
    resize(400, 300);
    QWidget::setWindowTitle(QStringLiteral("QQDialog"));

    BaseWindow::setWindowTitle(QStringLiteral("Brisko桌面"));
    onSkinChange(nullptr);
    BaseWindow::setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::FramelessWindowHint);

    resize(270, 580);
    setMinimumWidth(200);
    setMinimumHeight(400);
    resizeEnable(true);
    hideHelper.init(this);
    const int W = rect().width();
    const int H = rect().height();

    logoLabel = new QSkinLabel(this);
    logoLabel->setObjectName(QStringLiteral("logoLabel"));
    logoLabel->setImg(QStringLiteral("Skins\\icon\\office.png"));
    logoLabel->setGeometry(14, 36, 50, 50);

    dateLabel = new QSkinLabel(this);
    dateLabel->setObjectName(QStringLiteral("dateLabel"));
    dateLabel->setGeometry(80, 34, 180, 30);

    timeLabel = new QSkinLabel(this);
    timeLabel->setObjectName(QStringLiteral("timeLabel"));
    timeLabel->setGeometry(80, 60, 200, 30);

    searchBackLabel = new QSkinLabel(this);
    searchBackLabel->setObjectName(QStringLiteral("searchBackLabel"));
    searchBackLabel->setBgColor(255, 255, 255);
    searchBackLabel->setGeometry(0, 100, W, 30);
    searchBackLabel->hide();
    searchBackLabel->installEventFilter(this);

    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchEdit->setGeometry(0, 100, W - 30, 30);
    searchEdit->hide();
    searchEdit->installEventFilter(this);
    connect(searchEdit, &QLineEdit::textChanged, this, &QQDialog::onSearchTextChanged);

    searchButton = new QSkinButton(this);
    searchButton->setObjectName(QStringLiteral("searchButton"));
    searchButton->setImg(QStringLiteral("Skins\\search_bg.png"));
    searchButton->setGeometry(0, 100, W, 30);
    searchButton->setBtnStyle(2);
    searchButton->setText(QStringLiteral("输入图标关键字进行搜索"));
    searchButton->installEventFilter(this);

    searchIconLabel = new QSkinLabel(this);
    searchIconLabel->setObjectName(QStringLiteral("searchIconLabel"));
    searchIconLabel->setImg(QStringLiteral("Skins\\icon\\search.png"));
    searchIconLabel->setGeometry(W - 25, 105, 20, 20);

    searchClearButton = new QSkinButton(this);
    searchClearButton->setObjectName(QStringLiteral("searchClearButton"));
    searchClearButton->setImg(QStringLiteral("Skins\\icon\\del.png"));
    searchClearButton->setGeometry(W - 25, 105, 20, 20);
    searchClearButton->hide();

    tabBar = new QQTab(this);
    tabBar->setObjectName(QStringLiteral("tabBar"));
    tabBar->setGeometry(1, 130, W - 2, 30);
    tabBar->show();
    tabBar->installEventFilter(this);

    // File items are added without an icon: the trees ask for it when a row is first painted, so start-up
    // does no icon lookup per item.
    const QQTree::IconSource iconSource = [this](int itemId) { return itemIcon(itemId); };
    const QRect treeArea(0, 160, W, H - 192);

    // Each tree: its name, the icon source for its file items and its place.
    const auto makeTree = [&](const char* name, const QRect& area) {
        auto* tree = new QQTree(this);
        tree->setObjectName(QLatin1String(name));
        tree->setIconSource(iconSource);
        tree->setGeometry(area);
        return tree;
    };

    iconTree = makeTree("iconTree", treeArea);
    iconTree->installEventFilter(this);
    siteTree = makeTree("siteTree", treeArea);
    siteTree->installEventFilter(this);
    for (QQTree* tree : { iconTree, siteTree }) {
        connect(tree, &QQTree::teamReadFailed, this, [] {
            QSkinMessageBox::showMessage(
                QStringLiteral("无法读取该分组的全部图标：目录数据库暂时无法读取。已读到的图标照常显示。"), 0);
        });
    }
    recentTree = makeTree("recentTree", treeArea);
    recentTree->addTeam(SingleGroup, QStringLiteral("最近打开"), 0, true);
    recentTree->setTeamHeight(SingleGroup, 0);
    recentTree->installEventFilter(this);

    const struct
    {
        QQTree* tree;
        const char* icon;
        const char* greyIcon;
        const char* title;
    } tabItems[] = {
        { iconTree, "desk", "desk_gray", "图标管理" },
        { siteTree, "site", "site_gray", "网址管理" },
        { recentTree, "rectent", "rectent_gray", "最近打开" },
    };
    const QString tabImage = QStringLiteral("Skins\\MainTabCtrl\\%1.png");
    for (const auto& item : tabItems) {
        tabBar->addItem(item.tree->getScroll(),
                        tabImage.arg(QLatin1String("main_tab_highlight")),
                        tabImage.arg(QLatin1String("main_tab_check")),
                        tabImage.arg(QLatin1String(item.icon)),
                        tabImage.arg(QLatin1String(item.greyIcon)),
                        QString::fromUtf8(item.title));
    }
    tabBar->selectItem(1);

    searchTree
        = makeTree("searchTree", QRect(treeArea.left(), treeArea.top() - 30, treeArea.width(), treeArea.height() + 30));
    searchTree->hide();
    searchTree->addTeam(SingleGroup, QStringLiteral("搜索结果"), 0, true);
    searchTree->setTeamHeight(SingleGroup, 0);
    searchTree->installEventFilter(this);

    IconDatabase::instance().openDatabase();
    database = IconDatabase::instance();
    // An unusable catalogue is left untouched, and one that cannot be written is only read; the person is told
    // once the window is on screen.
    m_catalogueWarningDue = !database.isUsable() || !database.isWritable();

    fillTrees();

    skinButton = new QSkinButton(this);
    skinButton->setObjectName(QStringLiteral("skinButton"));
    skinButton->setImg(QStringLiteral("Skins\\btn\\skin.png"),
                       QStringLiteral("Skins\\btn\\skin2.png"),
                       QStringLiteral("Skins\\btn\\skin3.png"));
    skinButton->setGeometry(W - 78, 6, 20, 14);

    menuButton = new QSkinButton(this);
    menuButton->setObjectName(QStringLiteral("menuButton"));
    menuButton->setImg(QStringLiteral("Skins\\icon\\SystemSet.png"));
    menuButton->setGeometry(5, H - 28, 24, 24);

    calcButton = new QSkinButton(this);
    calcButton->setObjectName(QStringLiteral("calcButton"));
    calcButton->setImg(QStringLiteral("Skins\\icon\\cal.png"));
    calcButton->setGeometry(5 + 34, H - 28, 24, 24);

    noteButton = new QSkinButton(this);
    noteButton->setObjectName(QStringLiteral("noteButton"));
    noteButton->setImg(QStringLiteral("Skins\\icon\\note.png"));
    noteButton->setGeometry(5 + 2 * 34, H - 28, 24, 24);

    timeFunction();

    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(QStringLiteral("clockTimer"));
    connect(m_clockTimer, &QTimer::timeout, this, &QQDialog::timeFunction);
    m_clockTimer->start(1000);

    resizeHelper.create(this);
    resizeHelper.addCtrl(tabBar, false, false, true, false, false, 1.0f);
    resizeHelper.addCtrl(searchTree->getScroll(), false, false, true, true, false, 1.0f);
    resizeHelper.addCtrl(iconTree->getScroll(), false, false, true, true, false, 1.0f);
    resizeHelper.addCtrl(siteTree->getScroll(), false, false, true, true, false, 1.0f);
    resizeHelper.addCtrl(recentTree->getScroll(), false, false, true, true, false, 1.0f);
    resizeHelper.addCtrl(searchTree, false, false, true, true, false, 1.0f);
    resizeHelper.addCtrl(searchIconLabel, true, false, false, false, false, 1.0f);
    resizeHelper.addCtrl(searchClearButton, true, false, false, false, false, 1.0f);
    resizeHelper.addCtrl(searchBackLabel, false, false, true, false, false, 1.0f);
    resizeHelper.addCtrl(searchEdit, false, false, true, false, false, 1.0f);
    resizeHelper.addCtrl(searchButton, false, false, true, false, false, 1.0f);
    resizeHelper.addCtrl(skinButton, true, false, false, false, false, 1.0f);
    resizeHelper.addCtrl(calcButton, false, true, false, false, false, 1.0f);
    resizeHelper.addCtrl(noteButton, false, true, false, false, false, 1.0f);
    resizeHelper.addCtrl(menuButton, false, true, false, false, false, 1.0f);

    connect(skinButton, &QSkinButton::clicked, this, &QQDialog::onBtnSkin);
    connect(searchClearButton, &QSkinButton::clicked, this, &QQDialog::onBtnSearchDel);
    connect(searchButton, &QSkinButton::clicked, this, &QQDialog::onBtnSearch);
    connect(menuButton, &QSkinButton::clicked, this, &QQDialog::onBtnMenu);
    connect(noteButton, &QSkinButton::clicked, this, &QQDialog::onBtnNote);
    connect(calcButton, &QSkinButton::clicked, this, &QQDialog::onBtnCal);
    connect(siteTree, &QQTree::RClicked, this, &QQDialog::onSiteTreeRClicked);
    connect(siteTree, &QQTree::DbClicked, this, &QQDialog::onSiteTreeDbClicked);
    connect(iconTree, &QQTree::RClicked, this, &QQDialog::onTreeRClicked);
    connect(iconTree, &QQTree::DbClicked, this, &QQDialog::onTreeDbClicked);
    connect(recentTree, &QQTree::DbClicked, this, &QQDialog::onTreeDbClicked);
    connect(recentTree, &QQTree::RClicked, this, &QQDialog::onRecentTreeRClicked);
    connect(searchTree, &QQTree::DbClicked, this, &QQDialog::onSearchTreeDbClicked);
    connect(iconTree, &QQTree::sig_dragEvent, this, &QQDialog::onTreeDropEvent);

    iconTree->setFocus();
}

QQDialog::~QQDialog() = default;

void QQDialog::fillTrees()
{
    IconDatabase& db = IconDatabase::instance();
    iconTree->setTeamSource(std::make_shared<CatalogueGroups>(db, en_team_icon));
    siteTree->setTeamSource(std::make_shared<CatalogueGroups>(db, en_team_site));
    const TeamCounts counts = readTeamCounts();
    addGroups(iconTree, en_team_icon, {}, counts);
    addGroups(siteTree, en_team_site, {}, counts);

    // Without icons: the tree asks for them when the recent page is first painted.
    QList<IconItemInfo> items;
    db.getRecentItems(items);
    for (const IconItemInfo& item : std::as_const(items)) {
        if (item.ttype == en_team_icon || item.ttype == en_team_site) {
            recentTree->addItem(item.id, SingleGroup, item.icon_name, QPixmap(), false);
        }
    }
}

QQTree* QQDialog::pageTree(int index) const
{
    QWidget* page = tabBar->page(index);
    return page ? page->findChild<QQTree*>() : nullptr;
}

QQDialog::TeamCounts QQDialog::readTeamCounts()
{
    TeamCounts counts;
    database.readTeamItemCounts(
        [&counts](int teamId, int ttype, int count) { counts.insert(qMakePair(teamId, ttype), count); });
    return counts;
}

void QQDialog::addGroups(QQTree* tree, tb_en_team_type type, const QHash<int, bool>& open, const TeamCounts& counts)
{
    // The groups come with their item counts only: a group's items are read from the catalogue when it is first
    // opened (or an item is added to it), so showing the groups costs the same however many items they hold.
    QList<TeamInfo> teams;
    database.getTeamsByType(teams, type);
    for (const TeamInfo& team : std::as_const(teams)) {
        tree->addTeamUnread(team.id, team.name, counts.value(qMakePair(team.id, int(type))));
        if (open.value(team.id, false)) {
            tree->setTeamOpen(team.id, true);
        }
    }
}

QPixmap QQDialog::siteIcon() const
{
    return SkinPath::pixmap(QString::fromLatin1(SiteIconPath));
}

QPixmap QQDialog::itemIcon(int itemId)
{
    // Asked only for rows being painted, so one lookup by id costs nothing next to the painting; the trees
    // keep the answer.
    IconItemInfo info;
    if (!database.getItem(info, itemId)) {
        return QPixmap();
    }
    if (info.ttype == en_team_site) {
        return siteIcon();
    }
    if (info.ttype != en_team_icon) {
        return QPixmap();
    }
    return Platform::fileIcon(info.file_name).pixmap(32, 32);
}

void QQDialog::watchForTray()
{
    // Without a system tray now, one may still appear later (a panel started after us): look for it now and
    // then, and create the icon when it is there.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        createTrayIcon();
        return;
    }
    if (m_trayIcon || m_trayWatch) {
        return;
    }
    m_trayWatch = new QTimer(this);
    m_trayWatch->setInterval(3000);
    connect(m_trayWatch, &QTimer::timeout, this, [this] {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            createTrayIcon();
        }
    });
    m_trayWatch->start();
}

void QQDialog::createTrayIcon()
{
    if (m_trayIcon) {
        return;
    }
    if (m_trayWatch) {
        m_trayWatch->stop();
    }
    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setObjectName(QStringLiteral("trayIcon"));
    m_trayIcon->setToolTip(QStringLiteral("Brisko助手"));
    // From a pixmap: an icon made from a file name has every image plugin probe the file's contents.
    m_trayIcon->setIcon(QIcon(SkinPath::pixmap(QStringLiteral("Skins\\icon\\default.png"))));
    m_trayIcon->show();
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &QQDialog::onTrayActivate);
}

void QQDialog::mouseMoveEvent(QMouseEvent*)
{
    // Moving and resizing are handled by the title bar and the window's edges, not here.
}

void QQDialog::resizeEvent(QResizeEvent* event)
{
    BaseWindow::resizeEvent(event);
    resizeHelper.resing();
}

void QQDialog::showEvent(QShowEvent* event)
{
    BaseWindow::showEvent(event);
    if (m_catalogueWarningDue) {
        m_catalogueWarningDue = false;
        QTimer::singleShot(0, this, &QQDialog::warnUnusableCatalogue);
    }
    // The quick check and the look for a tray start once the window is painted (see paintEvent), or a moment
    // after it is shown should it not be painted by then.
    if (!m_catalogueCheckStarted) {
        QTimer::singleShot(1000, this, [this] {
            startCatalogueCheck();
            watchForTray();
        });
    }
}

void QQDialog::startCatalogueCheck()
{
    if (m_catalogueCheckStarted) {
        return;
    }
    m_catalogueCheckStarted = true;
    // A damaged page shows only as missing entries: SQLite's quick check looks at the whole file, off the GUI
    // thread. When it fails the store takes no more changes, and the person is told.
    database.startIntegrityCheck(this, [this] { warnUnusableCatalogue(); });
}

void QQDialog::paintEvent(QPaintEvent* event)
{
    BaseWindow::paintEvent(event);
    if (!m_paintStarted) {
        m_paintStarted = true;
        // The children paint after this window's background, and the whole is then put on screen: the first
        // paint is through when the event loop comes back.
        QTimer::singleShot(0, this, &QQDialog::firstPaintDone);
    }
}

void QQDialog::firstPaintDone()
{
    m_painted = true;
    // Lets start-up measurements see when the window is on screen.
    if (qEnvironmentVariable("BRISKO_REPORT_SHOWN") == QLatin1String("1")) {
        std::fprintf(stderr, "brisko: window shown\n");
        std::fflush(stderr);
    }
    // Asking for the tray is a round trip to the session bus or the X server: it waits until the window shows.
    watchForTray();
    emit firstPainted();
    // Work that would compete with the first paint for the processor (two cores shared with the desktop) waits
    // until it is through.
    startCatalogueCheck();
    // The icon theme and the MIME database are read on their first use, and the pages' scroll bars styled on
    // theirs: have that done before a group opens.
    QTimer::singleShot(0, this, [this] {
        Platform::fileIcon(QStringLiteral("/nonexistent/brisko.txt")).pixmap(32, 32);
        for (QQTree* tree : { iconTree, siteTree, recentTree, searchTree }) {
            tree->styleScrollBar();
        }
    });
}

void QQDialog::changeEvent(QEvent* event)
{
    BaseWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_toolDropped && !isMinimized()) {
        // Back from the task bar: become the tool window again once the state change is through.
        QTimer::singleShot(0, this, &QQDialog::restoreToolWindow);
    }
}

void QQDialog::warnUnusableCatalogue()
{
    // The store's sentence names the file and says why; without one, say what is known here.
    const QString path = QDir::toNativeSeparators(database.databasePath());
    const bool readable = database.isUsable();
    QString text = readable ? database.writeBlockReason() : database.errorText();
    if (text.isEmpty()) {
        text = QStringLiteral("无法使用图标数据库 %1,该文件未被改动。").arg(path);
    } else if (!path.isEmpty() && !text.contains(path)) {
        text += QStringLiteral("\n文件: %1").arg(path);
    }
    text += readable ? QStringLiteral("\n\n本次运行可以查看图标库,但所做的添加和修改不会被保存。")
                     : QStringLiteral("\n\n本次运行使用空的图标库,所做的添加和修改不会被保存。");
    QMessageBox::warning(this, QStringLiteral("错误"), text, QMessageBox::Ok, QMessageBox::NoButton);
}

void QQDialog::onCloseWin()
{
    m_quitting = true;
    close();
    QCoreApplication::quit();
}

void QQDialog::reject()
{
    // The main window is no dialog to dismiss: Escape would hide it, and without a tray nothing brings it back
    // while a new start is refused as "already running".
}

void QQDialog::closeEvent(QCloseEvent* event)
{
    // QDialog would turn the close into reject(), which does nothing here: close for real and end the program.
    event->accept();
    if (!m_quitting) {
        m_quitting = true;
        QCoreApplication::quit();
    }
}

void QQDialog::onMinWin()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        createTrayIcon();
        hide();
        return;
    }
    // No tray to come back through: minimise to the task bar. A tool window is left out of most task bars,
    // so it is an ordinary window while minimised and becomes a tool window again when restored.
    if (windowType() == Qt::Tool) {
        setToolWindow(false);
    }
    showMinimized();
}

void QQDialog::restoreToolWindow()
{
    if (!m_toolDropped || isMinimized() || !isVisible()) {
        return;
    }
    setToolWindow(true);
    show();
    raise();
    activateWindow();
}

void QQDialog::setToolWindow(bool tool)
{
    const QRect geo = geometry();
    m_toolDropped = !tool;
    QDialog::setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | (tool ? Qt::Tool : Qt::Window));
    setGeometry(geo);
}

void QQDialog::onTreeDbClicked(int teamid, int itemid)
{
    openItem(teamid, itemid);
}

void QQDialog::onSiteTreeDbClicked(int teamid, int itemid)
{
    openItem(teamid, itemid);
}

void QQDialog::onSearchTreeDbClicked(int teamid, int itemid)
{
    openItem(teamid, itemid);
}

void QQDialog::openItem(int /*teamid*/, int itemid)
{
    IconItemInfo info;
    if (!database.getItem(info, itemid)) {
        return;
    }
    // Stamped before opening, whether or not opening succeeds.
    database.setItemLastTime(itemid, static_cast<int>(QDateTime::currentSecsSinceEpoch()));

    QPixmap icon;
    if (info.ttype == en_team_icon) {
        if (!QFileInfo::exists(info.file_name)) {
            QMessageBox::information(this,
                                     QString::fromUtf8(ErrorTitle),
                                     QString::fromUtf8(MissingFileText).arg(info.file_name),
                                     QMessageBox::Ok,
                                     QMessageBox::NoButton);
            return;
        }
        reportOpenFailure(this, Platform::openFile(info.file_name), info.file_name);
        icon = Platform::fileIcon(info.file_name).pixmap(32, 32);
    } else if (info.ttype == en_team_site) {
        // The address is stored as typed; the platform reads it as the person meant it.
        reportOpenFailure(this, Platform::openAddress(info.file_name), info.file_name);
        icon = siteIcon();
    }
    recentTree->addItem(info.id, SingleGroup, info.icon_name, icon, true);
}

void QQDialog::onTreeDropEvent(QDropEvent* event, int teamid, int /*itemid*/)
{
    const QList<QUrl> urls = event->mimeData() ? event->mimeData()->urls() : QList<QUrl>();
    if (urls.isEmpty()) {
        return;
    }
    // The items only refer to the files: the same routine as the tree's drag handling answers copy or link.
    if (!QQTree::takeAsReference(event)) {
        event->ignore();
        return;
    }
    event->accept();

    // Notices wait until the drop has finished: the drag source is waiting for the answer meanwhile.
    const auto noticeAfterDrop = [this](const QString& text) {
        QTimer::singleShot(0, this, [text] { QSkinMessageBox::showMessage(text, 0); });
    };
    if (teamid == 0) {
        teamid = iconTree->getLastTeamId();
    }
    if (teamid == 0) {
        // No group to add to (a catalogue emptied by another tool): say how to get one.
        if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); })) {
            noticeAfterDrop(QString::fromUtf8(WindowTexts::NeedGroup));
        }
        return;
    }

    // All additions of one drop go to the store in one transaction; a failed one is skipped alone.
    const bool batch = database.beginBatch();
    QList<int> added;
    int skipped = 0;
    int notStored = 0;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue; // a web link from a browser: nothing to add
        }
        const Platform::DroppedFile file = Platform::describeDroppedUrl(url);
        if (!file.ok) {
            ++skipped; // gone meanwhile, or a name that is not text
            continue;
        }
        const int id = database.addItem(file.name, file.path, teamid, en_team_icon);
        if (id == 0) {
            ++notStored;
            continue;
        }
        added.append(id);
        iconTree->addItem(id, teamid, file.name, QPixmap(), false);
        if (added.size() == 1) {
            iconTree->setTeamOpen(teamid, true);
        }
    }
    if (batch && !database.commitBatch()) {
        // Nothing of this drop was stored: show nothing of it either.
        for (const int id : std::as_const(added)) {
            iconTree->delItem(id);
        }
        notStored += added.size();
    }

    QStringList notices;
    if (skipped > 0) {
        notices.append(QString::fromUtf8(SkippedFilesText).arg(skipped));
    }
    if (notStored > 0) {
        notices.append(QString::fromUtf8(NotStoredText).arg(notStored));
    }
    if (!notices.isEmpty()) {
        noticeAfterDrop(notices.join(QLatin1Char('\n')));
    }
}
