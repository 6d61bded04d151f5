#pragma once

#include "basewindow.h"

class QSkinButton;

/// The skin picker: the four background skins of the main window as four preview buttons in a row, with the
/// skin numbers 1 to 4 as their ids. It only shows them; the main window connects their clickedex() signals to
/// its skin switching. Not modal; it stays open after a click.
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

private:
    void setupUi();
};
