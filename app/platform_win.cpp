#include "platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>
#include <qt_windows.h>

#include <shellapi.h>
#include <string>

namespace
{
std::function<bool(const QString&)>& openHandler()
{
    static std::function<bool(const QString&)> handler;
    return handler;
}

Platform::OpenResult handled(const QString& target)
{
    return openHandler()(target)
        ? Platform::OpenResult { Platform::OpenResult::Opened, QString() }
        : Platform::OpenResult { Platform::OpenResult::Failed, QStringLiteral("打开程序报告失败") };
}

/// The shell's own reason for a failed open, or a plain one.
Platform::OpenResult shellResult(bool ok)
{
    if (ok) {
        return { Platform::OpenResult::Opened, QString() };
    }
    return { Platform::OpenResult::Failed, QStringLiteral("系统未能打开它") };
}

QString withoutExtension(const QString& fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

bool shellOpen(const wchar_t* program)
{
    // Started in the person's home folder, not in the program's installation folder.
    const std::wstring home = QDir::toNativeSeparators(QDir::homePath()).toStdWString();
    const auto result
        = reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", program, nullptr, home.c_str(), SW_SHOW));
    return result > 32;
}

/// Starts one of the programs that come with Windows (always installed).
Platform::OpenResult shellStart(const wchar_t* program)
{
    Platform::OpenResult result;
    if (shellOpen(program)) {
        result.status = Platform::OpenResult::Opened;
    } else {
        result.status = Platform::OpenResult::Failed;
        result.reason = QStringLiteral("系统无法启动该程序");
    }
    return result;
}
} // namespace

namespace Platform
{
QString executablePath()
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
    return QString::fromStdWString(buffer);
}

QString executableDir()
{
    const QString path = executablePath();
    const int separator = qMax(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return separator < 0 ? path : path.left(separator + 1);
}

qint64 currentUserId()
{
    return 0;
}

qint64 localSocketOwner(const QString&)
{
    // A named pipe is no file; the pipe is made with QLocalServer::UserAccessOption and admits only this user.
    return currentUserId();
}

qint64 localPeerUser(qintptr)
{
    return currentUserId();
}

namespace
{
const char* const RunKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const RunValue = "Brisko";
} // namespace

bool startsAtLogin()
{
    return QSettings(QLatin1String(RunKey), QSettings::NativeFormat).contains(QLatin1String(RunValue));
}

bool setStartsAtLogin(bool on, QString* reason)
{
    QSettings key(QLatin1String(RunKey), QSettings::NativeFormat);
    if (on) {
        key.setValue(QLatin1String(RunValue),
                     QStringLiteral("\"%1\" --show").arg(QDir::toNativeSeparators(executablePath())));
    } else {
        key.remove(QLatin1String(RunValue));
    }
    key.sync();
    if (key.status() != QSettings::NoError || startsAtLogin() != on) {
        if (reason) {
            *reason = QStringLiteral("无法修改注册表的启动项");
        }
        return false;
    }
    return true;
}

QString autostartEntryPath()
{
    return QStringLiteral("%1\\%2").arg(QLatin1String(RunKey), QLatin1String(RunValue));
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

bool isTrustedLauncher(const QString&)
{
    return false;
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

DroppedFile describeDroppedUrl(const QUrl& url)
{
    // Windows file names are UTF-16 text: every local file can be named.
    return url.isLocalFile() ? describeDroppedFile(url.toLocalFile()) : DroppedFile();
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

OpenResult openFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        return { OpenResult::Failed, QStringLiteral("文件不存在") };
    }
    if (openHandler()) {
        return handled(path);
    }
    return shellResult(QDesktopServices::openUrl(QUrl::fromLocalFile(path)));
}

QUrl addressUrl(const QString& typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty()) {
        return QUrl();
    }
    // A scheme is real when the text has "://" or names a well-known one; "localhost:8080" names a host.
    static const QStringList known
        = { QStringLiteral("http"),   QStringLiteral("https"), QStringLiteral("ftp"), QStringLiteral("file"),
            QStringLiteral("mailto"), QStringLiteral("tel"),   QStringLiteral("news") };
    const int colon = text.indexOf(QLatin1Char(':'));
    const bool realScheme
        = text.contains(QLatin1String("://")) || (colon > 0 && known.contains(text.left(colon).toLower()));
    const QUrl url = realScheme ? QUrl(text, QUrl::TolerantMode) : QUrl::fromUserInput(text);
    if (!url.isValid() || url.scheme().isEmpty()
        || !QUrl(url.toString(QUrl::FullyEncoded), QUrl::StrictMode).isValid()) {
        return QUrl();
    }
    return url;
}

OpenResult openAddress(const QString& typed)
{
    const QUrl url = addressUrl(typed);
    if (!url.isValid()) {
        return { OpenResult::Malformed, QString() };
    }
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
        return { OpenResult::Failed, QStringLiteral("文件不存在") };
    }
    if (openHandler()) {
        return handled(url.toString());
    }
    return shellResult(QDesktopServices::openUrl(url));
}

OpenResult openUrl(const QUrl& url)
{
    if (url.isEmpty() || !url.isValid()) {
        return { OpenResult::Malformed, QString() };
    }
    return openAddress(url.toString(QUrl::FullyEncoded));
}

void setOpenHandler(std::function<bool(const QString& target)> handler)
{
    openHandler() = std::move(handler);
}

OpenResult startCalculator()
{
    return shellStart(L"calc");
}

OpenResult startTextEditor()
{
    return shellStart(L"notepad");
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
