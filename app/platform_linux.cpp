#include "gio_linux.h"
#include "platform.h"
#include "regularfile_linux.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPixmap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Why an open failed, where the platform gives no reason of its own.
const char* const NoSuchFileReason = "文件不存在";
const char* const NoProgramReason = "找不到程序“%1”";
const char* const NoExecReason = "启动器没有指明要运行的程序";
const char* const BadLauncherReason = "启动器无法读取或格式无效";
const char* const NoApplicationReason = "没有可以打开此类文件(%1)的程序";
const char* const NoSchemeHandlerReason = "没有可以打开“%1:”网址的程序";
const char* const HandlerFailedReason = "打开程序报告失败";

// Launchers and icons are small; a bigger file is not one and is not read into memory.
constexpr qint64 MaxLauncherBytes = 1024 * 1024;
constexpr qint64 MaxIconBytes = 4 * 1024 * 1024;
// Enough of a file's start for the content rules of the MIME database.
constexpr qint64 SniffBytes = 16 * 1024;
// Icon images are decoded at most this large (the trees show them at 32 x 32); scalable ones at twice that.
constexpr int MaxIconSide = 256;
constexpr int ScalableIconSide = 64;

std::function<bool(const QString&)>& openHandler()
{
    static std::function<bool(const QString&)> handler;
    return handler;
}

Platform::OpenResult opened()
{
    return { Platform::OpenResult::Opened, QString() };
}

Platform::OpenResult failed(const QString& reason)
{
    return { Platform::OpenResult::Failed, reason };
}

/// What a test's open handler made of the target.
Platform::OpenResult handled(const QString& target)
{
    return openHandler()(target) ? opened() : failed(QString::fromUtf8(HandlerFailedReason));
}

/// What `use` makes of an open with GIO's functions (never null), or the open failed with the reason GIO could
/// not be loaded.
template <typename Use>
Platform::OpenResult withGio(Use use)
{
    QString noGio;
    const Gio::Functions* gio = Gio::functions(&noGio);
    return gio ? use(gio) : failed(noGio);
}

enum class FileKind
{
    Missing,
    Directory,
    Regular,
    Special ///< a FIFO, socket or device: never opened
};

/// What a path names, by stat() alone, which never blocks on a FIFO. Symbolic links are followed.
FileKind fileKind(const QString& path, struct stat* status = nullptr)
{
    struct stat st = {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return FileKind::Missing;
    }
    if (status) {
        *status = st;
    }
    if (S_ISDIR(st.st_mode)) {
        return FileKind::Directory;
    }
    return S_ISREG(st.st_mode) ? FileKind::Regular : FileKind::Special;
}

/// Reads a regular file: all of it when `whole` (and it is at most `maxBytes` long), else its first `maxBytes`.
/// The path is checked with stat() first, so a FIFO or a device is never opened; the file is opened without
/// blocking and checked again on the descriptor, so one swapped in between is not read either. `status` gets
/// the descriptor's stat.
bool readRegularFile(const QString& path, qint64 maxBytes, bool whole, QByteArray* data, struct stat* status = nullptr)
{
    if (fileKind(path) != FileKind::Regular) {
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (whole && st.st_size > maxBytes)) {
        ::close(fd);
        return false;
    }
    QByteArray buffer(static_cast<int>(std::min<qint64>(maxBytes, st.st_size)), '\0');
    qint64 total = 0;
    while (total < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + total, static_cast<size_t>(buffer.size() - total));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break; // the file shrank meanwhile
        }
        total += n;
    }
    ::close(fd);
    buffer.truncate(static_cast<int>(total));
    *data = buffer;
    if (status) {
        *status = st;
    }
    return true;
}

