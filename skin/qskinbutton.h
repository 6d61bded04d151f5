#pragma once

#include <QAbstractButton>

/// An image button: one image (normal) or three (normal, hover, pressed), optional text.
/// Style 1: an image button (the default). Style 2: the search prompt (image stretched behind a grey prompt text
/// at the left). Style 3: a flat text button. Style 4: a preview tile (image scaled into the tile, highlighted
/// border on hover).
class QSkinButton : public QAbstractButton
{
    Q_OBJECT

public:
    enum Style
    {
        StyleImage = 1,
        StyleSearchPrompt = 2,
        StyleText = 3,
        StylePreview = 4,
    };

    explicit QSkinButton(QWidget* parent = nullptr);
    ~QSkinButton() override;

    /// Paths may be design-style (backslashes, "skins").
    void setImg(const QString& normal);
    void setImg(const QString& normal, const QString& hover, const QString& pressed);
    void setText(const QString& text);
    void setBtnStyle(int style);
    int btnStyle() const;
    void setId(int id);
    int getId() const;
    /// Colour of the text (style 1 and 3); style 2 always uses a grey prompt colour.
    void setTextColor(const QColor& color);
    /// True once the normal image has been loaded.
    bool hasImage() const;

    QSize sizeHint() const override;

signals:
    void clickedex(QSkinButton* button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Private;
    Private* d;
};
