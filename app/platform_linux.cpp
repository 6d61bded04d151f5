#include "platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <unistd.h>

// GLib's headers use "signals" as a plain identifier, which Qt defines as a keyword macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#pragma pop_macro("signals")

namespace
{
std::function<bool(const QString&)>& openHandler()
{
    static std::function<bool(const QString&)> handler;
    return handler;
}

/// The keys of the [Desktop Entry] group of a desktop entry file, read the way the desktop-entry format
/// defines them (no list splitting at commas, which an INI reader would do).
QHash<QString, QString> readDesktopEntry(const QString& path)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return keys;
    }
    // Launchers are small; a huge file is not one (and is not read whole into memory).
    if (file.size() > 1024 * 1024) {
        return keys;
    }
    bool inGroup = false;
    bool seenGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('['))) {
            if (inGroup) {
                break; // only the first [Desktop Entry] group counts
            }
            inGroup = !seenGroup && line == QLatin1String("[Desktop Entry]");
            seenGroup = true;
            if (!inGroup) {
                break; // the format requires [Desktop Entry] to be the first group
            }
            continue;
        }
        if (!inGroup) {
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            continue;
        }
        const QString key = line.left(eq).trimmed();
        if (keys.contains(key)) {
            continue; // the first occurrence wins
        }
        const QString raw = line.mid(eq + 1).trimmed();
        QString value;
        value.reserve(raw.size());
        for (int i = 0; i < raw.size(); ++i) {
            const QChar c = raw.at(i);
            if (c != QLatin1Char('\\') || i + 1 == raw.size()) {
                value.append(c);
                continue;
            }
            const QChar next = raw.at(++i);
            switch (next.unicode()) {
            case 's':
                value.append(QLatin1Char(' '));
                break;
            case 'n':
                value.append(QLatin1Char('\n'));
                break;
            case 't':
                value.append(QLatin1Char('\t'));
                break;
            case 'r':
                value.append(QLatin1Char('\r'));
                break;
            case '\\':
                value.append(QLatin1Char('\\'));
                break;
            default: // \; and unknown escapes stay as they are (lists are not split here)
                value.append(QLatin1Char('\\'));
                value.append(next);
                break;
            }
        }
        keys.insert(key, value);
    }
    return keys;
}

bool isApplicationEntry(const QString& path, QHash<QString, QString>* keys = nullptr)
{
    if (!path.endsWith(QLatin1String(".desktop"))) {
        return false;
    }
    QFileInfo info(path);
    if (!info.isFile()) {
        return false;
    }
    QHash<QString, QString> entry = readDesktopEntry(path);
    if (entry.value(QStringLiteral("Type")) != QLatin1String("Application")) {
        return false;
    }
    if (keys) {
        *keys = std::move(entry);
    }
    return true;
}

/// The value of a localestring key for the current locale: Key[lang_COUNTRY@MODIFIER], Key[lang_COUNTRY],
/// Key[lang@MODIFIER], Key[lang], then Key. GLib derives that order from LANGUAGE, LC_ALL, LC_MESSAGES and LANG,
/// as the desktop does when it shows the launcher.
QString localisedValue(const QHash<QString, QString>& keys, const QString& key)
{
    for (const gchar* const* name = g_get_language_names(); *name; ++name) {
        const QString locale = QString::fromUtf8(*name);
        if (locale == QLatin1String("C")) {
            break;
        }
        if (locale.contains(QLatin1Char('.'))) {
            continue; // encodings are not part of desktop-entry locale keys
        }
        const auto it = keys.constFind(key + QLatin1Char('[') + locale + QLatin1Char(']'));
        if (it != keys.constEnd() && !it->isEmpty()) {
            return *it;
        }
    }
    return keys.value(key);
}

/// Follows a chain of symbolic links to its end; empty when it loops or is too long.
QString resolveLinks(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < 40; ++depth) {
        const QFileInfo info(current);
        if (!info.isSymLink()) {
            return current;
        }
        current = info.symLinkTarget();
    }
    return QString();
}

