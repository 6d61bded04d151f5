#pragma once

#include "basewindow.h"

class QSkinButton;

/// The skin picker: the four background skins of the main window as four preview buttons in a row, with the
/// skin numbers 1 to 4 as their ids. It only shows them; the main window connects their clickedex() signals to
/// its skin switching. Not modal; it stays open after a click. From the keyboard, Tab or the arrow keys walk the
/// previews, Return or Space takes the one with the keyboard, Escape closes.
class SkinSettingDialog : public BaseWindow
{
    Q_OBJECT

public:
    explicit SkinSettingDialog(QWidget* parent = nullptr);
    ~SkinSettingDialog() override;

    QSkinButton* btnSkin1 = nullptr;
    QSkinButton* btnSkin2 = nullptr;
    QSkinButton* btnSkin3 = nullptr;
    QSkinButton* btnSkin4 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setupUi();
};
