// The main window's small commands that do not touch the catalogue: tray, main menu, calculator and editor
// buttons, clock and skins.
#include "platform.h"
#include "qqdialog.h"
#include "qskinbutton.h"
#include "qskinlabel.h"
#include "qskinmenu.h"

#include <QDateTime>
#include <QLocale>

void QQDialog::onBtnCal()
{
    Platform::startCalculator();
}

void QQDialog::onBtnNote()
{
    Platform::startTextEditor();
}

void QQDialog::onBtnMenu() { }

void QQDialog::onBtnSkin() { }

void QQDialog::onTrayActivate(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Context: {
        QSkinMenu menu(this);
        menu.addItem(1, QStringLiteral("显示"), QString());
        menu.addItem(2, QStringLiteral("退出"), QString());
        const int id = menu.pop(0, 0);
        if (id == 1) {
            hideHelper.show();
        } else if (id == 2) {
            onCloseWin();
        }
        break;
    }
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::Trigger:
        hideHelper.show();
        break;
    default:
        break;
    }
}

void QQDialog::timeFunction()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QColor black(0, 0, 0, 255);
    dateLabel->setText(now.toString(QStringLiteral("yyyy-MM-dd")), black);
    // The weekday in the person's language ("周三", "Wed").
    timeLabel->setText(QLocale::system().toString(now, QStringLiteral("ddd hh:mm:ss")), black);
}

void QQDialog::onSkinChange(QSkinButton* pBtn)
{
    const int n = pBtn ? pBtn->getId() : 1;
    BaseWindow::setBg(QStringLiteral("skins\\main_bg\\%1\\main_bg_bottom.png").arg(n));
    BaseWindow::setBg2(QStringLiteral("skins\\main_bg\\%1\\main_bg_top").arg(n));
}
