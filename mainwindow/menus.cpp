// The main window's small commands that do not touch the catalogue: tray, main menu, calculator and editor
// buttons, clock and skins.
#include "aboutdialog.h"
#include "platform.h"
#include "qqdialog.h"
#include "qskinbutton.h"
#include "qskinlabel.h"
#include "qskinmenu.h"
#include "qskinmessagebox.h"
#include "skinsettingdialog.h"
#include "updatedialog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

namespace
{
/// The main menu's entries.
enum MainMenuId
{
    MenuAbout = 1,
    MenuHelp = 2,
    MenuUpdate = 3,
    MenuStartAtLogin = 4,
};

/// The help page beside the executable (the working directory, like the Skins folder).
const char* const HelpPage = "help/index.html";
} // namespace

namespace
{
/// Tells the person once why a desktop program of the bottom row did not start: none installed (and what to
/// install), or the reason the one found could not start.
void reportStart(const Platform::OpenResult& result, const QString& notInstalled, const QString& cannotStart)
{
    if (result.status == Platform::OpenResult::NotInstalled) {
        QSkinMessageBox::showMessage(notInstalled, 0);
    } else if (!result) {
        QSkinMessageBox::showMessage(cannotStart.arg(result.reason), 0);
    }
}
} // namespace

void QQDialog::onBtnCal()
{
    reportStart(Platform::startCalculator(),
                QStringLiteral("未找到计算器程序\n请安装 gnome-calculator"),
                QStringLiteral("无法启动计算器程序:%1"));
}

void QQDialog::onBtnNote()
{
    reportStart(Platform::startTextEditor(),
                QStringLiteral("未找到文本编辑器\n请安装 gnome-text-editor"),
                QStringLiteral("无法启动文本编辑器:%1"));
}

void QQDialog::onBtnMenu()
{
    QSkinMenu menu(this);
    menu.addItem(MenuAbout, QStringLiteral("关于软件"), QString());
    menu.addItem(MenuHelp, QStringLiteral("使用帮助"), QString());
    menu.addItem(MenuUpdate, QStringLiteral("检查更新"), QString());
    // Read afresh each time: the entry may have been changed outside (a desktop's settings of start-up programs).
    menu.addItem(MenuStartAtLogin, QStringLiteral("开机启动"), QString());
    menu.setChecked(MenuStartAtLogin, Platform::startsAtLogin());
    // Asked for 50 pixels above the button's top-left corner; the menu keeps itself on the screen.
    const QPoint at = mapToGlobal(menuButton->geometry().topLeft());
    switch (menu.pop(at.x(), at.y() - 50)) {
    case MenuAbout:
        (new AboutDialog(nullptr))->show();
        break;
    case MenuHelp:
        openHelp();
        break;
    case MenuUpdate: {
        auto* dialog = new UpdateDialog(nullptr);
        dialog->show();
        dialog->check();
        break;
    }
    case MenuStartAtLogin:
        switchStartAtLogin();
        break;
    default:
        break;
    }
}

void QQDialog::openHelp()
{
    const QString page = QFileInfo(QString::fromLatin1(HelpPage)).absoluteFilePath();
    if (!Platform::openUrl(QUrl::fromLocalFile(page))) {
        qWarning("Could not open the help page %s", qPrintable(page));
        QSkinMessageBox::showMessage(QStringLiteral("无法打开使用帮助页面"), 0);
    }
}

void QQDialog::switchStartAtLogin()
{
    const bool on = !Platform::startsAtLogin();
    QString reason;
    if (!Platform::setStartsAtLogin(on, &reason)) {
        qWarning("Could not change the autostart entry %s: %s",
                 qUtf8Printable(Platform::autostartEntryPath()),
                 qUtf8Printable(reason));
        const QString text
            = on ? QStringLiteral("无法设置开机启动:%1\n文件: %2") : QStringLiteral("无法取消开机启动:%1\n文件: %2");
        QSkinMessageBox::showMessage(text.arg(reason, QDir::toNativeSeparators(Platform::autostartEntryPath())), 0);
    }
}

void QQDialog::showOnRequest()
{
    if (m_toolDropped && isMinimized()) {
        // Minimised to the task bar as an ordinary window (onMinWin): it becomes the tool window again while it is
        // still minimised, and is then shown once. Un-minimised first, it would change its type while the window
        // manager is still bringing it back, which can leave it minimised for good.
        setToolWindow(true);
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    hideHelper.show();
}

void QQDialog::toggleOnRequest()
{
    // Up: shown, not minimised, not slid out of sight at an edge.
    if (isVisible() && !isMinimized() && !hideHelper.isDocked()) {
        onMinWin();
    } else {
        showOnRequest();
    }
}

void QQDialog::onBtnSkin()
{
    auto* picker = new SkinSettingDialog(nullptr);
    picker->show();
    for (QSkinButton* button : { picker->btnSkin1, picker->btnSkin2, picker->btnSkin3, picker->btnSkin4 }) {
        connect(button, &QSkinButton::clickedex, this, &QQDialog::onSkinChange);
    }
}

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
