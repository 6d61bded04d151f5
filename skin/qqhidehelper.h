#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

class QPropertyAnimation;
class QTimer;
class QWidget;

/// Edge docking: a window dragged against the top, left or right edge of its screen slides out of sight when
/// the mouse leaves it, leaving a strip of a few pixels; touching the strip brings it back.
class QQHideHelper : public QObject
{
    Q_OBJECT

public:
    enum class Edge
    {
        None,
        Top,
        Left,
        Right,
    };

    /// Pixels of a docked window that stay on screen.
    static constexpr int Strip = 4;
    /// How close to an edge a window must be to dock there.
    static constexpr int Snap = 4;

    /// Which edge a window with geometry `window` docks to on a screen with available area `screen`.
    static Edge dockEdge(const QRect& window, const QRect& screen);
    /// Where a window docked to `edge` sits while hidden (only the strip on screen).
    static QRect hiddenGeometry(const QRect& window, const QRect& screen, Edge edge);
    /// Where a docked window sits while shown (touching the edge).
    static QRect shownGeometry(const QRect& window, const QRect& screen, Edge edge);
    /// Whether a docked window slides out of sight now: it is docked and shown, the mouse has been over it
    /// since it was shown (`armed`), the pointer is outside it, no mouse button is held (a drag) and no menu or
    /// modal dialog of the program is open.
    static bool
    shouldHide(Edge edge, bool armed, const QRect& window, const QPoint& cursor, bool buttonsDown, bool popupOpen);
    /// Whether a slid-out window comes back: the pointer touches its strip (the part left on screen).
    static bool shouldReveal(const QRect& hiddenWindow, const QRect& screen, const QPoint& cursor);

    explicit QQHideHelper(QObject* parent = nullptr);
    ~QQHideHelper() override;

    void init(QWidget* window);
    /// Brings a hidden, minimised or docked window back, raised and active.
    void show();
    /// True while the window is slid out of sight at an edge.
    bool isDocked() const;
    /// The edge the window is docked to (None when it is not at an edge).
    Edge edge() const;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void checkMouse();
    void slideTo(const QRect& target);
    void updateEdge();
    QRect screenArea() const;

    QPointer<QWidget> m_window;
    QTimer* m_timer = nullptr;
    QPointer<QPropertyAnimation> m_animation;
    Edge m_edge = Edge::None;
    bool m_hidden = false;
    bool m_armed = false;
    int m_outsideTicks = 0;
    QRect m_screen;
};