/// The keys of the [Desktop Entry] group of a desktop entry, read the way the desktop-entry format defines
/// them (no list splitting at commas, which an INI reader would do).
QHash<QString, QString> parseDesktopEntry(const QByteArray& content)
{
    QHash<QString, QString> keys;
    bool inGroup = false;
    bool seenGroup = false;
    for (const QByteArray& rawLine : content.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
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

/// Whether a file lies in an applications folder of the XDG data directories (subfolders count): the desktop
/// lists the launchers there and starts them without asking.
bool inApplicationsFolder(const QString& path)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    if (file.isEmpty()) {
        return false;
    }
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& folder : folders) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (!canonical.isEmpty() && file.startsWith(canonical + QLatin1Char('/'))) {
            return true;
        }
    }
    return false;
}

/// A desktop launcher read once: its bytes (what is started), its keys and whether the desktop trusts it.
struct Launcher
{
    QByteArray content;
    QHash<QString, QString> keys;
    bool trusted = false;
};

/// Reads `path` as a launcher (a regular .desktop file of sane size with Type=Application); false for anything
/// else. Trust follows the desktops: a launcher in an applications folder, or one that its owner, the person
/// or root, has made executable. The mode is the one of the descriptor the content was read through.
bool readLauncher(const QString& path, Launcher* launcher = nullptr)
{
    if (!path.endsWith(QLatin1String(".desktop"))) {
        return false;
    }
    QByteArray content;
    struct stat st = {};
    if (!readRegularFile(path, MaxLauncherBytes, true, &content, &st)) {
        return false;
    }
    QHash<QString, QString> keys = parseDesktopEntry(content);
    if (keys.value(QStringLiteral("Type")) != QLatin1String("Application")) {
        return false;
    }
    if (launcher) {
        const bool ownerRuns = (st.st_mode & S_IXUSR) != 0 && (st.st_uid == ::getuid() || st.st_uid == 0);
        launcher->trusted = ownerRuns || inApplicationsFolder(path);
        launcher->content = std::move(content);
        launcher->keys = std::move(keys);
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

QMimeDatabase& mimeDatabase()
{
    static QMimeDatabase database;
    return database;
}

/// The MIME type of a file without ever blocking on it: a name that matches one type decides; otherwise the
/// start of a regular file is read (without blocking) for the content rules. FIFOs, sockets and devices get
/// their inode types and are never opened.
QMimeType mimeTypeOf(const QString& path, FileKind kind, const struct stat& st)
{
    QMimeDatabase& db = mimeDatabase();
    switch (kind) {
    case FileKind::Directory:
        return db.mimeTypeForName(QStringLiteral("inode/directory"));
    case FileKind::Special:
        return db.mimeTypeForName(S_ISFIFO(st.st_mode)       ? QStringLiteral("inode/fifo")
                                      : S_ISSOCK(st.st_mode) ? QStringLiteral("inode/socket")
                                      : S_ISCHR(st.st_mode)  ? QStringLiteral("inode/chardevice")
                                      : S_ISBLK(st.st_mode)  ? QStringLiteral("inode/blockdevice")
                                                             : QStringLiteral("application/octet-stream"));
    case FileKind::Missing:
        return db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    case FileKind::Regular:
        break;
    }
    const QString name = QFileInfo(path).fileName();
    const QList<QMimeType> byName = db.mimeTypesForFileName(name);
    if (byName.size() == 1) {
        return byName.first();
    }
    QByteArray head;
    if (!readRegularFile(path, SniffBytes, false, &head)) {
        return db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    }
    return db.mimeTypeForFileNameAndData(name, head);
}

QIcon themeIcon(const QString& name)
{
    if (name.isEmpty() || !QIcon::hasThemeIcon(name)) {
        return QIcon();
    }
    return QIcon::fromTheme(name);
}

/// An icon image file named by a launcher, read only when it is a regular file of sane size, and decoded at
/// most MaxIconSide pixels large.
QIcon iconFromFile(const QString& path)
{
    QByteArray data;
    if (!readRegularFile(path, MaxIconBytes, true, &data)) {
        return QIcon();
    }
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    const QByteArray format = reader.format();
    if (format.startsWith("svg")) {
        reader.setScaledSize(size.isValid() ? size.scaled(ScalableIconSide, ScalableIconSide, Qt::KeepAspectRatio)
                                            : QSize(ScalableIconSide, ScalableIconSide));
    } else if (size.isValid() && (size.width() > MaxIconSide || size.height() > MaxIconSide)) {
        reader.setScaledSize(size.scaled(MaxIconSide, MaxIconSide, Qt::KeepAspectRatio));
    }
    const QImage image = reader.read();
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

QIcon launcherIcon(const QString& iconName)
{
    if (QDir::isAbsolutePath(iconName)) {
        return iconFromFile(iconName);
    }
    // A theme icon is named, never a path: "../../tmp/x" would lead the theme's loader to any file.
    if (iconName.contains(QLatin1Char('/'))) {
        return QIcon();
    }
    QIcon icon = themeIcon(iconName);
    if (icon.isNull()) {
        // Older launchers name their icon with a file extension.
        static const QStringList extensions
            = { QStringLiteral(".png"), QStringLiteral(".svg"), QStringLiteral(".xpm") };
        for (const QString& ext : extensions) {
            if (iconName.endsWith(ext)) {
                icon = themeIcon(iconName.chopped(ext.size()));
                break;
            }
        }
    }
    return icon;
}

/// The style's generic file or folder icon; nothing of the file itself is looked at.
QIcon genericIcon(bool folder)
{
    static QFileIconProvider provider;
    return provider.icon(folder ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
}

/// Runs in the started program's process just before it executes its program: programs start in the
/// person's home folder. Only chdir(), which is async-signal-safe as the child of a fork requires.
void enterFolder(gpointer folder)
{
    if (folder && ::chdir(static_cast<const char*>(folder)) != 0) {
        // A home folder that is gone leaves the program where it was: it still starts.
    }
}

/// Starts an application, with `uri` (if any) as its argument.
Platform::OpenResult launch(const Gio::Functions& gio, GAppInfo* app, const QByteArray& uri)
{
    GList* uris = nullptr;
    if (!uri.isEmpty()) {
        uris = g_list_append(uris, const_cast<char*>(uri.constData()));
    }
    GError* error = nullptr;
    gboolean started = FALSE;
    if (gio.isDesktopAppInfo(app)) {
        // GIO's launch context cannot name a working folder: the spawned process changes to the home folder
        // itself. A launcher's own Path= is its working folder, and GIO goes there first.
        auto* desktop = reinterpret_cast<GDesktopAppInfo*>(app);
        gchar* ownFolder = gio.g_desktop_app_info_get_string(desktop, "Path");
        const bool hasOwnFolder = ownFolder && *ownFolder;
        g_free(ownFolder);
        const QByteArray home = QFile::encodeName(QDir::homePath());
        started = gio.g_desktop_app_info_launch_uris_as_manager(desktop,
                                                                uris,
                                                                nullptr,
                                                                G_SPAWN_SEARCH_PATH,
                                                                enterFolder,
                                                                hasOwnFolder ? nullptr
                                                                             : const_cast<char*>(home.constData()),
                                                                nullptr,
                                                                nullptr,
                                                                &error);
    } else {
        started = gio.g_app_info_launch_uris(app, uris, nullptr, &error);
    }
    g_list_free(uris);
    if (started) {
        g_clear_error(&error);
        return opened();
    }
    const QString reason = error ? QString::fromUtf8(error->message) : QString::fromUtf8(BadLauncherReason);
    g_clear_error(&error);
    return failed(reason);
}

bool programExists(const QString& program)
{
    gchar* found = g_find_program_in_path(program.toUtf8().constData());
    g_free(found);
    return found != nullptr;
}

/// Starts a trusted launcher from the bytes that were checked. GIO silently refuses a launcher whose program
/// is missing, so that reason is found here first.
Platform::OpenResult startLauncher(const Launcher& launcher)
{
    const QString tryExec = launcher.keys.value(QStringLiteral("TryExec"));
    if (!tryExec.isEmpty() && !programExists(tryExec)) {
        return failed(QString::fromUtf8(NoProgramReason).arg(tryExec));
    }
    const QString exec = launcher.keys.value(QStringLiteral("Exec"));
    if (exec.isEmpty()) {
        return failed(QString::fromUtf8(NoExecReason));
    }
    gint argc = 0;
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(exec.toUtf8().constData(), &argc, &argv, nullptr) || argc < 1) {
        g_strfreev(argv);
        return failed(QString::fromUtf8(BadLauncherReason));
    }
    const QString program = QString::fromUtf8(argv[0]);
    g_strfreev(argv);
    if (!programExists(program)) {
        return failed(QString::fromUtf8(NoProgramReason).arg(program));
    }
    return withGio([&](const Gio::Functions* gio) {
        GKeyFile* keyFile = g_key_file_new();
        GDesktopAppInfo* app = nullptr;
        if (g_key_file_load_from_data(keyFile,
                                      launcher.content.constData(),
                                      static_cast<gsize>(launcher.content.size()),
                                      G_KEY_FILE_NONE,
                                      nullptr)) {
            app = gio->g_desktop_app_info_new_from_keyfile(keyFile);
        }
        g_key_file_unref(keyFile); // the application keeps its own reference
        if (!app) {
            return failed(QString::fromUtf8(BadLauncherReason));
        }
        const Platform::OpenResult result = launch(*gio, reinterpret_cast<GAppInfo*>(app), QByteArray());
        gio->g_object_unref(app);
        return result;
    });
}

/// Opens a file or folder with the desktop's default application for its type; the type is found without
/// blocking on the file (GIO would read it to guess).
Platform::OpenResult openWithDefaultApplication(const QString& path, FileKind kind, const struct stat& st)
{
    return withGio([&](const Gio::Functions* gio) {
        const QString type = mimeTypeOf(path, kind, st).name();
        GAppInfo* app = gio->g_app_info_get_default_for_type(type.toUtf8().constData(), FALSE);
        if (!app) {
            return failed(QString::fromUtf8(NoApplicationReason).arg(type));
        }
        gchar* uri = g_filename_to_uri(QFile::encodeName(path).constData(), nullptr, nullptr);
        const Platform::OpenResult result = launch(*gio, app, QByteArray(uri));
        g_free(uri);
        gio->g_object_unref(app);
        return result;
    });
}

/// Opens a local path: a trusted launcher starts, an untrusted one is refused, anything else opens with its
/// type's application. The test handler, when set, gets `handlerTarget` after those checks.
Platform::OpenResult openPath(const QString& path, const QString& handlerTarget)
{
    struct stat st = {};
    const FileKind kind = fileKind(path, &st);
    if (kind == FileKind::Missing) {
        return failed(QString::fromUtf8(NoSuchFileReason));
    }
    Launcher launcher;
    const bool isLauncher = kind == FileKind::Regular && readLauncher(path, &launcher);
    if (isLauncher && !launcher.trusted) {
        return { Platform::OpenResult::Untrusted, QString() };
    }
    if (openHandler()) {
        return handled(handlerTarget);
    }
    return isLauncher ? startLauncher(launcher) : openWithDefaultApplication(path, kind, st);
}

/// Whether typed text names its scheme for real: it has "://", or the part before its first ":" is a scheme
/// that is well known or that an application of the desktop handles. "localhost:8080" names a host and a port.
bool namesRealScheme(const QString& text)
{
    if (text.contains(QLatin1String("://"))) {
        return true;
    }
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return false;
    }
    const QString scheme = text.left(colon).toLower();
    const auto schemeChar = [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.');
    };
    if (scheme.at(0) < QLatin1Char('a') || scheme.at(0) > QLatin1Char('z')
        || !std::all_of(scheme.begin(), scheme.end(), schemeChar)) {
        return false;
    }
    static const QStringList known
        = { QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),  QStringLiteral("ftps"),
            QStringLiteral("sftp"), QStringLiteral("ssh"),   QStringLiteral("file"), QStringLiteral("mailto"),
            QStringLiteral("tel"),  QStringLiteral("sms"),   QStringLiteral("news"), QStringLiteral("irc"),
            QStringLiteral("smb"),  QStringLiteral("magnet") };
    if (known.contains(scheme)) {
        return true;
    }
    // Without GIO no application is known to handle it; opening the address then says that GIO is missing.
    const Gio::Functions* gio = Gio::functions(nullptr);
    GAppInfo* handler = gio ? gio->g_app_info_get_default_for_uri_scheme(scheme.toUtf8().constData()) : nullptr;
    if (handler) {
        gio->g_object_unref(handler);
        return true;
    }
    return false;
}

/// Starts the first of the candidate programs that is installed, in the home folder; false when none is (or
/// it cannot start).
Platform::OpenResult startFirstInstalled(const QStringList& candidates)
{
    Platform::OpenResult result;
    for (const QString& name : candidates) {
        const QString path = QStandardPaths::findExecutable(name);
        if (path.isEmpty()) {
            continue;
        }
        QProcess process;
        process.setProgram(path);
        process.setWorkingDirectory(QDir::homePath());
        if (process.startDetached()) {
            result.status = Platform::OpenResult::Opened;
        } else {
            result.status = Platform::OpenResult::Failed;
            result.reason = process.errorString();
        }
        return result;
    }
    result.status = Platform::OpenResult::NotInstalled;
    return result;
}
} // namespace

