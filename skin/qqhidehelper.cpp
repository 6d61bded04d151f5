#include "qqhidehelper.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace
{
constexpr int kPollMs = 120;
// The pointer must stay outside for this many polls before the window slides away, so brushing past the
// edge does not make it flicker.
constexpr int kOutsideTicks = 3;
constexpr int kSlideMs = 160;
} // namespace

QQHideHelper::Edge QQHideHelper::dockEdge(const QRect& window, const QRect& screen)
{
    if (!window.isValid() || !screen.isValid() || !window.intersects(screen)) {
        return Edge::None;
    }
    // The top edge wins over the sides, as in chat programs: a window in a top corner docks upwards.
    if (window.top() <= screen.top() + Snap) {
        return Edge::Top;
    }
    if (window.left() <= screen.left() + Snap) {
        return Edge::Left;
    }
    if (window.right() >= screen.right() - Snap) {
        return Edge::Right;
    }
    return Edge::None;
}

QRect QQHideHelper::shownGeometry(const QRect& window, const QRect& screen, Edge edge)
{
    QRect r = window;
    auto clampX = [&] {
        if (r.width() <= screen.width()) {
            r.moveLeft(qBound(screen.left(), r.left(), screen.right() + 1 - r.width()));
        }
    };
    auto clampY = [&] {
        if (r.height() <= screen.height()) {
            r.moveTop(qBound(screen.top(), r.top(), screen.bottom() + 1 - r.height()));
        }
    };
    switch (edge) {
    case Edge::Top:
        r.moveTop(screen.top());
        clampX();
        break;
    case Edge::Left:
        r.moveLeft(screen.left());
        clampY();
        break;
    case Edge::Right:
        r.moveLeft(screen.right() + 1 - r.width());
        clampY();
        break;
    case Edge::None:
        break;
    }
    return r;
}

QRect QQHideHelper::hiddenGeometry(const QRect& window, const QRect& screen, Edge edge)
{
    QRect r = shownGeometry(window, screen, edge);
    switch (edge) {
    case Edge::Top:
        r.moveTop(screen.top() + Strip - r.height());
        break;
    case Edge::Left:
        r.moveLeft(screen.left() + Strip - r.width());
        break;
    case Edge::Right:
        r.moveLeft(screen.right() + 1 - Strip);
        break;
    case Edge::None:
        break;
    }
    return r;
}

bool QQHideHelper::shouldHide(
    Edge edge, bool armed, const QRect& window, const QPoint& cursor, bool buttonsDown, bool popupOpen)
{
    return edge != Edge::None && armed && !window.contains(cursor) && !buttonsDown && !popupOpen;
}

bool QQHideHelper::shouldReveal(const QRect& hiddenWindow, const QRect& screen, const QPoint& cursor)
{
    return hiddenWindow.intersected(screen).contains(cursor);
}

QQHideHelper::QQHideHelper(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(kPollMs);
    connect(m_timer, &QTimer::timeout, this, &QQHideHelper::checkMouse);
}

QQHideHelper::~QQHideHelper()
{
    if (m_window) {
        m_window->removeEventFilter(this);
    }
}

void QQHideHelper::init(QWidget* window)
{
    if (m_window) {
        m_window->removeEventFilter(this);
    }
    m_window = window;
    m_edge = Edge::None;
    m_hidden = false;
    if (m_window) {
        m_window->installEventFilter(this);
        updateEdge();
    }
}

bool QQHideHelper::isDocked() const
{
    return m_hidden;
}

QQHideHelper::Edge QQHideHelper::edge() const
{
    return m_edge;
}

QRect QQHideHelper::screenArea() const
{
    if (!m_window) {
        return QRect();
    }
    // While slid out, stay with the screen the window was docked on.
    if (m_hidden && m_screen.isValid()) {
        return m_screen;
    }
    QScreen* screen = QGuiApplication::screenAt(m_window->geometry().center());
    if (!screen) {
        screen = m_window->screen();
    }
    return screen ? screen->availableGeometry() : QRect();
}

void QQHideHelper::updateEdge()
{
    if (!m_window || m_hidden || (m_animation && m_animation->state() == QAbstractAnimation::Running)) {
        return;
    }
    m_screen = screenArea();
    m_edge = m_window->isVisible() ? dockEdge(m_window->geometry(), m_screen) : Edge::None;
    if (m_edge != Edge::None && !m_timer->isActive()) {
        m_timer->start();
    } else if (m_edge == Edge::None) {
        m_timer->stop();
    }
}

void QQHideHelper::show()
{
    if (!m_window) {
        return;
    }
    if (m_animation) {
        m_animation->stop();
    }
    if (m_hidden) {
        m_window->move(shownGeometry(m_window->geometry(), m_screen, m_edge).topLeft());
        m_hidden = false;
    }
    if (m_window->isMinimized()) {
        m_window->showNormal();
    } else {
        m_window->show();
    }
    m_window->raise();
    m_window->activateWindow();
    // Shown on request (from the tray, say) while the pointer is elsewhere: stay until the pointer has been over
    // the window and left it again.
    m_armed = m_window->geometry().contains(QCursor::pos());
    m_outsideTicks = 0;
    updateEdge();
}

bool QQHideHelper::eventFilter(QObject* watched, QEvent* event)
{
    if (m_window && watched == m_window) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::Enter:
        case QEvent::HoverMove:
            m_armed = true;
            m_outsideTicks = 0;
            if (m_hidden) {
                slideTo(shownGeometry(m_window->geometry(), m_screen, m_edge));
                m_hidden = false;
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
            updateEdge();
            break;
        case QEvent::Hide:
            m_timer->stop();
            break;
        default:
            break;
        }
    }
    return false;
}

void QQHideHelper::checkMouse()
{
    if (!m_window || !m_window->isVisible() || m_window->isMinimized()) {
        m_timer->stop();
        return;
    }
    const QPoint cursor = QCursor::pos();
    const QRect geometry = m_window->geometry();
    if (m_hidden) {
        if (shouldReveal(geometry, m_screen, cursor)) {
            m_hidden = false;
            m_armed = true;
            m_outsideTicks = 0;
            slideTo(shownGeometry(geometry, m_screen, m_edge));
        }
        return;
    }
    if (geometry.contains(cursor)) {
        m_armed = true;
        m_outsideTicks = 0;
        return;
    }
    const bool popupOpen = QApplication::activePopupWidget() || QApplication::activeModalWidget();
    const bool buttonsDown = QGuiApplication::mouseButtons() != Qt::NoButton;
    if (!shouldHide(m_edge, m_armed, geometry, cursor, buttonsDown, popupOpen)) {
        m_outsideTicks = 0;
        return;
    }
    if (++m_outsideTicks < kOutsideTicks) {
        return;
    }
    m_outsideTicks = 0;
    m_screen = screenArea();
    m_hidden = true;
    slideTo(hiddenGeometry(geometry, m_screen, m_edge));
}

void QQHideHelper::slideTo(const QRect& target)
{
    if (!m_window) {
        return;
    }
    if (m_animation) {
        m_animation->stop();
        delete m_animation;
    }
    auto* animation = new QPropertyAnimation(m_window, "pos", this);
    animation->setDuration(kSlideMs);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setStartValue(m_window->pos());
    animation->setEndValue(target.topLeft());
    m_animation = animation;
    connect(animation, &QPropertyAnimation::finished, this, [this] { updateEdge(); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
