#include "platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <string>

#include <qt_windows.h>
#include <shellapi.h>

namespace
{
std::function<bool(const QString&)>& openHandler()
{
    static std::function<bool(const QString&)> handler;
    return handler;
}

QString withoutExtension(const QString& fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

bool shellOpen(const wchar_t* program)
{
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", program, nullptr, nullptr, SW_SHOW));
    return result > 32;
}
} // namespace

namespace Platform
{
QString executableDir()
{
    // Long paths need more than MAX_PATH characters: grow the buffer until the whole name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return QString();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const QString path = QString::fromStdWString(buffer);
    const int separator = qMax(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return separator < 0 ? path : path.left(separator + 1);
}

QString documentsDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString desktopDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

void setupIconTheme()
{
    // The shell provides file icons on Windows.
}

bool isLauncher(const QString&)
{
    return false; // .lnk shortcuts are resolved to their targets instead
}

QString launcherName(const QString&)
{
    return QString();
}

DroppedFile describeDroppedFile(const QString& localPath)
{
    DroppedFile result;
    if (localPath.isEmpty()) {
        return result;
    }
    const QFileInfo dropped(QDir::cleanPath(QFileInfo(localPath).absoluteFilePath()));
    QString target = dropped.absoluteFilePath();
    // Shortcuts (.lnk) and symbolic links both report as links; the target is what the item stores.
    if (dropped.isSymLink()) {
        target = dropped.symLinkTarget();
    }
    if (target.isEmpty() || !QFileInfo::exists(target)) {
        return result;
    }
    result.ok = true;
    result.name = withoutExtension(dropped.fileName().isEmpty() ? target : dropped.fileName());
    result.path = target;
    return result;
}

QIcon fileIcon(const QString& path)
{
    // The shell's icon depends on the file itself (programs carry their own), so cache by path.
    static QHash<QString, QIcon> cache;
    static QFileIconProvider provider;
    const auto it = cache.constFind(path);
    if (it != cache.constEnd()) {
        return *it;
    }
    const QIcon icon = provider.icon(QFileInfo(path));
    cache.insert(path, icon);
    return icon;
}

bool openFile(const QString& path)
{
    if (openHandler()) {
        return openHandler()(path);
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool openUrl(const QUrl& url)
{
    if (url.isEmpty() || !url.isValid()) {
        return false;
    }
    const QString text = url.toString();
    // Checked in its encoded form: the displayed form decodes "%20" to a space, which a strict parse refuses.
    if (text.trimmed().isEmpty() || !QUrl(url.toString(QUrl::FullyEncoded), QUrl::StrictMode).isValid()) {
        return false;
    }
    if (openHandler()) {
        return openHandler()(text);
    }
    // The shell opens "www.example.com" without a scheme itself.
    return QDesktopServices::openUrl(url);
}

void setOpenHandler(std::function<bool(const QString& target)> handler)
{
    openHandler() = std::move(handler);
}

bool startCalculator()
{
    return shellOpen(L"calc");
}

bool startTextEditor()
{
    return shellOpen(L"notepad");
}

bool createDesktopShortcut(const QString& name, const QString& target)
{
    if (name.isEmpty() || target.isEmpty()) {
        return false;
    }
    const QString desktop = desktopDir();
    if (desktop.isEmpty() || !QDir().mkpath(desktop)) {
        return false;
    }
    return QFile::link(target, desktop + QLatin1Char('/') + name + QLatin1String(".lnk"));
}
} // namespace Platform
