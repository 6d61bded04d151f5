#include "qresizehelper.h"

#include "qscrollwidget.h"

#include <QScrollArea>

QResizeHelper::QResizeHelper() = default;

void QResizeHelper::create(QWidget* window)
{
    m_window = window;
    m_reference = window ? window->size() : QSize();
    m_rules.clear();
}

void QResizeHelper::addCtrl(
    QWidget* control, bool right, bool bottom, bool width, bool height, bool keepMinimum, float factor)
{
    // A page of a scroll area is placed through its scroll area: that is the widget that sits in the window.
    if (auto* page = qobject_cast<QScrollWidget*>(control); page && page->getScroll()) {
        control = page->getScroll();
    }
    if (!control) {
        return;
    }
    m_rules.append(Rule { control, control->geometry(), right, bottom, width, height, keepMinimum, factor });
}

void QResizeHelper::resing()
{
    if (!m_window || !m_reference.isValid()) {
        return;
    }
    const int dw = m_window->width() - m_reference.width();
    const int dh = m_window->height() - m_reference.height();
    for (const Rule& rule : std::as_const(m_rules)) {
        if (!rule.control) {
            continue;
        }
        const QRect& g = rule.geometry;
        int w = g.width() + (rule.width ? qRound(dw * rule.factor) : 0);
        int h = g.height() + (rule.height ? qRound(dh * rule.factor) : 0);
        if (rule.keepMinimum) {
            w = qMax(w, g.width());
            h = qMax(h, g.height());
        }
        w = qMax(w, 0);
        h = qMax(h, 0);
        // "right"/"bottom" keep the gap between the control's far edge and the window's edge.
        const int x = rule.right ? g.x() + g.width() + dw - w : g.x();
        const int y = rule.bottom ? g.y() + g.height() + dh - h : g.y();
        rule.control->setGeometry(x, y, w, h);
    }
}