/// The display name of a dropped file: its name with the extension cut at the last "." when that stands after
/// the first character (a.tar.gz gives a.tar; .profile and README stay).
QString withoutExtension(const QString& fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

QIcon themeIcon(const QString& name)
{
    if (name.isEmpty() || !QIcon::hasThemeIcon(name)) {
        return QIcon();
    }
    return QIcon::fromTheme(name);
}

QIcon launcherIcon(const QString& iconName)
{
    if (QDir::isAbsolutePath(iconName)) {
        QIcon icon(iconName);
        if (!icon.availableSizes().isEmpty() || QFileInfo::exists(iconName)) {
            return icon;
        }
        return QIcon();
    }
    QIcon icon = themeIcon(iconName);
    if (icon.isNull()) {
        // Older launchers name their icon with a file extension.
        static const QStringList extensions = {
            QStringLiteral(".png"), QStringLiteral(".svg"), QStringLiteral(".xpm")};
        for (const QString& ext : extensions) {
            if (iconName.endsWith(ext)) {
                icon = themeIcon(iconName.chopped(ext.size()));
                break;
            }
        }
    }
    return icon;
}

QIcon providerIcon(const QFileInfo& info)
{
    static QFileIconProvider provider;
    return provider.icon(info);
}

/// Starts the first of the candidate programs that is installed; false when none is (or it cannot start).
bool startFirstInstalled(const QStringList& candidates)
{
    for (const QString& name : candidates) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            return QProcess::startDetached(path, {});
        }
    }
    return false;
}
} // namespace

namespace Platform
{
QString executableDir()
{
    // /proc/self/exe names the running executable; the buffer grows until the whole path fits.
    QByteArray buffer(1024, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), static_cast<size_t>(buffer.size()));
        if (length < 0) {
            return QString();
        }
        if (length < buffer.size()) {
            buffer.truncate(static_cast<int>(length));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    const QString path = QFile::decodeName(buffer);
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.left(slash + 1);
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
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor")) {
        return; // the desktop names its own theme
    }
    // Some platforms (offscreen, minimal) name no theme folders at all: add the desktop's usual ones.
    QStringList searchPaths = QIcon::themeSearchPaths();
    QStringList standard = {QDir::homePath() + QLatin1String("/.icons")};
    standard += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                          QStringLiteral("icons"),
                                          QStandardPaths::LocateDirectory);
    bool added = false;
    for (const QString& dir : standard) {
        if (!searchPaths.contains(dir) && QFileInfo(dir).isDir()) {
            searchPaths.append(dir);
            added = true;
        }
    }
    if (added) {
        QIcon::setThemeSearchPaths(searchPaths);
    }
    auto installed = [&searchPaths](const QString& theme) {
        for (const QString& dir : searchPaths) {
            if (QFileInfo::exists(dir + QLatin1Char('/') + theme + QLatin1String("/index.theme"))) {
                return true;
            }
        }
        return false;
    };
    QStringList available;
    for (const QString& theme : {QStringLiteral("breeze"), QStringLiteral("Adwaita"), QStringLiteral("hicolor")}) {
        if (installed(theme)) {
            available.append(theme);
        }
    }
    if (available.isEmpty()) {
        return;
    }
    QIcon::setThemeName(available.first());
    // Names the first theme lacks are looked up in the next one installed.
    QIcon::setFallbackThemeName(available.size() > 1 ? available.at(1) : available.first());
}

bool isLauncher(const QString& path)
{
    return isApplicationEntry(path);
}

QString launcherName(const QString& path)
{
    QHash<QString, QString> keys;
    if (!isApplicationEntry(path, &keys)) {
        return QString();
    }
    return localisedValue(keys, QStringLiteral("Name"));
}

DroppedFile describeDroppedFile(const QString& localPath)
{
    DroppedFile result;
    if (localPath.isEmpty()) {
        return result;
    }
    // cleanPath drops a trailing "/" that a dropped folder's address may carry, so the name is the folder's.
    const QFileInfo dropped(QDir::cleanPath(QFileInfo(localPath).absoluteFilePath()));
    const QString ownName = dropped.fileName().isEmpty() ? dropped.absoluteFilePath() : dropped.fileName();
    // A symbolic link keeps its own name and stores its final target.
    const QString target = resolveLinks(dropped.absoluteFilePath());
    if (target.isEmpty() || !QFileInfo::exists(target)) {
        return result;
    }
    // A launcher is named as the desktop shows it (when it has a name).
    QHash<QString, QString> keys;
    result.launcher = isApplicationEntry(target, &keys);
    const QString name = result.launcher ? localisedValue(keys, QStringLiteral("Name")) : QString();
    result.ok = true;
    result.name = name.isEmpty() ? withoutExtension(ownName) : name;
    result.path = target;
    return result;
}

