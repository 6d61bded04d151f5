#pragma once

#include <QWidget>

class QScrollArea;
class QScrollBar;

/// A page that lives inside its own scroll area. The scroll area is what is placed in the window, shown by
/// QQTab and resized by QResizeHelper; setGeometry(), show() and hide() act on it.
///
/// The page always covers the scroll area's viewport exactly and draws its content from a scroll offset taken
/// from the area's vertical scroll bar, so content of any height (far beyond the largest widget Qt allows)
/// scrolls with the wheel, the keyboard and the bar. Subclasses announce the content height with
/// setContentHeight() and paint from scrollOffset().
class QScrollWidget : public QWidget
{
    Q_OBJECT

public:
    /// The scroll area is created as a child of `parent`.
    explicit QScrollWidget(QWidget* parent = nullptr);
    ~QScrollWidget() override;

    /// Places the scroll area.
    void setGeometry(const QRect& rect);
    void setGeometry(int x, int y, int width, int height);
    void show();
    void hide();
    /// The page's scroll area (a child of the parent window).
    QScrollArea* getScroll() const;
    /// Gives the scroll bar its style sheet now. The bar takes it anyway before it first shows; a window calls
    /// this when it is idle, so that the page that first scrolls does not wait for it.
    void styleScrollBar();

protected:
    /// Height of the whole content in pixels; sets the scroll bar's range.
    void setContentHeight(qint64 height);
    qint64 contentHeight() const { return m_contentHeight; }
    /// First content pixel row shown at the top of the page.
    int scrollOffset() const;
    void setScrollOffset(int offset);
    /// Scrolls as little as needed so that content rows [top, top + height) are shown.
    void ensureContentVisible(qint64 top, int height);
    QScrollBar* verticalBar() const;
    /// Called when the scroll offset changed; repaints by default.
    virtual void scrollOffsetChanged(int offset);

    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    /// Scrolls by the wheel (the page covers the viewport, so the scroll area would not see it otherwise when
    /// the event does not travel on to it).
    void wheelEvent(QWheelEvent* event) override;

private:
    friend class QScrollWidgetArea;
    /// Makes the page cover the viewport again (also undoes a resize of the page itself).
    void fitViewport();
    void updateRange();

    QScrollArea* m_scroll = nullptr;
    qint64 m_contentHeight = 0;
    bool m_fitting = false;
};
