#pragma once

#include "basewindow.h"

class QLabel;

/// The about box: the product name and version, the feedback contact and the forum address, as six plain
/// labels. Stays above other windows; the person closes it with the title bar, Return or Escape.
class AboutDialog : public BaseWindow
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setupUi();

    QLabel* label = nullptr;
    QLabel* label_2 = nullptr;
    QLabel* label_3 = nullptr;
    QLabel* label_4 = nullptr;
    QLabel* label_6 = nullptr;
    QLabel* label_7 = nullptr;
};