bool LinuxFiles::readSmallRegularFile(const QString& path, qint64 maxBytes, QByteArray* data)
{
    return readRegularFile(path, maxBytes, true, data);
}

namespace Platform
{
QString executablePath()
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
    return QFile::decodeName(buffer);
}

QString executableDir()
{
    const QString path = executablePath();
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.left(slash + 1);
}

qint64 currentUserId()
{
    return ::getuid();
}

qint64 localSocketOwner(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISSOCK(st.st_mode)) {
        return -1;
    }
    return st.st_uid;
}

qint64 localPeerUser(qintptr socketDescriptor)
{
    struct ucred credentials = {};
    socklen_t length = sizeof(credentials);
    if (socketDescriptor < 0
        || ::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0
        || length != sizeof(credentials)) {
        return -1;
    }
    return credentials.uid;
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
    QStringList standard = { QDir::homePath() + QLatin1String("/.icons") };
    standard += QStandardPaths::locateAll(
        QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory);
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
    for (const QString& theme : { QStringLiteral("breeze"), QStringLiteral("Adwaita"), QStringLiteral("hicolor") }) {
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
    return readLauncher(path);
}

bool isTrustedLauncher(const QString& path)
{
    Launcher launcher;
    return readLauncher(path, &launcher) && launcher.trusted;
}

QString launcherName(const QString& path)
{
    Launcher launcher;
    if (!readLauncher(path, &launcher)) {
        return QString();
    }
    return localisedValue(launcher.keys, QStringLiteral("Name"));
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
    if (target.isEmpty() || fileKind(target) == FileKind::Missing) {
        return result;
    }
    Launcher launcher;
    result.launcher = readLauncher(target, &launcher);
    result.trusted = result.launcher && launcher.trusted;
    result.ok = true;
    result.path = target;
    if (result.launcher && !result.trusted) {
        // Shown as file managers show a launcher they will not start: by its whole file name, so that
        // "invoice.pdf.desktop" does not pass for a document.
        result.name = ownName;
        return result;
    }
    // A trusted launcher is named as the desktop shows it (when it has a name).
    const QString name = result.launcher ? localisedValue(launcher.keys, QStringLiteral("Name")) : QString();
    result.name = name.isEmpty() ? withoutExtension(ownName) : name;
    return result;
}

DroppedFile describeDroppedUrl(const QUrl& url)
{
    if (!url.isLocalFile()) {
        return DroppedFile();
    }
    // File names are bytes here: one that is not UTF-8 would be stored as other text and never found again.
    const QByteArray raw = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(raw);
    if (decoder.hasError() || decoded.isEmpty()) {
        return DroppedFile();
    }
    return describeDroppedFile(url.toLocalFile());
}

QIcon fileIcon(const QString& path)
{
    // The icon theme is chosen on the first lookup, not at start-up: the window shows no file icon before its
    // groups are opened, and the choice reads the theme folders.
    static const bool themeChosen = (setupIconTheme(), true);
    Q_UNUSED(themeChosen);
    // Icons are cached by what decides them, so many files of a few types cost a few theme lookups.
    static QHash<QString, QIcon> cache;

    struct stat st = {};
    const FileKind kind = fileKind(path, &st);
    Launcher launcher;
    const bool isLauncher = kind == FileKind::Regular && readLauncher(path, &launcher);
    QString key;
    QString iconName;
    QString genericName;
    if (kind == FileKind::Directory) {
        key = QStringLiteral("folder");
        iconName = QStringLiteral("folder");
    } else if (kind == FileKind::Special) {
        key = QStringLiteral("special"); // a FIFO, socket or device: a generic icon, nothing is read
    } else if (isLauncher && launcher.trusted) {
        iconName = launcher.keys.value(QStringLiteral("Icon"));
        key = QLatin1String("launcher:") + iconName;
        genericName = QStringLiteral("application-x-executable");
    } else {
        // An untrusted launcher shows as what it is, a launcher file, whatever icon it names.
        const QMimeType type = isLauncher ? mimeDatabase().mimeTypeForName(QStringLiteral("application/x-desktop"))
                                          : mimeTypeOf(path, kind, st);
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
        icon = genericIcon(kind == FileKind::Directory);
    }
    cache.insert(key, icon);
    return icon;
}

OpenResult openFile(const QString& path)
{
    return openPath(path, path);
}

QUrl addressUrl(const QString& typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty()) {
        return QUrl();
    }
    const QUrl url = namesRealScheme(text) ? QUrl(text, QUrl::TolerantMode) : QUrl::fromUserInput(text);
    if (!url.isValid() || url.scheme().isEmpty()) {
        return QUrl();
    }
    // Checked in its encoded form: the displayed form decodes "%20" to a space, which a strict parse refuses.
    if (!QUrl(url.toString(QUrl::FullyEncoded), QUrl::StrictMode).isValid()) {
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
    if (url.isLocalFile()) {
        return openPath(url.toLocalFile(), url.toString());
    }
    if (openHandler()) {
        return handled(url.toString());
    }
    return withGio([&](const Gio::Functions* gio) {
        GAppInfo* app = gio->g_app_info_get_default_for_uri_scheme(url.scheme().toUtf8().constData());
        if (!app) {
            return failed(QString::fromUtf8(NoSchemeHandlerReason).arg(url.scheme()));
        }
        const OpenResult result = launch(*gio, app, url.toString(QUrl::FullyEncoded).toUtf8());
        gio->g_object_unref(app);
        return result;
    });
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
    return startFirstInstalled({ QStringLiteral("gnome-calculator"),
                                 QStringLiteral("kcalc"),
                                 QStringLiteral("galculator"),
                                 QStringLiteral("mate-calc"),
                                 QStringLiteral("qalculate-gtk"),
                                 QStringLiteral("xcalc") });
}

OpenResult startTextEditor()
{
    return startFirstInstalled({ QStringLiteral("gnome-text-editor"),
                                 QStringLiteral("gedit"),
                                 QStringLiteral("kate"),
                                 QStringLiteral("kwrite"),
                                 QStringLiteral("mousepad"),
                                 QStringLiteral("xed"),
                                 QStringLiteral("pluma"),
                                 QStringLiteral("featherpad") });
}

bool createDesktopShortcut(const QString& name, const QString& target)
{
    // The name becomes one file name on the desktop: an empty one, "." or "..", or one with a "/" would
    // name no file there or a file elsewhere.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String("..")
        || target.isEmpty()) {
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
