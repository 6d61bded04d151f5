#include "startupnotice.h"

#include <QDir>
#include <QMessageBox>

namespace
{
void show(QMessageBox::Icon icon, const QString& title, const QString& text)
{
    // One OK button and no default button, as a plain information box has.
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

void tellStderr(const QString& text)
{
    qWarning("%s", qUtf8Printable(text));
}
} // namespace

namespace StartupNotice
{
void alreadyRunning()
{
    show(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("程序已运行,请勿重复开启!"));
}

void startBlocked(const QString& path, const QString& reason)
{
    const QString text = QStringLiteral("程序无法启动：启动锁 %1 无法使用（%2）。\n请删除它后再启动程序。")
                             .arg(QDir::toNativeSeparators(path), reason);
    tellStderr(text);
    show(QMessageBox::Critical, QStringLiteral("错误"), text);
}

void runsUnguarded(const QString& path, const QString& reason)
{
    const QString text = QStringLiteral("无法建立单实例锁 %1（%2）。\n程序照常运行，但不能阻止再次启动的副本同时运行。")
                             .arg(QDir::toNativeSeparators(path), reason);
    tellStderr(text);
    show(QMessageBox::Warning, QStringLiteral("错误"), text);
}
} // namespace StartupNotice
