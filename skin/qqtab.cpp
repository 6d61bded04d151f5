#include "qqtab.h"

#include "skinpath.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

namespace
{
struct TabItem
{
    QPointer<QWidget> page;
    QPixmap hoverBg;
    QPixmap checkedBg;
    QPixmap icon;
    QPixmap greyIcon;
    QString title;
};
} // namespace

namespace
{
bool contains(const QWidget* page, const QWidget* widget)
{
    return page && widget && (page == widget || page->isAncestorOf(widget));
}

/// The widget of a page that takes the keyboard: the page itself when it accepts focus (or passes it on to a
/// proxy), else its first child in the focus chain that does.
QWidget* focusTarget(QWidget* page)
{
    if (page->focusProxy() || page->focusPolicy() != Qt::NoFocus) {
        return page;
    }
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(page)) {
            return w;
        }
    }
    return nullptr;
}
} // namespace

struct QQTab::Private
{
    QList<TabItem> items;
    int current = 0; // 1-based, 0: none
    int hover = 0; // 1-based, 0: none

    QRect itemRect(const QRect& bar, int n) const
    {
        const int count = int(items.size());
        if (count == 0) {
            return QRect();
        }
        const int left = bar.width() * (n - 1) / count;
        const int right = bar.width() * n / count;
        return QRect(left, 0, right - left, bar.height());
    }

    int itemAt(const QRect& bar, const QPoint& pos) const
    {
        for (int n = 1; n <= items.size(); ++n) {
            if (itemRect(bar, n).contains(pos)) {
                return n;
            }
        }
        return 0;
    }
};

QQTab::QQTab(QWidget* parent)
    : QWidget(parent)
    , d(new Private)
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

QQTab::~QQTab()
{
    delete d;
}

int QQTab::addItem(QWidget* page,
                   const QString& hoverBg,
                   const QString& checkedBg,
                   const QString& icon,
                   const QString& greyIcon,
                   const QString& title)
{
    TabItem item;
    item.page = page;
    item.hoverBg = SkinPath::pixmap(hoverBg);
    item.checkedBg = SkinPath::pixmap(checkedBg);
    item.icon = SkinPath::pixmap(icon);
    item.greyIcon = SkinPath::pixmap(greyIcon);
    item.title = title;
    d->items.append(item);
    const int n = int(d->items.size());
    if (d->current == 0) {
        // The first item is the current one until another is selected.
        selectItem(n);
    } else if (page) {
        // Only the selected item's page is shown; a page added later waits behind it.
        page->hide();
    }
    update();
    return n;
}

void QQTab::selectItem(int n)
{
    if (n < 1 || n > d->items.size()) {
        return;
    }
    const bool changed = n != d->current;
    d->current = n;
    // A page that goes while it has the keyboard hands it to the page shown, not to whatever comes next.
    QWidget* focus = QApplication::focusWidget();
    bool focusLeaves = false;
    for (int i = 1; i <= d->items.size(); ++i) {
        QWidget* page = d->items.at(i - 1).page;
        if (page && i != n) {
            focusLeaves = focusLeaves || (page->isVisible() && contains(page, focus));
            page->hide();
        }
    }
    if (QWidget* page = d->items.at(n - 1).page) {
        page->show();
        if (focusLeaves) {
            if (QWidget* target = focusTarget(page)) {
                target->setFocus(Qt::OtherFocusReason);
            }
        }
    }
    update();
    if (changed) {
        emit currentChanged(n);
    }
}

int QQTab::currentItem() const
{
    return d->current;
}

int QQTab::count() const
{
    return int(d->items.size());
}

QWidget* QQTab::page(int n) const
{
    if (n < 1 || n > d->items.size()) {
        return nullptr;
    }
    return d->items.at(n - 1).page;
}

QRect QQTab::itemRect(int n) const
{
    if (n < 1 || n > d->items.size()) {
        return QRect();
    }
    return d->itemRect(rect(), n);
}

void QQTab::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    if (visible && d->current > 0) {
        // The bar comes back with its selected page (a search result list may have covered both).
        for (int i = 1; i <= d->items.size(); ++i) {
            QWidget* page = d->items.at(i - 1).page;
            if (page) {
                page->setVisible(i == d->current);
            }
        }
    }
}

void QQTab::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int n = 1; n <= d->items.size(); ++n) {
        const TabItem& item = d->items.at(n - 1);
        const QRect r = d->itemRect(rect(), n);
        const bool selected = n == d->current;
        const bool hovered = n == d->hover && !selected;

        if (selected) {
            if (!item.checkedBg.isNull()) {
                p.drawPixmap(r, item.checkedBg);
            } else {
                p.fillRect(r, QColor(255, 255, 255, 200));
                p.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), QColor(0x3c, 0x8c, 0xe7));
            }
        } else if (hovered) {
            if (!item.hoverBg.isNull()) {
                p.drawPixmap(r, item.hoverBg);
            } else {
                p.fillRect(r, QColor(255, 255, 255, 110));
            }
        }

        const QPixmap& icon = selected || item.greyIcon.isNull() ? item.icon : item.greyIcon;
        QSize iconSize = icon.isNull() ? QSize() : icon.size() / icon.devicePixelRatio();
        if (iconSize.height() > r.height() - 8) {
            iconSize.scale(r.height() - 8, r.height() - 8, Qt::KeepAspectRatio);
        }
        QFont f = font();
        f.setBold(selected);
        p.setFont(f);
        const QFontMetrics fm(f);
        // In a narrow bar the title matters more than the icon: an elided two-character title says nothing.
        if (!iconSize.isEmpty() && iconSize.width() + 5 + fm.horizontalAdvance(item.title) > r.width() - 8
            && fm.horizontalAdvance(item.title) <= r.width() - 8) {
            iconSize = QSize();
        }
        const int gap = iconSize.isEmpty() ? 0 : 5;
        const int room = qMax(0, r.width() - iconSize.width() - gap - 8);
        const QString title = fm.elidedText(item.title, Qt::ElideRight, room);
        const int textWidth = fm.horizontalAdvance(title);
        const int total = iconSize.width() + gap + textWidth;
        int x = r.left() + (r.width() - total) / 2;
        if (!iconSize.isEmpty() && !icon.isNull()) {
            p.drawPixmap(QRect(QPoint(x, r.top() + (r.height() - iconSize.height()) / 2), iconSize), icon);
            x += iconSize.width() + gap;
        }
        p.setPen(selected ? QColor(0x1f, 0x2d, 0x3d) : QColor(0x5a, 0x64, 0x72));
        p.drawText(QRect(x, r.top(), textWidth + 1, r.height()), Qt::AlignLeft | Qt::AlignVCenter, title);
    }
}

void QQTab::mouseMoveEvent(QMouseEvent* event)
{
    const int n = d->itemAt(rect(), event->position().toPoint());
    if (n != d->hover) {
        d->hover = n;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void QQTab::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int n = d->itemAt(rect(), event->position().toPoint());
        if (n > 0) {
            selectItem(n);
            event->accept();
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void QQTab::leaveEvent(QEvent* event)
{
    if (d->hover != 0) {
        d->hover = 0;
        update();
    }
    QWidget::leaveEvent(event);
}
