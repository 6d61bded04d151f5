#include "basewindow.h"

#include "qskinbutton.h"
#include "skinpath.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWindow>

namespace
{
constexpr int kButtonSize = 24;
constexpr int kButtonTop = 3;
constexpr int kButtonRight = 4;
constexpr int kTitleLeft = 10;

/// The background picture named by a skin path, or none for an empty path.
QPixmap backgroundPixmap(const QString& path)
{
    return SkinPath::pixmap(SkinPath::resolve(path, QStringLiteral(".png")));
}

const QString& baseStyleSheet()
{
    static const QString sheet = [] {
        QFile file(QStringLiteral(":/res/qss/base.qss"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return sheet;
}

Qt::CursorShape cursorFor(Qt::Edges edges)
{
    const bool left = edges & Qt::LeftEdge;
    const bool right = edges & Qt::RightEdge;
    const bool top = edges & Qt::TopEdge;
    const bool bottom = edges & Qt::BottomEdge;
    if ((top && left) || (bottom && right)) {
        return Qt::SizeFDiagCursor;
    }
    if ((top && right) || (bottom && left)) {
        return Qt::SizeBDiagCursor;
    }
    if (left || right) {
        return Qt::SizeHorCursor;
    }
    return Qt::SizeVerCursor;
}
} // namespace

/// Watches the mouse over the children of a resizable window, so that its edges resize it wherever they are
/// covered by controls (a tree that spans the window's width, say).
class BaseWindowEdgeFilter : public QObject
{
public:
    explicit BaseWindowEdgeFilter(BaseWindow* window)
        : QObject(window)
        , m_window(window)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            break;
        default:
            return false;
        }
        if (!watched->isWidgetType() || watched == m_window) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() != m_window) {
            return false;
        }
        return m_window->handleMouse(widget, event);
    }

private:
    BaseWindow* m_window;
};

struct BaseWindow::Private
{
    QColor bgColor;
    QString title;
    QPixmap bg;
    QPixmap bg2;
    QPixmap bgScaled; // bg at the window's size
    QPixmap bg2Scaled; // bg2 at the window's width
    QColor titleColor;
    bool titleColorValid = false;

    QSkinButton* btnMin = nullptr;
    QSkinButton* btnClose = nullptr;
    bool minVisible = true;

    bool resizable = false;
    BaseWindowEdgeFilter* edgeFilter = nullptr;
    bool overrideCursor = false;
    Qt::CursorShape cursorShape = Qt::ArrowCursor;

    // Manual move and resize (where the window system does not do it for us).
    bool moving = false;
    bool resizing = false;
    Qt::Edges resizeEdges;
    QPoint pressGlobal;
    QRect pressGeometry;

    QString ownStyleSheet;
    bool sharedStyle = true;

    int busy = 0;
    bool deleteWanted = false;
    bool closedWhileBusy = false;
};

BaseWindow::BaseWindow(QWidget* parent, bool resizable, const QColor& bgColor, SharedStyle style)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , d(new Private)
{
    d->bgColor = bgColor;
    d->sharedStyle = style == SharedStyle::Carried;
    if (!parent) {
        setAttribute(Qt::WA_DeleteOnClose);
    }
    setMouseTracking(true);

    d->btnMin = new QSkinButton(this);
    d->btnMin->setObjectName(QStringLiteral("btnMin"));
    d->btnMin->setAccessibleName(QStringLiteral("最小化"));
    d->btnMin->setToolTip(QStringLiteral("最小化"));
    const QStringList images = titleButtonImages();
    d->btnMin->setImg(images.at(0), images.at(1), images.at(2));
    d->btnClose = new QSkinButton(this);
    d->btnClose->setObjectName(QStringLiteral("btnClose"));
    d->btnClose->setAccessibleName(QStringLiteral("关闭"));
    d->btnClose->setToolTip(QStringLiteral("关闭"));
    d->btnClose->setImg(images.at(3), images.at(4), images.at(5));
    for (QSkinButton* button : { d->btnMin, d->btnClose }) {
        button->setCursor(Qt::ArrowCursor);
        button->setFocusPolicy(Qt::NoFocus);
        button->resize(kButtonSize, kButtonSize);
    }
    connect(d->btnMin, &QAbstractButton::clicked, this, [this] { onMinWin(); });
    connect(d->btnClose, &QAbstractButton::clicked, this, [this] { onCloseWin(); });

    applyStyleSheet();
    resizeEnable(resizable);
    layoutTitleButtons();
}

