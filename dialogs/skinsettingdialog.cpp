#include "skinsettingdialog.h"

#include "qskinbutton.h"

#include <QApplication>
#include <QKeyEvent>

SkinSettingDialog::SkinSettingDialog(QWidget* parent)
    : BaseWindow(parent, false, QColor(250, 250, 250, 255))
{
    setupUi();
    BaseWindow::setWindowTitle(QStringLiteral("皮肤设置"));
    resize(352, 150);

    // Four square previews in a row, 10 pixels from either side of the window.
    constexpr int Size = 80;
    constexpr int Top = 50;
    constexpr int Gap = 4;
    QSkinButton** const buttons[] = { &btnSkin1, &btnSkin2, &btnSkin3, &btnSkin4 };
    int x = 10;
    int skin = 1;
    for (QSkinButton** button : buttons) {
        *button = new QSkinButton(this);
        (*button)->setGeometry(x, Top, Size, Size);
        (*button)->setBtnStyle(QSkinButton::StylePreview);
        (*button)->setImg(QStringLiteral("Skins\\main_bg\\%1\\view.png").arg(skin));
        (*button)->setId(skin);
        (*button)->setObjectName(QStringLiteral("btnSkin%1").arg(skin));
        (*button)->setAccessibleName(QStringLiteral("皮肤 %1").arg(skin));
        x += Size + Gap;
        ++skin;
    }
    // The window itself takes the keyboard focus when it opens: a focus frame on the first preview would look
    // like the skin in use. Tab still walks the previews.
    setFocusPolicy(Qt::StrongFocus);
    setFocus();
}

SkinSettingDialog::~SkinSettingDialog() = default;

void SkinSettingDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* preview = qobject_cast<QSkinButton*>(QApplication::focusWidget()); preview && isAncestorOf(preview)) {
            preview->click();
            return;
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        focusNextPrevChild(event->key() == Qt::Key_Right);
        return;
    default:
        break;
    }
    BaseWindow::keyPressEvent(event);
}

void SkinSettingDialog::setupUi()
{
    if (objectName().isEmpty()) {
        setObjectName(QStringLiteral("SkinSettingDialog"));
    }
    resize(351, 171);
    QWidget::setWindowTitle(QStringLiteral("SkinSettingDialog"));
}