QIcon fileIcon(const QString& path)
{
    // Icons are cached by what decides them, so many files of a few types cost a few theme lookups.
    static QHash<QString, QIcon> cache;
    static QMimeDatabase mimeDatabase;

    const QFileInfo info(path);
    QString key;
    QString iconName;
    QString genericName;
    QHash<QString, QString> keys;
    if (info.isDir()) {
        key = QStringLiteral("folder");
        iconName = QStringLiteral("folder");
    } else if (isApplicationEntry(path, &keys)) {
        iconName = keys.value(QStringLiteral("Icon"));
        key = QLatin1String("launcher:") + iconName;
        genericName = QStringLiteral("application-x-executable");
    } else {
        const QMimeType type = mimeDatabase.mimeTypeForFile(info);
        key = QLatin1String("mime:") + type.name();
        iconName = type.iconName();
        genericName = type.genericIconName();
    }
    const auto it = cache.constFind(key);
    if (it != cache.constEnd()) {
        return *it;
    }
    QIcon icon = key.startsWith(QLatin1String("launcher:")) ? launcherIcon(iconName) : themeIcon(iconName);
    if (icon.isNull()) {
        icon = themeIcon(genericName);
    }
    if (icon.isNull()) {
        icon = providerIcon(info);
    }
    cache.insert(key, icon);
    return icon;
}

bool openFile(const QString& path)
{
    if (openHandler()) {
        return openHandler()(path);
    }
    if (isLauncher(path)) {
        // A launcher starts its application; opening it as a document would show it in a text editor.
        GDesktopAppInfo* app = g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData());
        if (!app) {
            return false;
        }
        GError* error = nullptr;
        const bool started = g_app_info_launch(reinterpret_cast<GAppInfo*>(app), nullptr, nullptr, &error);
        if (error) {
            qWarning("Could not start %s: %s", qPrintable(path), error->message);
            g_error_free(error);
        }
        g_object_unref(app);
        return started;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool openUrl(const QUrl& url)
{
    // An empty address, or one that does not parse as an address at all, is reported as a failure instead of
    // being handed to the desktop, which would fail without telling anybody.
    if (url.isEmpty() || !url.isValid()) {
        return false;
    }
    // Checked in its encoded form: the displayed form decodes "%20" to a space, which a strict parse refuses.
    const QString text = url.toString(QUrl::FullyEncoded);
    const QUrl strict(text, QUrl::StrictMode);
    if (url.toString().trimmed().isEmpty() || !strict.isValid()) {
        return false;
    }
    QUrl target = strict;
    if (target.scheme().isEmpty()) {
        // "www.example.com" as typed: the desktop opens addresses only with a scheme.
        target = QUrl::fromUserInput(text);
        if (!target.isValid() || target.scheme().isEmpty()) {
            return false;
        }
    }
    if (target.isLocalFile() && !QFileInfo::exists(target.toLocalFile())) {
        return false;
    }
    if (openHandler()) {
        return openHandler()(target.toString());
    }
    return QDesktopServices::openUrl(target);
}

void setOpenHandler(std::function<bool(const QString& target)> handler)
{
    openHandler() = std::move(handler);
}

bool startCalculator()
{
    return startFirstInstalled({QStringLiteral("gnome-calculator"),
                                QStringLiteral("kcalc"),
                                QStringLiteral("galculator"),
                                QStringLiteral("mate-calc"),
                                QStringLiteral("qalculate-gtk"),
                                QStringLiteral("xcalc")});
}

bool startTextEditor()
{
    return startFirstInstalled({QStringLiteral("gnome-text-editor"),
                                QStringLiteral("gedit"),
                                QStringLiteral("kate"),
                                QStringLiteral("kwrite"),
                                QStringLiteral("mousepad"),
                                QStringLiteral("xed"),
                                QStringLiteral("pluma"),
                                QStringLiteral("featherpad")});
}

bool createDesktopShortcut(const QString& name, const QString& target)
{
    // The name becomes one file name on the desktop: an empty one, "." or "..", or one with a "/" would
    // name no file there or a file elsewhere.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".")
        || name == QLatin1String("..") || target.isEmpty()) {
        return false;
    }
    const QString desktop = desktopDir();
    if (desktop.isEmpty()) {
        return false;
    }
    // A fresh account often has no Desktop folder yet; it is made like any other missing user folder.
    if (!QDir().mkpath(desktop)) {
        return false;
    }
    const QString absoluteTarget = QFileInfo(target).absoluteFilePath();
    QString linkName = desktop + QLatin1Char('/') + name;
    if (isLauncher(absoluteTarget)) {
        linkName += QLatin1String(".desktop");
    }
    // QFile::link never replaces an existing file (or link) of that name.
    return QFile::link(absoluteTarget, linkName);
}
} // namespace Platform
