#pragma once

#include <QColor>
#include <QWidget>

/// A label that shows an image scaled to fit, a text in a given colour, and a background colour.
class QSkinLabel : public QWidget
{
    Q_OBJECT

public:
    explicit QSkinLabel(QWidget* parent = nullptr);
    ~QSkinLabel() override;

    /// Path may be design-style (backslashes, "skins").
    void setImg(const QString& path);
    void setText(const QString& text, const QColor& color = QColor(0, 0, 0));
    QString text() const;
    QColor textColor() const;
    void setBgColor(int r, int g, int b);
    /// Where the text sits; left and vertically centred by default.
    void setAlignment(Qt::Alignment alignment);
    /// True once an image has been loaded.
    bool hasImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Private;
    Private* d;
};