QStringList BaseWindow::titleButtonImages()
{
    // Minimise, then close: normal, hovered, pressed.
    return { QStringLiteral(":/res/image/SysBtn/btn_mini_normal.png"),
             QStringLiteral(":/res/image/SysBtn/btn_mini_highlight.png"),
             QStringLiteral(":/res/image/SysBtn/btn_mini_down.png"),
             QStringLiteral(":/res/image/SysBtn/btn_close_normal.png"),
             QStringLiteral(":/res/image/SysBtn/btn_close_highlight.png"),
             QStringLiteral(":/res/image/SysBtn/btn_close_down.png") };
}

BaseWindow::~BaseWindow()
{
    if (d->overrideCursor) {
        QGuiApplication::restoreOverrideCursor();
    }
    delete d;
}

void BaseWindow::setWindowTitle(const QString& title)
{
    // The painted title follows the native one (see event()), so both ways of setting it agree.
    QWidget::setWindowTitle(title);
    d->title = title;
    update(0, 0, width(), TitleBarHeight);
}

void BaseWindow::setWindowFlags(Qt::WindowFlags flags)
{
    const Qt::WindowFlags current = windowFlags();
    const Qt::WindowFlags type
        = (flags & Qt::WindowType_Mask) ? (flags & Qt::WindowType_Mask) : (current & Qt::WindowType_Mask);
    const Qt::WindowFlags hints
        = (current & ~Qt::WindowType_Mask) | (flags & ~Qt::WindowType_Mask) | Qt::FramelessWindowHint;
    const bool wasVisible = isVisible();
    QDialog::setWindowFlags(type | hints);
    // Changing the flags re-creates the native window hidden; a shown window stays shown.
    if (wasVisible) {
        show();
    }
}

void BaseWindow::resizeEnable(bool enable)
{
    d->resizable = enable;
    if (enable && !d->edgeFilter) {
        d->edgeFilter = new BaseWindowEdgeFilter(this);
        qApp->installEventFilter(d->edgeFilter);
    } else if (!enable && d->edgeFilter) {
        qApp->removeEventFilter(d->edgeFilter);
        delete d->edgeFilter;
        d->edgeFilter = nullptr;
    }
    if (!enable && d->overrideCursor) {
        QGuiApplication::restoreOverrideCursor();
        d->overrideCursor = false;
    }
}

bool BaseWindow::isResizeEnabled() const
{
    return d->resizable;
}

void BaseWindow::showMinBtn(bool show)
{
    d->minVisible = show;
    d->btnMin->setVisible(show);
    layoutTitleButtons();
}

void BaseWindow::setBg(const QString& path)
{
    d->bg = backgroundPixmap(path);
    d->bgScaled = QPixmap();
    d->titleColorValid = false;
    update();
}

void BaseWindow::setBg2(const QString& path)
{
    d->bg2 = backgroundPixmap(path);
    d->bg2Scaled = QPixmap();
    d->titleColorValid = false;
    update();
}

void BaseWindow::setStyleSheet(const QString& styleSheet)
{
    d->ownStyleSheet = styleSheet;
    applyStyleSheet();
}

void BaseWindow::applyStyleSheet()
{
    QString sheet = d->sharedStyle ? baseStyleSheet() : QString();
    if (!d->ownStyleSheet.isEmpty()) {
        sheet += QLatin1Char('\n') + d->ownStyleSheet;
    }
    if (sheet.isEmpty() && styleSheet().isEmpty()) {
        return;
    }
    QWidget::setStyleSheet(sheet);
}

const QString& BaseWindow::sharedStyleSheet()
{
    return baseStyleSheet();
}

QString BaseWindow::titleText() const
{
    return d->title;
}

QColor BaseWindow::bgColor() const
{
    return d->bgColor;
}

QPixmap BaseWindow::bgImage() const
{
    return d->bg;
}

QPixmap BaseWindow::bg2Image() const
{
    return d->bg2;
}

Qt::Edges BaseWindow::edgesAt(const QSize& size, const QPoint& pos, int margin)
{
    Qt::Edges edges;
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= size.width() || pos.y() >= size.height()) {
        return edges;
    }
    if (pos.x() < margin) {
        edges |= Qt::LeftEdge;
    } else if (pos.x() >= size.width() - margin) {
        edges |= Qt::RightEdge;
    }
    if (pos.y() < margin) {
        edges |= Qt::TopEdge;
    } else if (pos.y() >= size.height() - margin) {
        edges |= Qt::BottomEdge;
    }
    // The corners grip a little further along each edge, so they are easy to catch.
    const int corner = 3 * margin;
    if (edges == Qt::TopEdge || edges == Qt::BottomEdge) {
        if (pos.x() < corner) {
            edges |= Qt::LeftEdge;
        } else if (pos.x() >= size.width() - corner) {
            edges |= Qt::RightEdge;
        }
    } else if (edges == Qt::LeftEdge || edges == Qt::RightEdge) {
        if (pos.y() < corner) {
            edges |= Qt::TopEdge;
        } else if (pos.y() >= size.height() - corner) {
            edges |= Qt::BottomEdge;
        }
    }
    return edges;
}

