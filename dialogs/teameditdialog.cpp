#include "teameditdialog.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

TeamEditDialog::TeamEditDialog(QWidget* parent)
    : BaseWindow(parent, false, QColor(250, 250, 250, 255))
{
    setupUi();
    // Callers read getName() after exec() returns, from stack and heap dialogs alike.
    setAttribute(Qt::WA_DeleteOnClose, false);
    BaseWindow::setWindowFlags(Qt::WindowStaysOnTopHint);
    btnOk->setObjectName(QStringLiteral("btnNormal"));
    BaseWindow::setWindowTitle(QStringLiteral("添加分组"));
    connect(btnOk, &QPushButton::clicked, this, &TeamEditDialog::onOk);
    editName->setText(teamName);
    // The name field takes the typing when the dialog opens (the button comes first in the tab order).
    editName->setFocus();
}

TeamEditDialog::~TeamEditDialog() = default;

void TeamEditDialog::setupUi()
{
    if (objectName().isEmpty()) {
        setObjectName(QStringLiteral("TeamEditDialog"));
    }
    resize(171, 130);

    btnOk = new QPushButton(this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(QRect(51, 87, 64, 25));

    editName = new QLineEdit(this);
    editName->setObjectName(QStringLiteral("editName"));
    editName->setGeometry(QRect(20, 50, 131, 20));

    QWidget::setWindowTitle(QStringLiteral("TeamEditDialog"));
    btnOk->setText(QStringLiteral("保存"));
}

void TeamEditDialog::setName(const QString& name)
{
    teamName = name;
    editName->setText(name);
}

QString TeamEditDialog::getName() const
{
    return teamName;
}

void TeamEditDialog::onOk()
{
    teamName = editName->text();
    // Exact comparison: a name of blanks is a name.
    if (teamName == QString()) {
        QMessageBox::information(this,
                                 QStringLiteral("提示信息"),
                                 QStringLiteral("名称不能为空!"),
                                 QMessageBox::Ok,
                                 QMessageBox::NoButton);
        return;
    }
    accept();
}
