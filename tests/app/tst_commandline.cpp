#include "brisko-config.h"
#include "commandline.h"

#include <QProcess>
#include <QTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const QStringList& args, Action action, const char* error = "") {
            QTest::newRow(name) << (QStringList { QStringLiteral("/usr/bin/brisko") } + args) << action
                                << QString::fromUtf8(error);
        };
        row("nothing", {}, Action::Run);
        row("toggle", { "--toggle" }, Action::Toggle);
        row("show", { "--show" }, Action::Show);
        row("toggle twice", { "--toggle", "--toggle" }, Action::Toggle);
        row("toggle and show", { "--toggle", "--show" }, Action::Error, "--toggle and --show cannot be given together");
        row("help", { "--help" }, Action::Help);
        row("help short", { "-h" }, Action::Help);
        row("version", { "--version" }, Action::Version);
        row("version short", { "-v" }, Action::Version);
        row("help wins over toggle", { "--toggle", "--help" }, Action::Help);
        row("help wins over version", { "--version", "--help" }, Action::Help);
        row("unknown option", { "--bogus" }, Action::Error, "unknown option '--bogus'");
        row("unknown short option", { "-x" }, Action::Error, "unknown option '-x'");
        row("mistyped toggle", { "--toogle" }, Action::Error, "unknown option '--toogle'");
        row("single-dash toggle", { "-toggle" }, Action::Error, "unknown option '-toggle'");
        row("stray argument", { "file.txt" }, Action::Error, "unexpected argument 'file.txt'");
        row("lone dash", { "-" }, Action::Error, "unexpected argument '-'");
        row("unknown beside help", { "--help", "--bogus" }, Action::Error, "unknown option '--bogus'");
        // Qt's own options pass, with their values (whatever these look like).
        row("platform", { "-platform", "xcb" }, Action::Run);
        row("platform with two dashes", { "--platform", "offscreen", "--toggle" }, Action::Toggle);
        row("platform value like an option", { "-platform", "--bogus" }, Action::Run);
        row("platform without value", { "-platform" }, Action::Run);
        row("style", { "-style", "fusion" }, Action::Run);
        row("style inline", { "-style=fusion", "--show" }, Action::Show);
        row("stylesheet inline", { "--stylesheet=a.qss" }, Action::Run);
        row("display and name", { "-display", ":1", "-name", "x" }, Action::Run);
        row("flags", { "-reverse", "--nograb", "-widgetcount" }, Action::Run);
        row("window options", { "-qwindowgeometry", "10x10", "-qwindowtitle", "t", "-geometry", "5x5" }, Action::Run);
        row("inline value of an option without one", { "-reverse=1" }, Action::Error, "unknown option '-reverse=1'");
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Action, action);
        QFETCH(QString, error);
        const CommandLine line = CommandLine::parse(arguments);
        QCOMPARE(line.action, action);
        QCOMPARE(line.error, error);
    }

    void usageNamesTheProgramAndItsOptions()
    {
        const QString usage = CommandLine::usage(QStringLiteral("/opt/x/brisko"));
        QVERIFY(usage.startsWith(QLatin1String("Usage: brisko ")));
        for (const char* option : { "--toggle", "--show", "--help", "--version" }) {
            QVERIFY2(usage.contains(QLatin1String(option)), option);
        }
        QCOMPARE(CommandLine::version(), QStringLiteral("Brisko " BRISKO_VERSION "\n"));
    }

    // The real program: what it prints where, and its exit code, with no display at all.
    void executable_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString usage = CommandLine::usage(QStringLiteral("brisko"));
        QTest::newRow("--help") << QStringList { "--help" } << 0 << usage << QString();
        QTest::newRow("-h") << QStringList { "-h" } << 0 << usage << QString();
        QTest::newRow("--version") << QStringList { "--version" } << 0 << CommandLine::version() << QString();
        QTest::newRow("-v") << QStringList { "-v" } << 0 << CommandLine::version() << QString();
        QTest::newRow("--toggle --help") << QStringList { "--toggle", "--help" } << 0 << usage << QString();
        QTest::newRow("unknown option") << QStringList { "--bogus" } << 2 << QString()
                                        << QStringLiteral("brisko: unknown option '--bogus'\n\n") + usage;
        QTest::newRow("stray argument") << QStringList { "a.txt" } << 2 << QString()
                                        << QStringLiteral("brisko: unexpected argument 'a.txt'\n\n") + usage;
        QTest::newRow("both requests") << QStringList { "--show", "--toggle" } << 2 << QString()
                                       << QStringLiteral("brisko: --toggle and --show cannot be given together\n\n")
                + usage;
    }

    void executable()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess brisko;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" }) {
            env.remove(QLatin1String(name));
        }
        brisko.setProcessEnvironment(env);
        brisko.start(qEnvironmentVariable("BRISKO_RUNTIME_DIR") + QLatin1String("/brisko"), arguments);
        QVERIFY(brisko.waitForFinished(60000));
        QCOMPARE(brisko.exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromUtf8(brisko.readAllStandardOutput()), out);
        QCOMPARE(QString::fromUtf8(brisko.readAllStandardError()), err);
        QCOMPARE(brisko.exitCode(), exitCode);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
