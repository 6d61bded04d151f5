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
/// fallback theme. Call once after the application object exists.
void setupIconTheme();

/// What a dropped file becomes: the display name (extension cut, a launcher's localised Name), the path to
/// store (symbolic links resolved to their targets; a launcher stays the launcher file) and whether it is a
/// desktop launcher.
struct DroppedFile
{
    bool ok = false;  ///< false: not a local file that exists
    QString name;     ///< display name
    QString path;     ///< absolute path to store
    bool launcher = false;
};
DroppedFile describeDroppedFile(const QString& localPath);

/// True for a desktop launcher (.desktop file with Type=Application).
bool isLauncher(const QString& path);
/// The localised Name of a launcher (empty when it is none).
QString launcherName(const QString& path);

/// Icon of a file as a file manager shows it: its type's icon from the icon theme, a launcher's own Icon, a
/// folder icon for folders. Cached by what decides the icon (type, launcher icon name).
QIcon fileIcon(const QString& path);

/// Opens a file item: a launcher starts its application, anything else opens with its default application.
bool openFile(const QString& path);
/// Opens a web address in the default browser; false when the address is malformed or nothing opens it.
/// An empty address, one that does not parse strictly (QUrl::StrictMode) and a file address naming no existing
/// file are failures; an address typed without a scheme ("www.example.com") opens as the browser would take it
/// (http://www.example.com).
bool openUrl(const QUrl& url);

/// Tests replace what opening does (no browser or application is started): the handler gets the file path
/// (openFile) or the address after the checks above, with its scheme (openUrl), and returns the result. An
/// empty handler restores the real behaviour.
void setOpenHandler(std::function<bool(const QString& target)> handler);

/// Starts the first installed desktop calculator / text editor; false when none is found.
bool startCalculator();
bool startTextEditor();

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
} // namespace Platform
