#include "sessionplatform.h"

#include <QTest>

namespace
{
// Run through XWayland, and natively should the X display not answer.
const QString XWayland = QStringLiteral("xcb;wayland");
} // namespace

/// Which platform Brisko asks Qt for, from the session's environment and the command line.
class TestSessionPlatform : public QObject
{
    Q_OBJECT

private slots:
    void platformChoice_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("platform");
        const QStringList none;
        QTest::newRow("X11 session") << QStringList { "DISPLAY=:0", "XDG_SESSION_TYPE=x11" } << none << QString();
        QTest::newRow("no session at all") << none << none << QString();
        QTest::newRow("Wayland with XWayland")
            << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "XDG_SESSION_TYPE=wayland" } << none
            << XWayland;
        QTest::newRow("Wayland display only, with XWayland")
            << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:1" } << none << XWayland;
        QTest::newRow("Wayland session type only, with XWayland")
            << QStringList { "XDG_SESSION_TYPE=wayland", "DISPLAY=:1" } << none << XWayland;
        QTest::newRow("session type in capitals")
            << QStringList { "XDG_SESSION_TYPE=Wayland", "DISPLAY=:1" } << none << XWayland;
        QTest::newRow("Wayland without XWayland")
            << QStringList { "WAYLAND_DISPLAY=wayland-0", "XDG_SESSION_TYPE=wayland" } << none << QString();
        QTest::newRow("Wayland, empty DISPLAY")
            << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=" } << none << QString();
        QTest::newRow("person chose wayland")
            << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM=wayland" } << none
            << QString();
        QTest::newRow("person chose a list")
            << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM=wayland;xcb" } << none
            << QString();
        QTest::newRow("empty QT_QPA_PLATFORM is no choice")
            << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM=" } << none << XWayland;
        QTest::newRow("-platform argument") << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0" }
                                            << QStringList { "-platform", "wayland" } << QString();
        QTest::newRow("--platform argument") << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0" }
                                             << QStringList { "--toggle", "--platform", "wayland" } << QString();
        QTest::newRow("other arguments") << QStringList { "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0" }
                                         << QStringList { "--toggle", "-style", "fusion" } << XWayland;
    }

    void platformChoice()
    {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, arguments);
        QFETCH(QString, platform);
        QProcessEnvironment env;
        for (const QString& pair : std::as_const(environment)) {
            env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
        }
        QCOMPARE(SessionPlatform::choose(env, QStringList { QStringLiteral("brisko") } + arguments), platform);
    }
};

QTEST_GUILESS_MAIN(TestSessionPlatform)
#include "tst_sessionplatform.moc"
