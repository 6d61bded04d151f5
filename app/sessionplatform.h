#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

/// Which Qt platform Brisko asks for, decided before the application object exists.
namespace SessionPlatform
{
/// The platform to run on, or empty to leave the choice to Qt. Staying on top and placing its own window need
/// the semantics of X11, which a Wayland compositor does not give a native client: in a Wayland session
/// (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland) with XWayland at hand (DISPLAY set), Brisko runs on
/// xcb ("xcb;wayland": natively when the X display cannot be reached after all). A platform the person chose
/// (QT_QPA_PLATFORM, or a -platform argument) is kept, and a Wayland session without XWayland runs natively.
QString choose(const QProcessEnvironment& environment, const QStringList& arguments);
} // namespace SessionPlatform
