#include "qskinbutton.h"

#include "skinpath.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

namespace
{
const QColor kAccent(0x3c, 0x8c, 0xe7);
const QColor kBorder(0xc8, 0xd0, 0xda);
const QColor kPrompt(0x9a, 0xa3, 0xae);
const QColor kText(0x2b, 0x35, 0x40);
} // namespace

struct QSkinButton::Private
{
    QPixmap normal;
    QPixmap hover;
    QPixmap pressed;
    int style = QSkinButton::StyleImage;
    int id = 0;
    bool hovered = false;
    QColor textColor = kText;
};

QSkinButton::QSkinButton(QWidget* parent)
    : QAbstractButton(parent)
    , d(new Private)
{
    setCursor(Qt::PointingHandCursor);
    // Clicking a button must not pull the keyboard focus away from the tree or the search field.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, [this] { emit clickedex(this); });
}

QSkinButton::~QSkinButton()
{
    delete d;
}

void QSkinButton::setImg(const QString& normal)
{
    setImg(normal, QString(), QString());
}

void QSkinButton::setImg(const QString& normal, const QString& hover, const QString& pressed)
{
    d->normal = SkinPath::pixmap(normal);
    d->hover = SkinPath::pixmap(hover);
    d->pressed = SkinPath::pixmap(pressed);
    updateGeometry();
    update();
}

void QSkinButton::setText(const QString& text)
{
    QAbstractButton::setText(text);
    updateGeometry();
    update();
}

void QSkinButton::setBtnStyle(int style)
{
    d->style = style;
    update();
}

int QSkinButton::btnStyle() const
{
    return d->style;
}

void QSkinButton::setId(int id)
{
    d->id = id;
}

int QSkinButton::getId() const
{
    return d->id;
}

void QSkinButton::setTextColor(const QColor& color)
{
    d->textColor = color;
    update();
}

bool QSkinButton::hasImage() const
{
    return !d->normal.isNull();
}

QSize QSkinButton::sizeHint() const
{
    QSize size = d->normal.isNull() ? QSize(24, 24) : d->normal.size() / d->normal.devicePixelRatio();
    if (!text().isEmpty()) {
        const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text()) + QSize(20, 10);
        size = size.expandedTo(textSize);
    }
    return size;
}

void QSkinButton::enterEvent(QEnterEvent* event)
{
    d->hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void QSkinButton::leaveEvent(QEvent* event)
{
    d->hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void QSkinButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect r = rect();
    const bool down = isDown();
    const bool hot = d->hovered && isEnabled();

    // The image for the state; a button with one image shows that image in every state.
    QPixmap image = d->normal;
    if (down && !d->pressed.isNull()) {
        image = d->pressed;
    } else if ((hot || down) && !d->hover.isNull()) {
        image = d->hover;
    }
    const bool ownStates = !d->hover.isNull() || !d->pressed.isNull();

    switch (d->style) {
    case StyleSearchPrompt: {
        if (!image.isNull()) {
            p.drawPixmap(r, image);
        } else {
            p.fillRect(r, QColor(255, 255, 255, hot ? 235 : 210));
        }
        p.setPen(hot ? kPrompt.darker(130) : kPrompt);
        const QRect textRect = r.adjusted(10, 0, -30, 0);
        p.drawText(textRect,
                   Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
        break;
    }
    case StylePreview: {
        const QRectF frame = QRectF(r).adjusted(1, 1, -1, -1);
        QPainterPath clip;
        clip.addRoundedRect(frame.adjusted(2, 2, -2, -2), 3, 3);
        if (!image.isNull()) {
            p.save();
            p.setClipPath(clip);
            // Scaled to cover the tile, centred, at the screen's own density.
            const QSize inner = frame.adjusted(2, 2, -2, -2).size().toSize();
            const qreal dpr = devicePixelRatioF();
            QPixmap scaled = image.scaled(inner * dpr, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
            scaled.setDevicePixelRatio(dpr);
            const QSize shown = scaled.deviceIndependentSize().toSize();
            const QPoint at(int(frame.x()) + 2 + (inner.width() - shown.width()) / 2,
                            int(frame.y()) + 2 + (inner.height() - shown.height()) / 2);
            p.drawPixmap(at, scaled);
            p.restore();
        } else {
            p.fillPath(clip, QColor(0xee, 0xf1, 0xf5));
        }
        if (!text().isEmpty()) {
            const QRect band(r.left() + 3, r.bottom() - 22, r.width() - 6, 19);
            p.fillRect(band, QColor(0, 0, 0, 90));
            p.setPen(Qt::white);
            p.drawText(band, Qt::AlignCenter, text());
        }
        p.setBrush(Qt::NoBrush);
        if (hot || down || isChecked()) {
            p.setPen(QPen(kAccent, 2));
            p.drawRoundedRect(frame, 4, 4);
        } else {
            p.setPen(QPen(kBorder, 1));
            p.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        }
        break;
    }
    case StyleText: {
        if (!image.isNull()) {
            p.drawPixmap(r, image);
        } else if (hot || down) {
            p.setPen(Qt::NoPen);
            p.setBrush(down ? QColor(60, 140, 231, 60) : QColor(60, 140, 231, 30));
            p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        }
        p.setPen(hot ? kAccent : d->textColor);
        p.drawText(r, Qt::AlignCenter, fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
        break;
    }
    default: {
        // An image without state images of its own gets a soft highlight behind it on hover and moves down a
        // pixel while pressed, so every button answers the mouse.
        if (!ownStates && (hot || down)) {
            p.setPen(Qt::NoPen);
            p.setBrush(down ? QColor(255, 255, 255, 150) : QColor(255, 255, 255, 100));
            p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        }
        if (!image.isNull()) {
            QRect target = r;
            if (!ownStates && down) {
                target.translate(0, 1);
            }
            p.drawPixmap(target, image);
        }
        if (!text().isEmpty()) {
            p.setPen(d->textColor);
            p.drawText(r, Qt::AlignCenter, fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
        }
        break;
    }
    }

    if (hasFocus()) {
        p.setPen(QPen(QColor(60, 140, 231, 160), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}
