// Starting at log-in on Linux desktops: the freedesktop autostart entry org.brisko.Brisko.desktop.
#include "brisko-config.h"
#include "desktopentry.h"
#include "platform.h"
#include "regularfile_linux.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardPaths>

#include <glib.h>
#include <sys/stat.h>

namespace
{
const char* const EntryGroup = "Desktop Entry";
// Why the entry could not be changed, where the platform gives no reason of its own.
const char* const FolderReason = "无法创建文件夹 %1";
const char* const NotValidNameReason = "程序所在的路径无法写入启动项";
const char* const NoEffectReason = "写入后启动项仍未生效";

QString entryName()
{
    return QStringLiteral(BRISKO_APP_ID ".desktop");
}

/// The person's autostart folder: $XDG_CONFIG_HOME/autostart (~/.config/autostart).
QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1String("/autostart");
}

/// The system's autostart folders, most important first: $XDG_CONFIG_DIRS (/etc/xdg) /autostart.
QStringList systemFolders()
{
    QStringList folders;
    QStringList dirs = qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dirs.isEmpty()) {
        dirs.append(QStringLiteral("/etc/xdg"));
    }
    for (const QString& dir : std::as_const(dirs)) {
        if (QDir::isAbsolutePath(dir)) {
            folders.append(dir + QLatin1String("/autostart"));
        }
    }
    return folders;
}

enum class Entry
{
    Absent,
    Starts,
    DoesNotStart,
};

/// True when the desktop named in XDG_CURRENT_DESKTOP is one of the list's.
bool currentDesktopIn(gchar** list)
{
    const QStringList current = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (gchar** name = list; name && *name; ++name) {
        if (current.contains(QString::fromUtf8(*name))) {
            return true;
        }
    }
    return false;
}

/// Whether the entry at `path` starts its program at log-in, as a session reads it.
Entry readEntry(const QString& path)
{
    // A file of any kind in its place counts (a broken link, a folder): it takes the name's place.
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return Entry::Absent;
    }
    // Only a regular file of sane size is read, without ever blocking (a FIFO in its place would).
    QByteArray content;
    if (!LinuxFiles::readSmallRegularFile(path, 1024 * 1024, &content)) {
        return Entry::DoesNotStart;
    }
    GKeyFile* file = g_key_file_new();
    const auto drop = qScopeGuard([file] { g_key_file_free(file); });
    if (!g_key_file_load_from_data(file, content.constData(), gsize(content.size()), G_KEY_FILE_NONE, nullptr)
        || !g_key_file_has_group(file, EntryGroup)) {
        return Entry::DoesNotStart;
    }
    const auto flag = [file](const char* key, bool fallback) {
        GError* error = nullptr;
        const gboolean value = g_key_file_get_boolean(file, EntryGroup, key, &error);
        if (error) {
            g_error_free(error);
            return fallback;
        }
        return value != FALSE;
    };
    if (flag("Hidden", false) || !flag("X-GNOME-Autostart-enabled", true)) {
        return Entry::DoesNotStart;
    }
    const auto list
        = [file](const char* key) { return g_key_file_get_string_list(file, EntryGroup, key, nullptr, nullptr); };
    if (gchar** only = list("OnlyShowIn")) {
        const bool shown = currentDesktopIn(only);
        g_strfreev(only);
        if (!shown) {
            return Entry::DoesNotStart;
        }
    }
    if (gchar** notIn = list("NotShowIn")) {
        const bool hidden = currentDesktopIn(notIn);
        g_strfreev(notIn);
        if (hidden) {
            return Entry::DoesNotStart;
        }
    }
    const auto text = [file](const char* key) {
        gchar* value = g_key_file_get_string(file, EntryGroup, key, nullptr);
        const QString out = value ? QString::fromUtf8(value) : QString();
        g_free(value);
        return out;
    };
    if (text("Exec").trimmed().isEmpty()) {
        return Entry::DoesNotStart;
    }
    const QString tryExec = text("TryExec");
    if (!tryExec.isEmpty()) {
        const QString found = QDir::isAbsolutePath(tryExec) ? tryExec : QStandardPaths::findExecutable(tryExec);
        const QFileInfo program(found);
        if (found.isEmpty() || !program.isFile() || !program.isExecutable()) {
            return Entry::DoesNotStart;
        }
    }
    return Entry::Starts;
}

/// Whether an entry of the system would start Brisko were the person's own entry absent.
bool systemEntryStarts()
{
    for (const QString& folder : systemFolders()) {
        const Entry entry = readEntry(folder + QLatin1Char('/') + entryName());
        if (entry != Entry::Absent) {
            return entry == Entry::Starts;
        }
    }
    return false;
}

bool fail(QString* reason, const QString& text)
{
    if (reason) {
        *reason = text;
    }
    return false;
}

/// Writes the person's entry whole or not at all.
bool writeEntry(bool hidden, QString* reason)
{
    const QString program = DesktopEntry::autostartProgram(Platform::executablePath(),
                                                           QStandardPaths::findExecutable(QStringLiteral("brisko")));
    // A path whose bytes are no valid text cannot be named in an entry (entries are UTF-8).
    if (program.isEmpty() || QFile::decodeName(QFile::encodeName(program)) != program
        || program.contains(QChar::ReplacementCharacter)) {
        return fail(reason, QString::fromUtf8(NotValidNameReason));
    }
    const QString folder = userFolder();
    if (!QDir().mkpath(folder)) {
        return fail(reason, QString::fromUtf8(FolderReason).arg(QDir::toNativeSeparators(folder)));
    }
    QSaveFile file(Platform::autostartEntryPath());
    const QByteArray text = DesktopEntry::autostartEntry(program, hidden);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        return fail(reason, file.errorString());
    }
    return true;
}
} // namespace

namespace Platform
{
QString autostartEntryPath()
{
    return userFolder() + QLatin1Char('/') + entryName();
}

bool startsAtLogin()
{
    const Entry own = readEntry(autostartEntryPath());
    return own == Entry::Absent ? systemEntryStarts() : own == Entry::Starts;
}

bool setStartsAtLogin(bool on, QString* reason)
{
    const QString path = autostartEntryPath();
    if (on) {
        if (!writeEntry(false, reason)) {
            return false;
        }
    } else if (systemEntryStarts()) {
        if (!writeEntry(true, reason)) {
            return false;
        }
    } else if (readEntry(path) != Entry::Absent) {
        QFile file(path);
        if (!file.remove()) {
            return fail(reason, file.errorString());
        }
    }
    if (startsAtLogin() != on) {
        return fail(reason, QString::fromUtf8(NoEffectReason));
    }
    return true;
}
} // namespace Platform
