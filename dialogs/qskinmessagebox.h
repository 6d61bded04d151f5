#pragma once

#include "basewindow.h"

class QLabel;
class QPushButton;

/// The small skinned notice: one line of centred, word-wrapped text and either one button ("确定") or two
/// ("是" / "否"). Shown modally through showMessage().
class QSkinMessageBox : public BaseWindow
{
    Q_OBJECT

public:
    /// `mode` 0 gives a single "确定" button; any other value the two buttons "是" and "否".
    explicit QSkinMessageBox(int mode, QWidget* parent = nullptr);
    ~QSkinMessageBox() override;

    /// Shows `text` in a new box of the given mode and waits for the answer: 1 for OK/Yes, 0 otherwise.
    static int showMessage(const QString& text, int mode);

public slots:
    void onBtnOk();
    void onBtnCancel();
    void setText(const QString& sText);

private:
    void setupUi();

    QLabel* label = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    int mode = 0;
};
