#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>

#include <functional>

/// The platform calls of Brisko, in one place. Linux: platform_linux.cpp; Windows: platform_win.cpp.
namespace Platform
{
/// Folder of the running executable, with a trailing separator. Safe to call before the application object
/// exists.
QString executableDir();

/// The user's Documents and Desktop folders (they may not exist yet).
QString documentsDir();
QString desktopDir();

/// Makes file icons available where the platform names no icon theme (plain X11, Xvfb): sets an installed
/// fallback theme. fileIcon() does it on its first call; calling it again changes nothing.
void setupIconTheme();

// Files a catalogue row or a launcher names are untrusted: they are read only when they are regular files of a
// sane size (a FIFO or a device is never opened, so nothing here can block on one), and a launcher is started
// only when the desktop would start it.

/// What a dropped file becomes: the display name, the path to store (symbolic links resolved to their
/// targets; a launcher stays the launcher file) and whether it is a desktop launcher. A trusted launcher is
/// named by its localised Name; an untrusted one by its whole file name, as file managers show it; any other
/// file by its name with the extension cut.
struct DroppedFile
{
    /// false: not a local file that exists (or one whose name cannot be stored as text)
    bool ok = false;
    /// display name
    QString name;
    /// absolute path to store
    QString path;
    bool launcher = false;
    /// for a launcher: whether the desktop would start it (see isTrustedLauncher)
    bool trusted = false;
};
DroppedFile describeDroppedFile(const QString& localPath);
/// The same for a dropped address: not ok for an address that is no local file, or whose file name is not
/// valid text (a name in another encoding than UTF-8 could not be stored and found again).
DroppedFile describeDroppedUrl(const QUrl& url);

/// True for a desktop launcher (.desktop file with Type=Application).
bool isLauncher(const QString& path);
/// True for a launcher the desktop would start: it lies in an applications folder of the XDG data
/// directories, or it is executable by its owner and owned by the person or by root. Anything else
/// (a launcher downloaded or unpacked somewhere) is shown by its file name and not started.
bool isTrustedLauncher(const QString& path);
/// The localised Name of a launcher (empty when it is none).
QString launcherName(const QString& path);

/// Icon of a file as a file manager shows it: its type's icon from the icon theme, a trusted launcher's own
/// Icon (an untrusted one gets the launcher file type's icon), a folder icon for folders, a generic icon for
/// FIFOs, sockets and devices. Cached by what decides the icon (type, launcher icon name).
QIcon fileIcon(const QString& path);

/// What opening came to.
struct OpenResult
{
    enum Status
    {
        Opened,
        /// an address that does not parse as one; nothing was tried
        Malformed,
        /// a launcher the desktop would not start (see isTrustedLauncher); nothing was started
        Untrusted,
        /// the platform could not open it; `reason` says why
        Failed,
        /// nothing that could open it is installed; nothing was tried
        NotInstalled
    };
    Status status = Failed;
    QString reason; ///< for Failed: why, in the platform's words; never empty
    explicit operator bool() const { return status == Opened; }
};

/// Opens a file item: a trusted launcher starts its application, anything else opens with the default
/// application of its type. Programs start in the person's home folder (a launcher's own Path= wins).
OpenResult openFile(const QString& path);
/// The address a person typed, read as they mean it: as it stands when it names a real scheme (it has "://",
/// or a scheme such as mailto: that is well known or that an application of the desktop handles); otherwise as
/// a browser's address bar reads it (QUrl::fromUserInput: "localhost:8080" is http://localhost:8080). Invalid
/// when the text is empty or malformed (it does not parse strictly).
QUrl addressUrl(const QString& typed);
/// Opens an address as typed (see addressUrl) with the desktop's application for its scheme; a file address
/// opens like openFile().
OpenResult openAddress(const QString& typed);
/// Opens an address given as a QUrl the same way (its encoded text read as typed).
OpenResult openUrl(const QUrl& url);

/// Tests replace what opening does (no browser or application is started): the handler gets the file path
/// (openFile) or the address after the checks above, with its scheme (openAddress, openUrl), and returns
/// whether it opened. An empty handler restores the real behaviour.
void setOpenHandler(std::function<bool(const QString& target)> handler);

/// Starts the first installed desktop calculator / text editor in the person's home folder. NotInstalled when
/// none is found; Failed, with the reason, when the one found cannot be started.
OpenResult startCalculator();
OpenResult startTextEditor();

/// Creates a desktop shortcut (a symbolic link; "<name>.desktop" for a launcher) named `name` pointing at
/// `target`. Never replaces an existing file; a missing Desktop folder is made first. False on failure,
/// including a name that is empty, "." or "..", or contains "/".
bool createDesktopShortcut(const QString& name, const QString& target);

/// Makes a request to end the process from outside run `handler` on the GUI thread, from the event loop, never
/// inside a signal handler: SIGTERM (what a session logout and `kill` send), SIGINT (Ctrl+C in a terminal) and
/// SIGHUP (the terminal went away) on Linux; Ctrl+C and Ctrl+Break in a console on Windows. A signal that was
/// ignored when the program started (`nohup`, a background job) stays ignored. Call once the application
/// object exists; a later call replaces the handler, and an empty handler gives the signals their default
/// action back. False when the requests cannot be caught: they then end the process as before.
bool onTerminationRequest(std::function<void()> handler);

// The running copy and its control channel (platform_linux.cpp)

/// The running executable, as an absolute path (empty when it cannot be told). Safe to call before the
/// application object exists.
QString executablePath();
/// This process's user id (Windows: 0; a pipe there admits only the user's own processes).
qint64 currentUserId();
/// The user id that owns the local socket at `path`; -1 when there is no socket there (nothing, or a file of
/// another kind). A symbolic link is not followed.
qint64 localSocketOwner(const QString& path);
/// The user id of the process at the other end of a connected local socket; -1 when it cannot be read.
qint64 localPeerUser(qintptr socketDescriptor);

// Starting at log-in (autostart_linux.cpp; Windows: the Run key of the registry)

/// Whether Brisko starts when the person logs in. On Linux: whether the freedesktop autostart entry
/// org.brisko.Brisko.desktop in effect (the person's own in $XDG_CONFIG_HOME/autostart, else the first one of
/// $XDG_CONFIG_DIRS/autostart) starts it: it exists and is readable, is not Hidden=true nor
/// X-GNOME-Autostart-enabled=false, is shown in this desktop (OnlyShowIn, NotShowIn) and its TryExec is found.
bool startsAtLogin();
/// Switches starting at log-in. On: writes the person's entry, which starts this executable. Off: removes the
/// person's entry, or, when an entry of the system would still start Brisko, makes the person's entry one that
/// hides it (Hidden=true). Nothing else is written. False, with `reason` in the platform's words, when the
/// entry cannot be written or removed; the entry is then as it was.
bool setStartsAtLogin(bool on, QString* reason);
/// The person's autostart entry (it may not exist).
QString autostartEntryPath();
} // namespace Platform