QRect BaseWindow::resizedGeometry(
    const QRect& start, Qt::Edges edges, const QPoint& delta, const QSize& minimum, const QSize& maximum)
{
    const QSize low = minimum.expandedTo(QSize(1, 1));
    QRect r = start;
    if (edges & Qt::LeftEdge) {
        const int w = qBound(low.width(), start.width() - delta.x(), qMax(low.width(), maximum.width()));
        r.setLeft(start.right() + 1 - w);
    } else if (edges & Qt::RightEdge) {
        r.setWidth(qBound(low.width(), start.width() + delta.x(), qMax(low.width(), maximum.width())));
    }
    if (edges & Qt::TopEdge) {
        const int h = qBound(low.height(), start.height() - delta.y(), qMax(low.height(), maximum.height()));
        r.setTop(start.bottom() + 1 - h);
    } else if (edges & Qt::BottomEdge) {
        r.setHeight(qBound(low.height(), start.height() + delta.y(), qMax(low.height(), maximum.height())));
    }
    return r;
}

void BaseWindow::onCloseWin()
{
    if (isModal() || testAttribute(Qt::WA_ShowModal)) {
        reject();
    } else {
        close();
    }
}

void BaseWindow::onMinWin()
{
    showMinimized();
}

BaseWindow::BusyGuard::BusyGuard(BaseWindow* window)
    : m_window(window)
{
    if (m_window) {
        m_window->beginNestedLoop();
    }
}

BaseWindow::BusyGuard::~BusyGuard()
{
    if (m_window) {
        m_window->endNestedLoop();
    }
}

void BaseWindow::beginNestedLoop()
{
    if (d->busy++ == 0) {
        // Closing the window while the loop runs must not free it under the running call.
        d->deleteWanted = testAttribute(Qt::WA_DeleteOnClose);
        d->closedWhileBusy = false;
        setAttribute(Qt::WA_DeleteOnClose, false);
    }
}

void BaseWindow::endNestedLoop()
{
    if (d->busy == 0 || --d->busy > 0) {
        return;
    }
    if (d->deleteWanted) {
        setAttribute(Qt::WA_DeleteOnClose, true);
        if (d->closedWhileBusy && !isVisible()) {
            deleteLater();
        }
    }
}

bool BaseWindow::isInNestedLoop() const
{
    return d->busy > 0;
}

int BaseWindow::exec()
{
    // QDialog::exec() deletes a window that is set to free itself on close as soon as its loop ends: a window on
    // the caller's stack, or one whose results the caller is about to read. The caller owns what it runs.
    setAttribute(Qt::WA_DeleteOnClose, false);
    d->deleteWanted = false;
    return QDialog::exec();
}

void BaseWindow::done(int result)
{
    if (d->busy > 0) {
        d->closedWhileBusy = true;
    }
    QDialog::done(result);
}

void BaseWindow::layoutTitleButtons()
{
    int x = width() - kButtonRight - kButtonSize;
    d->btnClose->move(x, kButtonTop);
    x -= kButtonSize;
    d->btnMin->move(x, kButtonTop);
    d->btnClose->raise();
    d->btnMin->raise();
}

void BaseWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, d->bgColor);
    const qreal dpr = devicePixelRatioF();
    if (!d->bg.isNull()) {
        p.drawPixmap(0, 0, SkinPath::stretched(d->bg, d->bgScaled, r.size() * dpr, dpr));
    }
    if (!d->bg2.isNull()) {
        // The band keeps its own height and is stretched to the window's width.
        const int bandHeight = qRound(d->bg2.height() / d->bg2.devicePixelRatio());
        p.drawPixmap(0, 0, SkinPath::stretched(d->bg2, d->bg2Scaled, QSize(r.width(), bandHeight) * dpr, dpr));
    }

    if (!d->titleColorValid) {
        // Dark text on light backgrounds, white text on dark ones: sample what lies behind the title.
        const int sampleWidth = qMax(1, qMin(r.width(), 160));
        QImage sample(sampleWidth, TitleBarHeight, QImage::Format_RGB32);
        sample.fill(d->bgColor);
        {
            QPainter sp(&sample);
            if (!d->bgScaled.isNull()) {
                sp.drawPixmap(0, 0, d->bgScaled);
            }
            if (!d->bg2Scaled.isNull()) {
                sp.drawPixmap(0, 0, d->bg2Scaled);
            }
        }
        qint64 sum = 0;
        int count = 0;
        for (int y = 4; y < sample.height() - 4; y += 3) {
            const QRgb* line = reinterpret_cast<const QRgb*>(sample.constScanLine(y));
            for (int x = 0; x < sample.width(); x += 3) {
                sum += qGray(line[x]);
                ++count;
            }
        }
        const int mean = count ? int(sum / count) : 255;
        d->titleColor = mean < 140 ? QColor(255, 255, 255) : QColor(0x1f, 0x2d, 0x3d);
        d->titleColorValid = true;
    }

    if (!d->title.isEmpty()) {
        p.setFont(font());
        QColor color = d->titleColor;
        if (!isActiveWindow()) {
            color.setAlpha(200);
        }
        p.setPen(color);
        const int right = (d->minVisible ? d->btnMin->x() : d->btnClose->x()) - 6;
        const QRect titleRect(kTitleLeft, 0, qMax(0, right - kTitleLeft), TitleBarHeight);
        p.drawText(titleRect,
                   Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(d->title, Qt::ElideRight, titleRect.width()));
    }

    // A hairline frame keeps a light window apart from a light desktop.
    p.setPen(QColor(0x8a, 0x96, 0xa5, 150));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

