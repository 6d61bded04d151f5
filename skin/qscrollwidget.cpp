#include "qscrollwidget.h"

#include "skinpath.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QFile>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionSlider>

#include <algorithm>
#include <limits>

namespace
{
// Pixels scrolled per wheel step (Qt scrolls three steps per notch).
constexpr int kSingleStep = 20;

// Used when the compiled-in scroll bar style is not available: a slim, quiet bar all the same.
const char* const kFallbackBarStyle = "QScrollBar:vertical{background:transparent;width:8px;margin:2px 1px 2px 1px;}"
                                      "QScrollBar::handle:vertical{background:rgba(0,0,0,70);border-radius:3px;"
                                      "min-height:24px;}"
                                      "QScrollBar::handle:vertical:hover{background:rgba(0,0,0,110);}"
                                      "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0;}"
                                      "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical"
                                      "{background:transparent;}";

/// The scroll bar style, read from the resources once for every scroll widget.
const QString& barStyleSheet()
{
    static const QString sheet = [] {
        QFile qss(QStringLiteral(":/res/qss/scrollbar.qss"));
        return qss.open(QIODevice::ReadOnly) ? QString::fromUtf8(qss.readAll())
                                             : QString::fromLatin1(kFallbackBarStyle);
    }();
    return sheet;
}
/// The vertical bar of a QScrollWidget. The style sheet gives its width, its track and its handle; the arrows at
/// its ends are the skin's pictures, painted here. Named as an `image:` in the sheet, they would be read through
/// QIcon when the bar is first styled, and reading a file by its name has every image plugin loaded to be asked
/// whether it reads the file.
class QSkinScrollBar : public QScrollBar
{
public:
    explicit QSkinScrollBar(QWidget* parent)
        : QScrollBar(Qt::Vertical, parent)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QScrollBar::paintEvent(event);
        if (styleSheet().isEmpty()) {
            return; // not styled yet, so never shown: the style draws its own arrows
        }
        QStyleOptionSlider option;
        initStyleOption(&option);
        // The part under the pointer, as the bar itself finds it for its hover (it keeps that to itself).
        const QStyle::SubControl hovered = underMouse()
            ? style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option, mapFromGlobal(QCursor::pos()), this)
            : QStyle::SC_None;
        if (m_pictures[0].isNull()) {
            // Read once, as the skin's buttons read theirs.
            for (int i = 0; i < 4; ++i) {
                m_pictures[i] = SkinPath::pixmap(QStringLiteral(":/res/image/scroll/%1.png").arg(i + 1));
            }
        }
        QPainter painter(this);
        drawArrow(painter, option, QStyle::SC_ScrollBarSubLine, hovered, m_pictures[0], m_pictures[1]);
        drawArrow(painter, option, QStyle::SC_ScrollBarAddLine, hovered, m_pictures[2], m_pictures[3]);
    }

private:
    /// The arrow of the step button `control`: its picture, or its hovered picture while the pointer is on it,
    /// fitted into the button and centred (as the sheet's `image:` would draw it).
    void drawArrow(QPainter& painter,
                   const QStyleOptionSlider& option,
                   QStyle::SubControl control,
                   QStyle::SubControl hovered,
                   const QPixmap& normal,
                   const QPixmap& hoveredPicture) const
    {
        const QRect button = style()->subControlRect(QStyle::CC_ScrollBar, &option, control, this);
        const QPixmap& picture = hovered == control ? hoveredPicture : normal;
        if (button.isEmpty() || picture.isNull()) {
            return;
        }
        QSize size = picture.deviceIndependentSize().toSize();
        if (size.width() > button.width() || size.height() > button.height()) {
            size.scale(button.size(), Qt::KeepAspectRatio); // made smaller to fit, never larger
        }
        QRect target(QPoint(), size);
        target.moveCenter(button.center());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, picture);
    }

    /// The arrows: up, up hovered, down, down hovered.
    QPixmap m_pictures[4];
};
} // namespace

/// The scroll area of a QScrollWidget. It holds no widget of its own (so QScrollArea leaves the scroll bar
/// ranges alone); the page is a plain child of the viewport and is kept the viewport's size.
class QScrollWidgetArea : public QScrollArea
{
public:
    QScrollWidgetArea(QScrollWidget* page, QWidget* parent)
        : QScrollArea(parent)
        , m_page(page)
    {
    }

    ~QScrollWidgetArea() override
    {
        // The page is deleted with the viewport below; it must not try to delete this area again.
        if (m_page) {
            m_page->m_scroll = nullptr;
        }
    }

    void forgetPage() { m_page = nullptr; }

protected:
    bool viewportEvent(QEvent* event) override
    {
        if (event->type() == QEvent::Resize && m_page) {
            m_page->fitViewport();
        }
        return QScrollArea::viewportEvent(event);
    }

    void scrollContentsBy(int, int) override
    {
        // The page draws from the scroll offset itself; nothing is moved.
    }

private:
    QScrollWidget* m_page;
};

