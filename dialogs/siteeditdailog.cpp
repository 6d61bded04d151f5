#include "siteeditdailog.h"

#include "qskinmessagebox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

SiteEditDailog::SiteEditDailog(QWidget* parent)
    : BaseWindow(parent, false, QColor(250, 250, 250, 255))
{
    setupUi();
    BaseWindow::setWindowTitle(QStringLiteral("添加网址"));
    BaseWindow::setWindowFlags(Qt::WindowStaysOnTopHint);
    btnOk->setObjectName(QStringLiteral("btnNormal"));
    connect(btnOk, &QPushButton::clicked, this, &SiteEditDailog::onBtnOk);

    // Completed from the keyboard: typing goes to the name at once, Tab walks name, address, button, and
    // Return anywhere saves (Escape cancels, as in every dialog).
    setTabOrder(editName, editSite);
    setTabOrder(editSite, btnOk);
    btnOk->setDefault(true);
    editName->setFocus();
}

SiteEditDailog::~SiteEditDailog() = default;

void SiteEditDailog::setupUi()
{
    if (objectName().isEmpty()) {
        setObjectName(QStringLiteral("SiteEditDailog"));
    }
    resize(250, 156);

    btnOk = new QPushButton(this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(QRect(99, 120, 64, 25));

    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(QRect(20, 52, 54, 12));

    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setGeometry(QRect(20, 83, 54, 12));

    editName = new QLineEdit(this);
    editName->setObjectName(QStringLiteral("editName"));
    editName->setGeometry(QRect(70, 50, 151, 20));

    editSite = new QLineEdit(this);
    editSite->setObjectName(QStringLiteral("editSite"));
    editSite->setGeometry(QRect(70, 80, 151, 20));

    QWidget::setWindowTitle(QStringLiteral("SiteEditDailog"));
    btnOk->setText(QStringLiteral("保存"));
    label->setText(QStringLiteral("名称："));
    label_2->setText(QStringLiteral("网址："));
    // The labels name their fields for screen readers.
    label->setBuddy(editName);
    label_2->setBuddy(editSite);
}

void SiteEditDailog::setName(const QString& name)
{
    editName->setText(name);
}

void SiteEditDailog::setSite(const QString& site)
{
    editSite->setText(site);
}

QString SiteEditDailog::getName() const
{
    return editName->text();
}

QString SiteEditDailog::getSite() const
{
    return editSite->text();
}

void SiteEditDailog::onBtnOk()
{
    // Only emptiness is refused: blanks are content, and the address is not checked here.
    if (editName->text().isEmpty() || editSite->text().isEmpty()) {
        QSkinMessageBox::showMessage(QStringLiteral("请填写内容再保存!"), 0);
        return;
    }
    accept();
}
