#include "desktopentry.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <glib.h>

namespace
{
/// What a desktop reads from an entry: the Exec line split into arguments as a launcher splits it, and TryExec.
struct Read
{
    bool ok = false;
    QStringList exec;
    QString tryExec;
    bool hidden = false;
};

Read readBack(const QByteArray& entry)
{
    Read read;
    GKeyFile* file = g_key_file_new();
    if (g_key_file_load_from_data(file, entry.constData(), gsize(entry.size()), G_KEY_FILE_NONE, nullptr)) {
        gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
        gchar* tryExec = g_key_file_get_string(file, "Desktop Entry", "TryExec", nullptr);
        gint argc = 0;
        gchar** argv = nullptr;
        if (exec && tryExec && g_shell_parse_argv(exec, &argc, &argv, nullptr)) {
            read.ok = true;
            for (gint i = 0; i < argc; ++i) {
                // The launcher's unescaping of field codes: %% is a percent sign.
                read.exec.append(QString::fromUtf8(argv[i]).replace(QLatin1String("%%"), QLatin1String("%")));
            }
            read.tryExec = QString::fromUtf8(tryExec);
            read.hidden = g_key_file_get_boolean(file, "Desktop Entry", "Hidden", nullptr) != FALSE;
        }
        g_strfreev(argv);
        g_free(exec);
        g_free(tryExec);
    }
    g_key_file_free(file);
    return read;
}
} // namespace

/// Brisko's autostart entry for programs at awkward paths: a desktop reads back exactly the program, and the
/// entry passes desktop-file-validate.
class TestDesktopEntry : public QObject
{
    Q_OBJECT

private slots:
    void entryStartsTheProgram_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("execLine"); // the Exec line as written, or empty to skip that comparison
        QTest::newRow("plain") << QStringLiteral("/usr/bin/brisko") << QStringLiteral("Exec=/usr/bin/brisko --show");
        QTest::newRow("space") << QStringLiteral("/home/li/my apps/brisko")
                               << QStringLiteral("Exec=\"/home/li/my apps/brisko\" --show");
        QTest::newRow("quote and dollar") << QStringLiteral("/opt/a\"b$HOME/brisko")
                                          << QStringLiteral("Exec=\"/opt/a\\\\\"b\\\\$HOME/brisko\" --show");
        QTest::newRow("backslash") << QStringLiteral("/opt/a\\b/brisko")
                                   << QStringLiteral("Exec=\"/opt/a\\\\\\\\b/brisko\" --show");
        QTest::newRow("backtick") << QStringLiteral("/opt/`x`/brisko") << QString();
        QTest::newRow("percent") << QStringLiteral("/opt/100%/brisko")
                                 << QStringLiteral("Exec=/opt/100%%/brisko --show");
        QTest::newRow("single quote and semicolon") << QStringLiteral("/opt/it's;here/brisko") << QString();
        QTest::newRow("Chinese folder") << QStringLiteral("/home/李/桌面 程序/brisko") << QString();
        QTest::newRow("leading space in a folder") << QStringLiteral("/opt/ x/brisko") << QString();
    }

    void entryStartsTheProgram()
    {
        QFETCH(QString, program);
        QFETCH(QString, execLine);
        for (const bool hidden : { false, true }) {
            const QByteArray entry = DesktopEntry::autostartEntry(program, hidden);
            if (!execLine.isEmpty()) {
                QVERIFY2(entry.split('\n').contains(execLine.toUtf8()), entry.constData());
            }
            const Read read = readBack(entry);
            QVERIFY2(read.ok, entry.constData());
            QCOMPARE(read.exec, (QStringList { program, QStringLiteral("--show") }));
            QCOMPARE(read.tryExec, program);
            QCOMPARE(read.hidden, hidden);
            validate(entry);
        }
    }

    void programOnThePathWhenItLeadsHere()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString real = dir.filePath(QStringLiteral("lib/brisko"));
        QVERIFY(TestUtil::writeFile(real, "#!/bin/sh\n"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
        const QString link = dir.filePath(QStringLiteral("bin/brisko"));
        QVERIFY(QFile::link(QStringLiteral("../lib/brisko"), link));
        const QString other = dir.filePath(QStringLiteral("other/brisko"));
        QVERIFY(TestUtil::writeFile(other, "#!/bin/sh\n"));
        // The installed link on the PATH is named, so the entry outlives an upgrade that moves the program.
        QCOMPARE(DesktopEntry::autostartProgram(real, link), link);
        // Another program of that name, or none: the running executable itself.
        QCOMPARE(DesktopEntry::autostartProgram(real, other), real);
        QCOMPARE(DesktopEntry::autostartProgram(real, QString()), real);
    }

private:
    static void validate(const QByteArray& entry)
    {
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty()) {
            return; // scripts/deps installs it; the reading back above still ran
        }
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("org.brisko.Brisko.desktop"));
        QVERIFY(TestUtil::writeFile(path, entry));
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(validator, { path });
        QVERIFY(check.waitForFinished(60000));
        QVERIFY2(check.exitCode() == 0 && check.readAll().trimmed().isEmpty(), entry.constData());
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntry)
#include "tst_desktopentry.moc"
