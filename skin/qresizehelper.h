#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

/// Keeps controls in place when their window is resized: create() takes the window's current size as the
/// reference; addCtrl() records a control's geometry and rules; resing() re-applies them.
class QResizeHelper
{
public:
    QResizeHelper();

    void create(QWidget* window);
    /// right: keep the distance to the right edge; bottom: keep the distance to the bottom edge; width/height:
    /// grow and shrink with the window by `factor` times its change. `keepMinimum` keeps the control at least
    /// as large as when it was recorded. A QScrollWidget is handled through its scroll area.
    void addCtrl(QWidget* control,
                 bool right,
                 bool bottom,
                 bool width,
                 bool height,
                 bool keepMinimum = false,
                 float factor = 1.0f);
    void resing();

private:
    struct Rule
    {
        QPointer<QWidget> control;
        QRect geometry;
        bool right;
        bool bottom;
        bool width;
        bool height;
        bool keepMinimum;
        float factor;
    };
    QPointer<QWidget> m_window;
    QSize m_reference;
    QList<Rule> m_rules;
};