void BaseWindow::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    d->titleColorValid = false;
    layoutTitleButtons();
}

void BaseWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    layoutTitleButtons();
}

void BaseWindow::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    if (d->busy > 0 && event->isAccepted()) {
        d->closedWhileBusy = true;
    }
}

void BaseWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    switch (event->type()) {
    case QEvent::ActivationChange:
    case QEvent::FontChange:
        update(0, 0, width(), TitleBarHeight);
        break;
    default:
        break;
    }
}

bool BaseWindow::eventFilter(QObject* watched, QEvent* event)
{
    return QDialog::eventFilter(watched, event);
}

bool BaseWindow::handleMouse(QWidget* target, QEvent* event)
{
    auto* me = static_cast<QMouseEvent*>(event);
    const QPoint global = me->globalPosition().toPoint();
    const QPoint pos = mapFromGlobal(global);
    // A scroll bar along a side edge keeps its pointer: the side grip there would swallow half of a slim bar.
    // Its corners still resize.
    const auto gripEdges = [&] {
        const Qt::Edges edges = edgesAt(size(), pos);
        if ((edges == Qt::LeftEdge || edges == Qt::RightEdge) && qobject_cast<QScrollBar*>(target)) {
            return Qt::Edges();
        }
        return edges;
    };

    switch (event->type()) {
    case QEvent::MouseMove:
        if (d->resizing) {
            setGeometry(resizedGeometry(
                d->pressGeometry, d->resizeEdges, global - d->pressGlobal, minimumSize(), maximumSize()));
            return true;
        }
        if (d->moving) {
            move(d->pressGeometry.topLeft() + (global - d->pressGlobal));
            return true;
        }
        if (d->resizable && me->buttons() == Qt::NoButton) {
            const Qt::Edges edges = gripEdges();
            if (edges) {
                const Qt::CursorShape shape = cursorFor(edges);
                if (!d->overrideCursor) {
                    QGuiApplication::setOverrideCursor(shape);
                    d->overrideCursor = true;
                } else if (shape != d->cursorShape) {
                    QGuiApplication::changeOverrideCursor(shape);
                }
                d->cursorShape = shape;
            } else if (d->overrideCursor) {
                QGuiApplication::restoreOverrideCursor();
                d->overrideCursor = false;
            }
        }
        return false;
    case QEvent::MouseButtonPress: {
        if (me->button() != Qt::LeftButton) {
            return false;
        }
        const Qt::Edges edges = d->resizable ? gripEdges() : Qt::Edges();
        if (edges) {
            if (windowHandle() && windowHandle()->startSystemResize(edges)) {
                return true;
            }
            d->resizing = true;
            d->resizeEdges = edges;
            d->pressGlobal = global;
            d->pressGeometry = geometry();
            return true;
        }
        if (target != this) {
            return false;
        }
        // A press on the title bar or the empty background drags the window.
        if (windowHandle() && windowHandle()->startSystemMove()) {
            return true;
        }
        d->moving = true;
        d->pressGlobal = global;
        d->pressGeometry = frameGeometry();
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (d->moving || d->resizing) {
            d->moving = false;
            d->resizing = false;
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool BaseWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // Handled here rather than in the mouse handlers, which subclasses may replace.
        if (handleMouse(this, event)) {
            event->accept();
            return true;
        }
        break;
    case QEvent::Leave:
    case QEvent::Hide:
        if (d->overrideCursor) {
            QGuiApplication::restoreOverrideCursor();
            d->overrideCursor = false;
        }
        break;
    case QEvent::WindowTitleChange:
        d->title = windowTitle();
        update(0, 0, width(), TitleBarHeight);
        break;
    default:
        break;
    }
    return QDialog::event(event);
}