QScrollWidget::QScrollWidget(QWidget* parent)
    : QWidget(nullptr)
{
    auto* area = new QScrollWidgetArea(this, parent);
    m_scroll = area;
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setFocusPolicy(Qt::NoFocus);
    // Transparent all the way down, so the skinned window shows through.
    area->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);

    // The bar takes its style sheet when it is first needed (see updateRange): most pages never scroll, and
    // polishing a bar through a style sheet is start-up time spent on a control nobody sees.
    area->setVerticalScrollBar(new QSkinScrollBar(area));
    QScrollBar* bar = area->verticalScrollBar();
    bar->setSingleStep(kSingleStep);
    bar->setRange(0, 0);
    connect(bar, &QScrollBar::valueChanged, this, [this](int value) { scrollOffsetChanged(value); });

    // The area carries the page's name, so both are easy to find and to tell apart.
    connect(this, &QObject::objectNameChanged, area, [area](const QString& name) {
        area->setObjectName(name.isEmpty() ? QString() : name + QStringLiteral("Scroll"));
    });

    QWidget::setParent(area->viewport());
    // Focus given to the area (a tab bar showing it, say) reaches the page.
    area->setFocusProxy(this);
    QWidget::setGeometry(area->viewport()->rect());
    QWidget::setVisible(true);
}

QScrollWidget::~QScrollWidget()
{
    if (m_scroll) {
        // Deleted on its own (not through the area): take the page out first, then remove the area.
        static_cast<QScrollWidgetArea*>(m_scroll)->forgetPage();
        QScrollArea* area = m_scroll;
        m_scroll = nullptr;
        QWidget::setParent(nullptr);
        delete area;
    }
}

void QScrollWidget::setGeometry(const QRect& rect)
{
    if (m_scroll) {
        m_scroll->setGeometry(rect);
    }
}

void QScrollWidget::setGeometry(int x, int y, int width, int height)
{
    setGeometry(QRect(x, y, width, height));
}

void QScrollWidget::show()
{
    if (m_scroll) {
        m_scroll->show();
    }
    // Also undo a hide() made through a plain QWidget pointer, which hides the page inside its area.
    if (isHidden()) {
        QWidget::setVisible(true);
    }
}

void QScrollWidget::hide()
{
    if (m_scroll) {
        m_scroll->hide();
    }
}

QScrollArea* QScrollWidget::getScroll() const
{
    return m_scroll;
}

QScrollBar* QScrollWidget::verticalBar() const
{
    return m_scroll ? m_scroll->verticalScrollBar() : nullptr;
}

void QScrollWidget::setContentHeight(qint64 height)
{
    m_contentHeight = std::max<qint64>(0, height);
    updateRange();
}

int QScrollWidget::scrollOffset() const
{
    QScrollBar* bar = verticalBar();
    return bar ? bar->value() : 0;
}

void QScrollWidget::setScrollOffset(int offset)
{
    if (QScrollBar* bar = verticalBar()) {
        bar->setValue(offset);
    }
}

void QScrollWidget::ensureContentVisible(qint64 top, int height)
{
    const qint64 offset = scrollOffset();
    const int page = this->height();
    if (top < offset) {
        setScrollOffset(static_cast<int>(top));
    } else if (top + height > offset + page) {
        setScrollOffset(static_cast<int>(std::min<qint64>(top + height - page, top)));
    }
}

void QScrollWidget::scrollOffsetChanged(int)
{
    update();
}

void QScrollWidget::styleScrollBar()
{
    QScrollBar* bar = verticalBar();
    if (bar && bar->styleSheet().isEmpty()) {
        bar->setStyleSheet(barStyleSheet());
    }
}

void QScrollWidget::updateRange()
{
    QScrollBar* bar = verticalBar();
    if (!bar) {
        return;
    }
    const int page = m_scroll->viewport()->height();
    const qint64 maximum = std::clamp<qint64>(m_contentHeight - page, 0, std::numeric_limits<int>::max() - page);
    if (maximum > 0) {
        // Styled before the range makes the scroll area show it, so it is laid out at its styled width at once.
        styleScrollBar();
    }
    bar->setPageStep(std::max(page, 1));
    bar->setRange(0, static_cast<int>(maximum));
}

void QScrollWidget::fitViewport()
{
    if (!m_scroll || m_fitting) {
        return;
    }
    m_fitting = true;
    const QRect target = m_scroll->viewport()->rect();
    if (geometry() != target) {
        QWidget::setGeometry(target);
    }
    m_fitting = false;
    updateRange();
}

void QScrollWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_scroll && size() != m_scroll->viewport()->size()) {
        fitViewport();
    }
}

void QScrollWidget::wheelEvent(QWheelEvent* event)
{
    QScrollBar* bar = verticalBar();
    if (bar && bar->maximum() > 0) {
        QCoreApplication::sendEvent(bar, event);
    } else {
        event->ignore();
    }
}

void QScrollWidget::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (m_scroll && pos() != QPoint(0, 0)) {
        fitViewport();
    }
}
