// The main menu's "开机启动": it shows whether Brisko starts at log-in, as the desktop's autostart entries say,
// and switches it by writing or removing the person's entry in $XDG_CONFIG_HOME/autostart, and nothing else.
#include "icondatabase.h"
#include "mainwindowfixture.h"
#include "qqdialog.h"
#include "qskinbutton.h"
#include "qskinmenu.h"
#include "qskinmessagebox.h"
#include "storetestutil.h"
#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace
{
const QString EntryText = QStringLiteral("开机启动");
const QString EntryName = QStringLiteral("org.brisko.Brisko.desktop");

/// An entry that starts this test's executable (it exists, so TryExec is met), with `extra` lines.
QByteArray entryStarting(const QByteArray& extra = QByteArray())
{
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    return "[Desktop Entry]\nType=Application\nName=Brisko\nExec=" + program + "\nTryExec=" + program + "\n" + extra;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

/// What the main menu showed of "开机启动".
struct MenuSeen
{
    bool opened = false;
    bool listed = false;
    bool checked = false;
};
} // namespace

class TestAutostart : public MainWindowFixture
{
    Q_OBJECT

private:
    QTemporaryDir m_system; // stands in for /etc/xdg
    std::unique_ptr<TestUtil::EnvGuard> m_configDirs;
    std::unique_ptr<TestUtil::EnvGuard> m_desktop;

    static QString folder() { return qEnvironmentVariable("XDG_CONFIG_HOME") + QLatin1String("/autostart"); }
    static QString entry() { return folder() + QLatin1Char('/') + EntryName; }
    QString systemEntry() const { return m_system.filePath(QLatin1String("autostart/") + EntryName); }

    /// Opens the main menu, reads the state its "开机启动" shows, and chooses that entry or dismisses the menu.
    static MenuSeen useMenu(QQDialog* w, bool choose)
    {
        MenuSeen seen;
        const TestUtil::Poll poll = TestUtil::answerPopup(
            [&seen, w, choose](QWidget* popup) {
                const QSkinMenu* menu = w->findChild<QSkinMenu*>();
                const int row = menu ? int(menu->texts().indexOf(EntryText)) : -1;
                seen.listed = row >= 0;
                seen.checked = seen.listed && menu->isChecked(menu->ids().at(row));
                if (!choose || row < 0) {
                    QTest::keyClick(popup, Qt::Key_Escape);
                    return;
                }
                for (int i = 0; i <= row; ++i) {
                    QTest::keyClick(popup, Qt::Key_Down);
                }
                QTest::keyClick(popup, Qt::Key_Return);
            },
            &seen.opened);
        QTest::mouseClick(w->findChild<QSkinButton*>(QStringLiteral("menuButton")), Qt::LeftButton);
        return seen;
    }

    /// True when the main menu opens, lists "开机启动" and shows it `checked` (or not).
    static bool shows(QQDialog* w, bool checked)
    {
        const MenuSeen seen = useMenu(w, false);
        return seen.opened && seen.listed && seen.checked == checked;
    }

    static void validate(const QString& path)
    {
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty()) {
            qInfo("desktop-file-validate is not installed (scripts/deps installs it): not validated");
            return;
        }
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(validator, { path });
        QVERIFY(check.waitForFinished(60000));
        const QByteArray said = check.readAll();
        QVERIFY2(check.exitCode() == 0 && said.trimmed().isEmpty(), said.constData());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_system.isValid());
        // Only this folder stands for the system's autostart folders, whatever the machine has in /etc/xdg.
        m_configDirs = std::make_unique<TestUtil::EnvGuard>("XDG_CONFIG_DIRS", QFile::encodeName(m_system.path()));
        m_desktop = std::make_unique<TestUtil::EnvGuard>("XDG_CURRENT_DESKTOP", "GNOME");
        openCatalogue();
    }

    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<QSkinMessageBox*>(w)) {
                delete w;
            }
        }
        QFile::remove(entry());
        QDir(folder()).removeRecursively();
        QFile::remove(folder());
        QDir(m_system.filePath(QStringLiteral("autostart"))).removeRecursively();
    }

    void cleanupTestCase()
    {
        m_desktop.reset();
        m_configDirs.reset();
    }

    void menuShowsTheState_data()
    {
        QTest::addColumn<QByteArray>("own"); // the person's entry; empty: none
        QTest::addColumn<QByteArray>("system"); // the system's entry; empty: none
        QTest::addColumn<bool>("checked");
        const QByteArray none;
        QTest::newRow("no entry") << none << none << false;
        QTest::newRow("own entry") << entryStarting() << none << true;
        QTest::newRow("own entry hidden") << entryStarting("Hidden=true\n") << none << false;
        QTest::newRow("switched off the GNOME way")
            << entryStarting("X-GNOME-Autostart-enabled=false\n") << none << false;
        QTest::newRow("only for another desktop") << entryStarting("OnlyShowIn=KDE;\n") << none << false;
        QTest::newRow("only for this desktop") << entryStarting("OnlyShowIn=KDE;GNOME;\n") << none << true;
        QTest::newRow("not for this desktop") << entryStarting("NotShowIn=GNOME;\n") << none << false;
        QTest::newRow("program gone") << QByteArray("[Desktop Entry]\nType=Application\nName=Brisko\n"
                                                    "Exec=/nonexistent/brisko\nTryExec=/nonexistent/brisko\n")
                                      << none << false;
        QTest::newRow("not an entry") << QByteArray("\x01\x02 garbage") << none << false;
        QTest::newRow("system entry") << none << entryStarting() << true;
        QTest::newRow("system entry hidden by the own") << entryStarting("Hidden=true\n") << entryStarting() << false;
        QTest::newRow("own entry over a hidden system entry")
            << entryStarting() << entryStarting("Hidden=true\n") << true;
        // Something in the entry's place that is no file: read without blocking, and it starts nothing.
        QTest::newRow("folder in its place") << QByteArray("folder") << none << false;
        QTest::newRow("FIFO in its place") << QByteArray("fifo") << none << false;
    }

    void menuShowsTheState()
    {
        QFETCH(QByteArray, own);
        QFETCH(QByteArray, system);
        QFETCH(bool, checked);
        if (own == "folder") {
            QVERIFY(QDir().mkpath(entry()));
        } else if (own == "fifo") {
            QVERIFY(QDir().mkpath(folder()));
            QCOMPARE(::mkfifo(QFile::encodeName(entry()).constData(), 0600), 0);
        } else if (!own.isEmpty()) {
            QVERIFY(TestUtil::writeFile(entry(), own));
        }
        if (!system.isEmpty()) {
            QVERIFY(TestUtil::writeFile(systemEntry(), system));
        }
        const QStringList before = filesIn(folder());
        auto w = makeWindow();
        QVERIFY(shows(w.get(), checked));
        // Looking writes nothing.
        QCOMPARE(filesIn(folder()), before);
    }

    void switchingWritesAndRemovesTheEntry()
    {
        auto w = makeWindow();
        const TestUtil::Poll boxes = TestUtil::answerEachModal([](QWidget* box) { box->close(); });
        QVERIFY(shows(w.get(), false));

        QVERIFY(useMenu(w.get(), true).opened);
        QCOMPARE(filesIn(folder()), QStringList { EntryName });
        const QByteArray written = TestUtil::readFile(entry());
        QVERIFY2(written.split('\n').contains("Exec=" + QFile::encodeName(QCoreApplication::applicationFilePath())
                                              + " --show"),
                 written.constData());
        QVERIFY(shows(w.get(), true));

        QVERIFY(useMenu(w.get(), true).opened);
        QCOMPARE(filesIn(folder()), QStringList());
        QVERIFY(shows(w.get(), false));
        QCOMPARE(boxes.answered(), 0);

        // What was written passes the desktop's validator.
        QTemporaryDir copy;
        QVERIFY(copy.isValid());
        QVERIFY(TestUtil::writeFile(copy.filePath(EntryName), written));
        validate(copy.filePath(EntryName));
    }

    void switchingOffHidesAnEntryOfTheSystem()
    {
        QVERIFY(TestUtil::writeFile(systemEntry(), entryStarting()));
        const QByteArray systemBefore = TestUtil::readFile(systemEntry());
        auto w = makeWindow();
        const TestUtil::Poll boxes = TestUtil::answerEachModal([](QWidget* box) { box->close(); });
        QVERIFY(shows(w.get(), true));

        // Off: the person's entry of the same name hides the system's, which stays as it is.
        QVERIFY(useMenu(w.get(), true).opened);
        QVERIFY(shows(w.get(), false));
        QCOMPARE(filesIn(folder()), QStringList { EntryName });
        QVERIFY(TestUtil::readFile(entry()).split('\n').contains("Hidden=true"));
        validate(entry());
        QCOMPARE(TestUtil::readFile(systemEntry()), systemBefore);

        // On again.
        QVERIFY(useMenu(w.get(), true).opened);
        QVERIFY(shows(w.get(), true));
        QVERIFY(!TestUtil::readFile(entry()).split('\n').contains("Hidden=true"));
        QCOMPARE(boxes.answered(), 0);
    }

    void failureIsReported_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<bool>("wasOn");
        QTest::addColumn<QString>("said");
        const QString on = QStringLiteral("无法设置开机启动");
        const QString off = QStringLiteral("无法取消开机启动");
        QTest::newRow("read-only folder, switching on") << QStringLiteral("read-only folder") << false << on;
        QTest::newRow("read-only folder, switching off") << QStringLiteral("read-only folder") << true << off;
        QTest::newRow("a file where the folder goes") << QStringLiteral("file as folder") << false << on;
    }

    void failureIsReported()
    {
        QFETCH(QString, place);
        QFETCH(bool, wasOn);
        QFETCH(QString, said);
        if (place == QLatin1String("file as folder")) {
            QVERIFY(TestUtil::writeFile(folder(), "not a folder"));
        } else {
            QVERIFY(QDir().mkpath(folder()));
        }
        if (wasOn) {
            QVERIFY(TestUtil::writeFile(entry(), entryStarting()));
        }
        std::unique_ptr<StoreTest::Unwritable> readOnly;
        if (place == QLatin1String("read-only folder")) {
            readOnly = std::make_unique<StoreTest::Unwritable>(folder());
            if (!readOnly->done()) {
                QSKIP("this file system or account cannot make a folder read-only");
            }
        }
        const StoreTest::FileState before = StoreTest::FileState::of(entry());
        const QByteArray folderBefore = TestUtil::readFile(folder());

        auto w = makeWindow();
        QStringList texts;
        const TestUtil::Poll boxes = TestUtil::answerEachModal([&texts](QWidget* box) {
            texts.append(box->findChild<QLabel*>(QStringLiteral("label"))->text());
            box->findChild<QPushButton*>(QStringLiteral("btnNormal"))->click();
        });
        QVERIFY(useMenu(w.get(), true).opened);
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.at(0).startsWith(said), qPrintable(texts.at(0)));
        QVERIFY2(texts.at(0).contains(entry()), qPrintable(texts.at(0)));
        QVERIFY(qobject_cast<QSkinMessageBox*>(QApplication::activeModalWidget()) == nullptr);

        // Nothing half-done: the folder holds what it held, the entry is as it was, and the menu says so.
        readOnly.reset();
        QCOMPARE(StoreTest::FileState::of(entry()).bytes, before.bytes);
        QCOMPARE(StoreTest::FileState::of(entry()).folder, before.folder);
        QCOMPARE(TestUtil::readFile(folder()), folderBefore);
        QVERIFY(shows(w.get(), wasOn));
        QCOMPARE(texts.size(), 1);
    }
};

QTEST_MAIN(TestAutostart)
#include "tst_autostart.moc"
