#include "sessionplatform.h"

namespace SessionPlatform
{
QString choose(const QProcessEnvironment& environment, const QStringList& arguments)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty()) {
        return QString();
    }
    // The first argument is the program; Qt reads "-platform <name>" with one dash or two.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("-platform") || arguments.at(i) == QLatin1String("--platform")) {
            return QString();
        }
    }
    const bool wayland = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
        || environment.value(QStringLiteral("XDG_SESSION_TYPE")).compare(QLatin1String("wayland"), Qt::CaseInsensitive)
            == 0;
    const bool xwayland = !environment.value(QStringLiteral("DISPLAY")).isEmpty();
    // Should XWayland not answer after all, Qt goes on to the next platform of the list: natively.
    return wayland && xwayland ? QStringLiteral("xcb;wayland") : QString();
}
} // namespace SessionPlatform
