#include "qskinmessagebox.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>

QSkinMessageBox::QSkinMessageBox(int mode, QWidget* parent)
    : BaseWindow(parent, false, QColor(250, 250, 250, 255))
{
    setupUi();
    this->mode = mode;
    showMinBtn(false);
    BaseWindow::setWindowFlags(Qt::WindowStaysOnTopHint);
    BaseWindow::setWindowTitle(QStringLiteral("提示"));

    // Both buttons take the shared push-button look of the style sheet.
    btnOk->setObjectName(QStringLiteral("btnNormal"));
    btnCancel->setObjectName(QStringLiteral("btnNormal"));

    connect(btnOk, &QPushButton::clicked, this, &QSkinMessageBox::onBtnOk);
    connect(btnCancel, &QPushButton::clicked, this, &QSkinMessageBox::onBtnCancel);

    if (mode == 0) {
        btnCancel->hide();
        btnOk->setText(QStringLiteral("确定"));
        btnOk->move((width() - btnOk->width()) / 2, btnOk->y());
    }
}

QSkinMessageBox::~QSkinMessageBox() = default;

void QSkinMessageBox::setupUi()
{
    if (objectName().isEmpty()) {
        setObjectName(QStringLiteral("QSkinMessageBox"));
    }
    resize(268, 151);

    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(QRect(28, 45, 211, 41));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);

    btnOk = new QPushButton(this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(QRect(53, 107, 64, 25));

    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(QRect(153, 107, 64, 25));

    QWidget::setWindowTitle(QStringLiteral("QSkinMessageBox"));
    label->setText(QStringLiteral("这里是提示信息哦"));
    btnOk->setText(QStringLiteral("是"));
    btnCancel->setText(QStringLiteral("否"));
}

int QSkinMessageBox::showMessage(const QString& text, int mode)
{
    // The box lives for this one call: it never deletes itself on close, and it is deleted here once its
    // modal loop has returned, so it can neither leak nor be shown again.
    QPointer<QSkinMessageBox> box = new QSkinMessageBox(mode, nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setText(text);
    const int result = box->exec();
    delete box.data();
    return result;
}

void QSkinMessageBox::onBtnOk()
{
    accept();
}

void QSkinMessageBox::onBtnCancel()
{
    reject();
}

void QSkinMessageBox::setText(const QString& sText)
{
    label->setText(sText);
}
