#include "qskinmenu.h"

#include "basewindow.h"
#include "skinpath.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QList>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <functional>

namespace
{
constexpr int kRowHeight = 30;
constexpr int kPadding = 5; // above the first and below the last row
constexpr int kRadius = 6;
constexpr int kIconSize = 16;
constexpr int kMinWidth = 132;

struct MenuItem
{
    int id;
    QString text;
    QPixmap icon;
    /// The entry shows a state (setChecked): it has a check mark while `checked`.
    bool checkable = false;
    bool checked = false;
};

/// The popup window of a QSkinMenu: paints the rows, follows the mouse and the keyboard, and reports the
/// chosen row (or -1) once when it closes.
class MenuPopup : public QWidget
{
public:
    MenuPopup(const QList<MenuItem>& items, QWidget* parent, std::function<void(int)> finished)
        : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
        , m_items(items)
        , m_finished(std::move(finished))
    {
        setObjectName(QStringLiteral("QSkinMenuPopup"));
        setAttribute(Qt::WA_DeleteOnClose, false);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        const QFontMetrics fm(font());
        int textWidth = 0;
        for (const MenuItem& item : m_items) {
            // A check mark takes the place of an icon, so texts stay aligned whether it shows or not.
            m_hasIcons = m_hasIcons || !item.icon.isNull() || item.checkable;
            textWidth = qMax(textWidth, fm.horizontalAdvance(item.text));
        }
        const int width = qMax(kMinWidth, textLeft() + textWidth + 28);
        resize(width, 2 * kPadding + kRowHeight * int(m_items.size()));
        // Rounded corners without relying on a compositor: the window's shape is the rounded rectangle.
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), kRadius, kRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }

    ~MenuPopup() override
    {
        // Deleted while open (its owner went away): the waiting pop() must still hear that the menu ended.
        if (m_finished) {
            auto finished = std::move(m_finished);
            m_finished = nullptr;
            finished(-1);
        }
    }

    int rowAt(const QPoint& pos) const
    {
        if (!rect().contains(pos)) {
            return -1;
        }
        const int row = (pos.y() - kPadding) / kRowHeight;
        if (pos.y() < kPadding || row < 0 || row >= m_items.size()) {
            return -1;
        }
        return row;
    }

    QRect rowRect(int row) const { return QRect(0, kPadding + row * kRowHeight, width(), kRowHeight); }

    int current() const { return m_current; }

    /// Opened from the keyboard: the first entry is current, so Return takes it at once.
    void startFromKeyboard()
    {
        m_keyboard = true;
        m_current = 0;
    }

    void choose(int row)
    {
        m_result = row >= 0 && row < m_items.size() ? m_items.at(row).id : -1;
        close();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(QColor(0xb4, 0xbe, 0xca), 1));
        p.setBrush(QColor(0xff, 0xff, 0xff));
        p.drawRoundedRect(frame, kRadius, kRadius);

        for (int row = 0; row < m_items.size(); ++row) {
            const MenuItem& item = m_items.at(row);
            const QRect r = rowRect(row);
            const bool hot = row == m_current;
            if (hot) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0x3c, 0x8c, 0xe7, 38));
                p.drawRoundedRect(QRectF(r).adjusted(4, 1, -4, -1), 4, 4);
                p.setBrush(QColor(0x3c, 0x8c, 0xe7));
                p.drawRoundedRect(QRectF(r.left() + 4, r.top() + 8, 3, r.height() - 16), 1.5, 1.5);
            }
            const QRect iconRect(14, r.top() + (kRowHeight - kIconSize) / 2, kIconSize, kIconSize);
            if (!item.icon.isNull()) {
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.drawPixmap(iconRect, item.icon);
            }
            if (item.checked) {
                paintCheckMark(p, iconRect);
            }
            p.setPen(hot ? QColor(0x1a, 0x5f, 0xb4) : QColor(0x2b, 0x35, 0x40));
            p.drawText(QRect(textLeft(), r.top(), width() - textLeft() - 12, r.height()),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       item.text);
        }
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        const QPoint global = event->globalPosition().toPoint();
        if ((global - m_openedAt).manhattanLength() > 3) {
            m_moved = true;
        }
        const int row = rowAt(event->position().toPoint());
        if (row != m_current && (row >= 0 || !rect().contains(event->position().toPoint()))) {
            m_current = row;
            update();
        }
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (!rect().contains(event->position().toPoint())) {
            // A click outside dismisses the menu (Qt closes popups on outside clicks; this makes it certain).
            choose(-1);
            return;
        }
        m_pressedInside = true;
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        // The release of the click that opened the menu lands here too: it chooses nothing unless the mouse
        // was pressed inside the menu or moved since it opened.
        if (!m_pressedInside && !m_moved) {
            return;
        }
        const int row = rowAt(event->position().toPoint());
        if (row >= 0) {
            choose(row);
        }
    }

    void leaveEvent(QEvent*) override
    {
        if (m_current >= 0 && !m_keyboard) {
            m_current = -1;
            update();
        }
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        const int count = int(m_items.size());
        switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Tab:
            m_keyboard = true;
            m_current = m_current < 0 ? 0 : (m_current + 1) % count;
            update();
            break;
        case Qt::Key_Up:
        case Qt::Key_Backtab:
            m_keyboard = true;
            m_current = m_current <= 0 ? count - 1 : m_current - 1;
            update();
            break;
        case Qt::Key_Home:
            m_keyboard = true;
            m_current = 0;
            update();
            break;
        case Qt::Key_End:
            m_keyboard = true;
            m_current = count - 1;
            update();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (m_current >= 0) {
                choose(m_current);
            }
            break;
        case Qt::Key_Escape:
            choose(-1);
            break;
        default:
            break;
        }
    }

    void showEvent(QShowEvent* event) override
    {
        m_openedAt = QCursor::pos();
        QWidget::showEvent(event);
    }

    void hideEvent(QHideEvent* event) override
    {
        QWidget::hideEvent(event);
        if (m_finished) {
            auto finished = std::move(m_finished);
            m_finished = nullptr;
            finished(m_result);
        }
    }

