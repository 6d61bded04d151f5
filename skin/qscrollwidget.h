#pragma once

#include <QWidget>

class QScrollArea;

/// A page that lives inside its own scroll area. The scroll area is what is placed in the window, shown by
/// QQTab and resized by QResizeHelper; setGeometry(), show() and hide() act on it.
class QScrollWidget : public QWidget
{
    Q_OBJECT

public:
    /// The scroll area is created as a child of `parent`.
    explicit QScrollWidget(QWidget* parent = nullptr);
    ~QScrollWidget() override;

    /// Places the scroll area.
    void setGeometry(const QRect& rect);
    void show();
    void hide();
    /// The page's scroll area (a child of the parent window).
    QScrollArea* getScroll() const;

private:
    QScrollArea* m_scroll = nullptr;
};
