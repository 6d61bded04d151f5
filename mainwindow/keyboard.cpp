// The main window from the keyboard alone: typing anywhere starts a search, Ctrl+Tab and Ctrl+Shift+Tab walk
// the tabs, Return clicks the button that has the keyboard, Escape leaves a search from wherever the keyboard
// is. The trees walk, open and close groups and ask for their menus themselves (QQTree), the search edit has
// its own keys (search.cpp).
#include "qqdialog.h"
#include "qqtab.h"
#include "qqtree.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollArea>

#include <algorithm>

void QQDialog::keyPressEvent(QKeyEvent* event)
{
    if (switchTabKey(event) || typeToSearch(event)) {
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A skinned button with the keyboard is clicked as with Space.
        if (auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
            button && isAncestorOf(button) && button->isEnabled()) {
            button->click();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Escape:
        // From the result list (or a button) as from the search edit.
        if (searchEdit->isVisible()) {
            onBtnSearchDel();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    BaseWindow::keyPressEvent(event);
}

bool QQDialog::switchTabKey(const QKeyEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        return false;
    }
    if (event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab) {
        return false;
    }
    const bool backwards = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
    const int count = tabBar->count();
    if (count == 0) {
        return true;
    }
    // The tabs are under the result list while a search shows: the search is left first.
    if (searchTree->getScroll()->isVisible() || searchEdit->isVisible()) {
        onBtnSearchDel();
    }
    const int current = std::max(1, tabBar->currentItem());
    const int next = (current - 1 + (backwards ? count - 1 : 1)) % count + 1;
    // The new page's tree takes the keyboard as if reached with Tab (and so shows where it is).
    if (QWidget* focus = QApplication::focusWidget(); focus && isAncestorOf(focus)) {
        focus->clearFocus();
    }
    tabBar->selectItem(next);
    if (QQTree* tree = pageTree(next)) {
        tree->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    }
    return true;
}

bool QQDialog::typeToSearch(const QKeyEvent* event)
{
    const QString text = event->text();
    if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        return false;
    }
    // Letters, digits and signs start a search; blanks and control characters do not.
    for (const QChar c : text) {
        if (!c.isPrint() || c.isSpace()) {
            return false;
        }
    }
    if (!searchEdit->isVisible()) {
        onBtnSearch();
    }
    searchEdit->setFocus(Qt::ShortcutFocusReason);
    searchEdit->end(false);
    searchEdit->insert(text);
    return true;
}