private:
    int textLeft() const { return m_hasIcons ? 14 + kIconSize + 10 : 18; }

    /// A tick drawn as a path, sharp at any device pixel ratio.
    static void paintCheckMark(QPainter& p, const QRect& box)
    {
        QPainterPath tick;
        tick.moveTo(box.left() + box.width() * 0.18, box.top() + box.height() * 0.52);
        tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.76);
        tick.lineTo(box.left() + box.width() * 0.84, box.top() + box.height() * 0.28);
        p.save();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x1a, 0x5f, 0xb4), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
        p.restore();
    }

    QList<MenuItem> m_items;
    std::function<void(int)> m_finished;
    int m_current = -1;
    int m_result = -1;
    bool m_hasIcons = false;
    bool m_moved = false;
    bool m_pressedInside = false;
    bool m_keyboard = false;
    QPoint m_openedAt;
};
} // namespace

namespace
{
/// The innermost keyboard place alive, if any.
const QSkinMenu::KeyboardPlace* g_keyboardPlace = nullptr;
} // namespace

QSkinMenu::KeyboardPlace::KeyboardPlace(const QPoint& at)
    : m_outer(g_keyboardPlace)
    , m_at(at)
{
    g_keyboardPlace = this;
}

QSkinMenu::KeyboardPlace::~KeyboardPlace()
{
    g_keyboardPlace = m_outer;
}

struct QSkinMenu::Private
{
    QList<MenuItem> items;
    bool running = false;
};

QSkinMenu::QSkinMenu(QObject* parent)
    : QObject(parent)
    , d(new Private)
{
}

QSkinMenu::~QSkinMenu()
{
    delete d;
}

void QSkinMenu::addItem(int id, const QString& text, const QString& icon)
{
    d->items.append(MenuItem { id, text, SkinPath::pixmap(icon) });
}

void QSkinMenu::setChecked(int id, bool checked)
{
    for (MenuItem& item : d->items) {
        if (item.id == id) {
            item.checkable = true;
            item.checked = checked;
        }
    }
}

bool QSkinMenu::isChecked(int id) const
{
    for (const MenuItem& item : std::as_const(d->items)) {
        if (item.id == id) {
            return item.checked;
        }
    }
    return false;
}

int QSkinMenu::count() const
{
    return int(d->items.size());
}

QList<int> QSkinMenu::ids() const
{
    QList<int> ids;
    for (const MenuItem& item : std::as_const(d->items)) {
        ids.append(item.id);
    }
    return ids;
}

QStringList QSkinMenu::texts() const
{
    QStringList texts;
    for (const MenuItem& item : std::as_const(d->items)) {
        texts.append(item.text);
    }
    return texts;
}

QPoint QSkinMenu::placement(const QPoint& at, const QSize& size, const QRect& screen)
{
    // Opens to the right and below the point; flips to the other side where it would leave the screen, and
    // is kept inside the screen in any case.
    int x = at.x();
    int y = at.y();
    if (x + size.width() > screen.right() + 1 && at.x() - size.width() >= screen.left()) {
        x = at.x() - size.width();
    }
    if (y + size.height() > screen.bottom() + 1 && at.y() - size.height() >= screen.top()) {
        y = at.y() - size.height();
    }
    x = qBound(screen.left(), x, qMax(screen.left(), screen.right() + 1 - size.width()));
    y = qBound(screen.top(), y, qMax(screen.top(), screen.bottom() + 1 - size.height()));
    return QPoint(x, y);
}

int QSkinMenu::pop(int x, int y)
{
    if (d->items.isEmpty() || d->running) {
        return -1;
    }
    QPoint at(x, y);
    const bool fromKeyboard = x == 0 && y == 0 && g_keyboardPlace;
    if (x == 0 && y == 0) {
        at = fromKeyboard ? g_keyboardPlace->m_at : QCursor::pos();
    }

    QWidget* owner = qobject_cast<QWidget*>(parent());
    if (owner) {
        owner = owner->window();
    }
    // The window that opened the menu stays alive while the menu waits, even if it is closed meanwhile.
    BaseWindow::BusyGuard busy(qobject_cast<BaseWindow*>(owner));
    int result = -1;
    QEventLoop loop;
    QPointer<QSkinMenu> guard(this);
    d->running = true;
    auto* popup = new MenuPopup(d->items, owner, [&result, &loop](int chosen) {
        result = chosen;
        loop.quit();
    });
    if (fromKeyboard) {
        popup->startFromKeyboard();
    }
    // Follow the owner's font (the application font when there is none).
    if (owner) {
        popup->setFont(owner->font());
    }
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen) {
        screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    }
    const QRect area = screen ? screen->availableGeometry() : QRect(at, popup->size());
    popup->move(placement(at, popup->size(), area));
    QPointer<MenuPopup> popupGuard(popup);
    popup->show();
    popup->activateWindow();
    popup->setFocus(Qt::PopupFocusReason);
    if (popup->isVisible()) {
        loop.exec();
    }
    // The owner may have gone while the menu was open; the popup then went with it.
    delete popupGuard.data();
    if (guard) {
        d->running = false;
    }
    return result;
}
