#include "qskinlabel.h"

#include "skinpath.h"

#include <QPainter>
#include <QPixmap>

struct QSkinLabel::Private
{
    QPixmap image;
    QPixmap scaled; // image at the size last painted
    QString text;
    QColor textColor = QColor(0, 0, 0);
    QColor bgColor; // invalid: transparent
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

QSkinLabel::QSkinLabel(QWidget* parent)
    : QWidget(parent)
    , d(new Private)
{
}

QSkinLabel::~QSkinLabel()
{
    delete d;
}

void QSkinLabel::setImg(const QString& path)
{
    d->image = SkinPath::pixmap(path);
    d->scaled = QPixmap();
    update();
}

void QSkinLabel::setText(const QString& text, const QColor& color)
{
    if (text == d->text && color == d->textColor) {
        return;
    }
    d->text = text;
    d->textColor = color;
    setAccessibleName(text);
    update();
}

QString QSkinLabel::text() const
{
    return d->text;
}

QColor QSkinLabel::textColor() const
{
    return d->textColor;
}

void QSkinLabel::setBgColor(int r, int g, int b)
{
    d->bgColor = QColor(r, g, b);
    update();
}

void QSkinLabel::setAlignment(Qt::Alignment alignment)
{
    d->alignment = alignment;
    update();
}

bool QSkinLabel::hasImage() const
{
    return !d->image.isNull();
}

void QSkinLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (d->bgColor.isValid()) {
        p.fillRect(rect(), d->bgColor);
    }
    if (!d->image.isNull()) {
        // Scaled to fit, keeping its proportions, centred.
        // Sizes in logical pixels: a high-density image (device pixel ratio 2) fills the same room as its 1x file.
        const qreal dpr = devicePixelRatioF();
        const QSize logical = d->image.deviceIndependentSize().toSize();
        QSize target = logical;
        target.scale(size(), Qt::KeepAspectRatio);
        const QRect r(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2), target);
        if (target == logical && dpr == d->image.devicePixelRatio()) {
            p.drawPixmap(r.topLeft(), d->image);
        } else {
            p.drawPixmap(r.topLeft(), SkinPath::stretched(d->image, d->scaled, target * dpr, dpr));
        }
    }
    if (!d->text.isEmpty()) {
        p.setPen(d->textColor);
        p.setFont(font());
        const QString shown = fontMetrics().elidedText(d->text, Qt::ElideRight, width());
        p.drawText(rect(), int(d->alignment), shown);
    }
}
