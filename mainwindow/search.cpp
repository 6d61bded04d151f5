// Type-ahead search over the catalogue, the recent page's menu and putting items on the desktop.
#include "platform.h"
#include "qqdialog.h"
#include "qqtab.h"
#include "qqtree.h"
#include "qskinbutton.h"
#include "qskinlabel.h"
#include "qskinmenu.h"
#include "searchsession.h"
#include "windowtexts.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>

#include <algorithm>

namespace
{
/// The id of the single group of the recent and search trees.
constexpr int SingleGroup = 1;

/// Height of one result row of the search tree, to know how many make a screenful.
constexpr int ResultRowHeight = 40;

/// Shown in the result list when a search has found nothing.
const char* const NoMatchText = "没有找到匹配的图标";

enum RecentMenuId
{
    PutOnDesktopId = 1,
};
} // namespace

void QQDialog::onBtnSearch()
{
    showSearchEdit(true);
    // Typing follows: have the names ready for the first key.
    searchSession()->prepare();
}

void QQDialog::onBtnSearchDel()
{
    showSearchEdit(false);
    showSearchResult(false);
    // The keyboard goes back to the page the tabs show, now that it is shown again.
    if (QQTree* tree = pageTree(tabBar->currentItem())) {
        tree->setFocus(Qt::OtherFocusReason);
    }
}

void QQDialog::showSearchEdit(bool show)
{
    if (show) {
        if (searchEdit->styleSheet().isEmpty()) {
            // Styled on its first showing rather than with the window: parsing the sheet is start-up time spent
            // on a control that starts hidden.
            searchEdit->setStyleSheet(BaseWindow::sharedStyleSheet()
                                      + QStringLiteral("\nQLineEdit{border-width:0;border-style:outset}"));
        }
        // The edit shows the prompt until something is typed, its text aligned with the prompt's.
        searchEdit->setPlaceholderText(searchButton->text());
        searchEdit->setTextMargins(6, 0, 2, 0);
        searchBackLabel->show();
        searchEdit->show();
        searchClearButton->show();
        searchButton->hide();
        searchIconLabel->hide();
        searchEdit->setFocus();
        return;
    }
    searchBackLabel->hide();
    // Emptying a non-empty edit runs the search for the empty text, which takes the results away.
    searchEdit->setText(QString());
    // Hidden with the keyboard, the edit would hand it on as if Tab had been pressed; the caller places it.
    searchEdit->clearFocus();
    searchEdit->hide();
    searchClearButton->hide();
    searchButton->show();
    searchIconLabel->show();
}

void QQDialog::showSearchResult(bool show)
{
    if (show) {
        // The results are a white page under the white search box, whatever skin lies behind, and say so when
        // nothing matches.
        QWidget* page = searchTree->getScroll()->viewport();
        if (!page->autoFillBackground()) {
            QPalette palette = page->palette();
            palette.setColor(QPalette::Window, Qt::white);
            page->setPalette(palette);
            page->setBackgroundRole(QPalette::Window);
            page->setAutoFillBackground(true);
        }
        searchTree->show();
        tabBar->hide();
        iconTree->hide();
        // Whichever page the tabs show goes too.
        if (QWidget* tabPage = tabBar->page(tabBar->currentItem())) {
            tabPage->hide();
        }
        return;
    }
    searchTree->hide();
    // Showing the tab bar brings back the page of the selected tab.
    tabBar->show();
}

void QQDialog::onSearchTextChanged(const QString& text)
{
    searchTree->clearTeam(SingleGroup);
    if (text.isEmpty()) {
        if (m_search) {
            m_search->stop();
        }
        showSearchResult(false);
        return;
    }
    SearchSession* search = searchSession();
    // A screenful is found now; the rest of a long list arrives in slices while the person reads or types on.
    const int screenful = std::max(1, searchTree->height() / ResultRowHeight + 1);
    search->start(text, screenful);
    // "Nothing found" is said once the whole catalogue has been looked through.
    searchTree->setEmptyText(search->isSettled() ? QString::fromUtf8(NoMatchText) : QString());
    searchTree->setTeamRows(SingleGroup, search->rows());
    if (search->rowCount() > 0) {
        searchTree->selectItem(SingleGroup, search->firstId());
    }
    showSearchResult(true);
}

void QQDialog::onSearchRowsAppended()
{
    const bool hadNone = searchTree->itemCount(SingleGroup) == 0;
    searchTree->teamRowsAppended(SingleGroup);
    // The first result is selected, also when it is found after the key press.
    if (hadNone && m_search->rowCount() > 0) {
        searchTree->selectItem(SingleGroup, m_search->firstId());
    }
}

SearchSession* QQDialog::searchSession()
{
    if (!m_search) {
        m_search = new SearchSession(database, this);
        connect(m_search, &SearchSession::rowsAppended, this, &QQDialog::onSearchRowsAppended);
        connect(m_search, &SearchSession::settled, this, [this] {
            searchTree->setEmptyText(QString::fromUtf8(NoMatchText));
        });
    }
    return m_search;
}

bool QQDialog::searchEditKey(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Down:
        searchTree->selectNext();
        return true;
    case Qt::Key_Up:
        searchTree->selectUp();
        return true;
    case Qt::Key_Escape:
        // Leaves the search as the clear button does.
        onBtnSearchDel();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        // Taken whether or not a result is selected; the keypad's Enter opens as Return does.
        int teamid = 0;
        int itemid = 0;
        searchTree->getSelectItem(teamid, itemid);
        if (teamid != 0 && itemid != 0) {
            onSearchTreeDbClicked(teamid, itemid);
        }
        return true;
    }
    default:
        return false;
    }
}

bool QQDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == searchEdit) {
        if (event->type() == QEvent::KeyPress && searchEditKey(static_cast<QKeyEvent*>(event))) {
            return true;
        }
        return BaseWindow::eventFilter(watched, event);
    }
    if (event->type() == QEvent::MouseMove
        && (watched == iconTree || watched == recentTree || watched == siteTree || watched == tabBar
            || watched == searchButton || watched == searchTree)) {
        // The auto-hide helper watches the window: moves over the children count as moves over it.
        hideHelper.eventFilter(this, event);
    }
    return BaseWindow::eventFilter(watched, event);
}

void QQDialog::onRecentTreeRClicked(int /*teamid*/, int itemid)
{
    // Only file items have a menu: a header or empty space (item 0) and sites get none.
    IconItemInfo info;
    if (!database.getItem(info, itemid) || info.ttype != en_team_icon) {
        return;
    }
    QSkinMenu menu(this);
    menu.addItem(PutOnDesktopId, QString::fromUtf8(WindowTexts::PutOnDesktop), QString());
    if (menu.pop(0, 0) == PutOnDesktopId) {
        putOnDesktop(info.icon_name, info.file_name);
    }
}

void QQDialog::putOnDesktop(const QString& name, const QString& filePath)
{
    // One message for every failure: the name taken, a name that names no file on the desktop, a desktop that
    // cannot be written.
    if (!Platform::createDesktopShortcut(name, filePath)) {
        QMessageBox::information(
            this, QStringLiteral("错误"), QStringLiteral("桌面已存在该图标!"), QMessageBox::Ok, QMessageBox::NoButton);
    }
}
