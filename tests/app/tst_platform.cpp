#include "fifosentinel.h"
#include "platform.h"
#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace
{
QByteArray launcher(const QByteArray& extra, const QByteArray& type = "Application")
{
    return "[Desktop Entry]\nType=" + type + "\n" + extra;
}

constexpr QFile::Permissions Plain = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions OwnerRuns = Plain | QFile::ExeOwner;
} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void executableDir();
    void describeDroppedFile_data();
    void describeDroppedFile();
    void launcherNameFollowsLocale_data();
    void launcherNameFollowsLocale();
    void isLauncher_data();
    void isLauncher();
    void launcherTrust_data();
    void launcherTrust();
    void trustIsCheckedWhenOpening();
    void fifoIsNeverOpened_data();
    void fifoIsNeverOpened();
    void droppedNameMustBeText_data();
    void droppedNameMustBeText();
    void fileIconsDifferByType();
    void fileIconOfLauncher_data();
    void fileIconOfLauncher();
    void addressAsMeant_data();
    void addressAsMeant();
    void openerFailureHasReason();
    void openUrlReadsTheAddress();
    void filesGoToTheHandler();
    void openLauncherStartsItsProgram();
    void programsStartInHome_data();
    void programsStartInHome();
    void failuresHaveReasons_data();
    void failuresHaveReasons();
    void startsFirstInstalledProgram();
    void noProgramInstalled();
    void desktopShortcut();
    void desktopShortcutForLauncher();
    void desktopShortcutRefusesBadNames_data();
    void desktopShortcutRefusesBadNames();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void write(const QString& name, const QByteArray& content) { QVERIFY(TestUtil::writeFile(path(name), content)); }
    void writeLauncher(const QString& name, const QByteArray& extra, QFile::Permissions mode = OwnerRuns)
    {
        write(name, launcher(extra));
        QVERIFY(QFile::setPermissions(path(name), mode));
    }
    void link(const QString& target, const QString& name) { QVERIFY(QFile::link(target, path(name))); }
    static bool hermetic();

    QTemporaryDir m_dir;
};

bool TestPlatform::hermetic()
{
    const QString root = qEnvironmentVariable("BRISKO_TEST_ROOT");
    return !root.isEmpty() && QDir::homePath().startsWith(root);
}

void TestPlatform::initTestCase()
{
    QVERIFY(m_dir.isValid());
    write(QStringLiteral("a.tar.gz"), "archive");
    write(QStringLiteral(".profile"), "profile");
    write(QStringLiteral("README"), "readme");
    write(QStringLiteral("notes.txt"), "notes");
    write(QStringLiteral("picture.png"), "png");
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
    link(path(QStringLiteral("notes.txt")), QStringLiteral("Notes Link.txt"));
    link(QStringLiteral("notes.txt"), QStringLiteral("relative.lnk")); // relative target
    link(path(QStringLiteral("a.tar.gz")), QStringLiteral("chain2"));
    link(path(QStringLiteral("chain2")), QStringLiteral("Chain.lnk"));
    link(path(QStringLiteral("missing")), QStringLiteral("dangling"));
    link(path(QStringLiteral("loop1")), QStringLiteral("loop2"));
    link(path(QStringLiteral("loop2")), QStringLiteral("loop1"));
    link(path(QStringLiteral("folder")), QStringLiteral("Folder Link"));

    // Launchers made executable by their owner are trusted, as the desktops trust them.
    writeLauncher(QStringLiteral("editor.desktop"),
                  "Name=Editor\nName[zh_CN]=编辑器\nName[zh]=文本编辑器\nName[de]=Bearbeiter\n"
                  "Exec=sh -c \"echo a,b\"\nIcon=accessories-text-editor\n");
    link(path(QStringLiteral("editor.desktop")), QStringLiteral("My Editor.desktop"));
    writeLauncher(QStringLiteral("comma.desktop"), "Name=Cut, Copy\\s and Paste\nExec=true a,b\n");
    write(QStringLiteral("site.desktop"), launcher("Name=Site\nURL=http://example.com\n", "Link"));
    writeLauncher(QStringLiteral("noname.desktop"), "Exec=true\n");
    write(QStringLiteral("other-group.desktop"),
          "[Desktop Entry]\nName=First\nType=Application\nExec=true\n[Desktop Action x]\nName=Second\nType=Link\n");
    QVERIFY(QFile::setPermissions(path(QStringLiteral("other-group.desktop")), OwnerRuns));
    write(QStringLiteral("notes.desktop.txt"), launcher("Name=NotALauncher\n"));

    // A launcher as a download leaves it: not executable, dressed up as a document.
    writeLauncher(QStringLiteral("invoice.pdf.desktop"),
                  "Name=invoice.pdf\nIcon=application-pdf\nExec=sh -c \"echo owned\"\n",
                  Plain);
    link(path(QStringLiteral("invoice.pdf.desktop")), QStringLiteral("Invoice Link.desktop"));
    // Executable for the group and others, but not for its owner.
    writeLauncher(
        QStringLiteral("others.desktop"), "Name=Others\nExec=true\n", Plain | QFile::ExeGroup | QFile::ExeOther);
    // Launchers in the applications folders of the XDG data directories are trusted whatever their mode.
    const QString systemData = path(QStringLiteral("system-share"));
    const QString userData = path(QStringLiteral("user-share"));
    writeLauncher(QStringLiteral("system-share/applications/listed.desktop"), "Name=Listed\nExec=true\n", Plain);
    writeLauncher(QStringLiteral("system-share/applications/sub/deep.desktop"), "Name=Deep\nExec=true\n", Plain);
    writeLauncher(QStringLiteral("user-share/applications/mine.desktop"), "Name=Mine\nExec=true\n", Plain);
    writeLauncher(QStringLiteral("system-share/not-applications/beside.desktop"), "Name=Beside\nExec=true\n", Plain);
    // Set before anything reads them (GLib keeps the first values); the usual folders stay after ours, so
    // icon themes are still found.
    const QByteArray systemDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS",
            QFile::encodeName(systemData) + ':'
                + (systemDirs.isEmpty() ? QByteArray("/usr/local/share:/usr/share") : systemDirs));
    qputenv("XDG_DATA_HOME", QFile::encodeName(userData));

    // Stand-ins for the person's applications: each writes the folder it started in and its arguments to a
    // marker file named after it. The user's defaults (mimeapps.list) choose them.
    for (const char* name : { "viewer", "browser", "handler" }) {
        const QString script = path(QStringLiteral("bin/%1").arg(QLatin1String(name)));
        // Written whole, then put in place: a marker that exists is complete.
        const QByteArray marker = path(QStringLiteral("marker-%1").arg(QLatin1String(name))).toUtf8();
        write(QStringLiteral("bin/%1").arg(QLatin1String(name)),
              "#!/bin/sh\n{ pwd -P; printf '%s\\n' \"$@\"; } > '" + marker + ".part' && mv '" + marker + ".part' '"
                  + marker + "'\n");
        QVERIFY(QFile::setPermissions(script, OwnerRuns));
    }
    writeLauncher(QStringLiteral("user-share/applications/brisko-viewer.desktop"),
                  "Name=Viewer\nExec=" + path(QStringLiteral("bin/viewer")).toUtf8() + " %f\nMimeType=text/plain;\n",
                  Plain);
    writeLauncher(QStringLiteral("user-share/applications/brisko-browser.desktop"),
                  "Name=Browser\nExec=" + path(QStringLiteral("bin/browser")).toUtf8()
                      + " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n",
                  Plain);
    writeLauncher(QStringLiteral("user-share/applications/brisko-handler.desktop"),
                  "Name=Handler\nExec=" + path(QStringLiteral("bin/handler")).toUtf8()
                      + " %u\nMimeType=x-scheme-handler/brisko-test;\n",
                  Plain);
    write(QStringLiteral("config/mimeapps.list"),
          "[Default Applications]\ntext/plain=brisko-viewer.desktop\nx-scheme-handler/http=brisko-browser.desktop\n"
          "x-scheme-handler/https=brisko-browser.desktop\nx-scheme-handler/brisko-test=brisko-handler.desktop\n");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
}

void TestPlatform::cleanup()
{
    Platform::setOpenHandler({});
}

void TestPlatform::executableDir()
{
    const QString dir = Platform::executableDir();
    QVERIFY(dir.endsWith(QLatin1Char('/')));
    QCOMPARE(dir, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}

void TestPlatform::describeDroppedFile_data()
{
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("isLauncher");
    QTest::addColumn<bool>("trusted");

    QTest::newRow("last extension cut") << "a.tar.gz" << true << "a.tar"
                                        << "a.tar.gz" << false << false;
    QTest::newRow("leading dot stays") << ".profile" << true << ".profile"
                                       << ".profile" << false << false;
    QTest::newRow("no dot stays") << "README" << true << "README"
                                  << "README" << false << false;
    QTest::newRow("folder") << "folder" << true << "folder"
                            << "folder" << false << false;
    QTest::newRow("folder with slash") << "folder/" << true << "folder"
                                       << "folder" << false << false;
    QTest::newRow("link keeps own name") << "Notes Link.txt" << true << "Notes Link"
                                         << "notes.txt" << false << false;
    QTest::newRow("relative link") << "relative.lnk" << true << "relative"
                                   << "notes.txt" << false << false;
    QTest::newRow("link chain to the end") << "Chain.lnk" << true << "Chain"
                                           << "a.tar.gz" << false << false;
    QTest::newRow("link to folder") << "Folder Link" << true << "Folder Link"
                                    << "folder" << false << false;
    QTest::newRow("dangling link") << "dangling" << false << ""
                                   << "" << false << false;
    QTest::newRow("link loop") << "loop1" << false << ""
                               << "" << false << false;
    QTest::newRow("missing file") << "nothing.txt" << false << ""
                                  << "" << false << false;
    QTest::newRow("launcher") << "editor.desktop" << true << "Editor"
                              << "editor.desktop" << true << true;
    QTest::newRow("launcher link") << "My Editor.desktop" << true << "Editor"
                                   << "editor.desktop" << true << true;
    QTest::newRow("commas and escapes") << "comma.desktop" << true << "Cut, Copy  and Paste"
                                        << "comma.desktop" << true << true;
    QTest::newRow("link entry is a file") << "site.desktop" << true << "site"
                                          << "site.desktop" << false << false;
    QTest::newRow("launcher without name") << "noname.desktop" << true << "noname"
                                           << "noname.desktop" << true << true;
    QTest::newRow("first group only") << "other-group.desktop" << true << "First"
                                      << "other-group.desktop" << true << true;
    QTest::newRow("not a .desktop name") << "notes.desktop.txt" << true << "notes.desktop"
                                         << "notes.desktop.txt" << false << false;
    // Untrusted launchers are shown by their whole file name, never by the Name they claim.
    QTest::newRow("untrusted launcher") << "invoice.pdf.desktop" << true << "invoice.pdf.desktop"
                                        << "invoice.pdf.desktop" << true << false;
    QTest::newRow("link to an untrusted launcher") << "Invoice Link.desktop" << true << "Invoice Link.desktop"
                                                   << "invoice.pdf.desktop" << true << false;
    QTest::newRow("run by others only") << "others.desktop" << true << "others.desktop"
                                        << "others.desktop" << true << false;
    QTest::newRow("in an applications folder") << "system-share/applications/listed.desktop" << true << "Listed"
                                               << "system-share/applications/listed.desktop" << true << true;
    QTest::newRow("in a subfolder of one") << "system-share/applications/sub/deep.desktop" << true << "Deep"
                                           << "system-share/applications/sub/deep.desktop" << true << true;
    QTest::newRow("in the user's applications folder") << "user-share/applications/mine.desktop" << true << "Mine"
                                                       << "user-share/applications/mine.desktop" << true << true;
    QTest::newRow("beside an applications folder")
        << "system-share/not-applications/beside.desktop" << true << "beside.desktop"
        << "system-share/not-applications/beside.desktop" << true << false;
}

void TestPlatform::describeDroppedFile()
{
    QFETCH(QString, dropped);
    QFETCH(bool, ok);
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QFETCH(bool, isLauncher);
    QFETCH(bool, trusted);
    const TestUtil::EnvGuard language("LANGUAGE", "");
    const TestUtil::EnvGuard all("LC_ALL", "C.UTF-8");

    const Platform::DroppedFile file = Platform::describeDroppedFile(path(dropped));
    QCOMPARE(file.ok, ok);
    if (!ok) {
        return;
    }
    QCOMPARE(file.name, name);
    QCOMPARE(file.path, path(stored));
    QCOMPARE(file.launcher, isLauncher);
    QCOMPARE(file.trusted, trusted);
    // Dropped as an address, the same file gives the same.
    const Platform::DroppedFile asUrl = Platform::describeDroppedUrl(QUrl::fromLocalFile(path(dropped)));
    QVERIFY(asUrl.ok);
    QCOMPARE(asUrl.name, name);
    QCOMPARE(asUrl.path, path(stored));
}

void TestPlatform::launcherNameFollowsLocale_data()
{
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("name");

    QTest::newRow("LANG C") << QByteArray() << QByteArray("C.UTF-8") << QStringLiteral("Editor");
    QTest::newRow("LANG zh_CN") << QByteArray() << QByteArray("zh_CN.UTF-8") << QStringLiteral("编辑器");
    QTest::newRow("LC_ALL wins over LANG")
        << QByteArray("C.UTF-8") << QByteArray("zh_CN.UTF-8") << QStringLiteral("Editor");
    QTest::newRow("LC_ALL zh_CN") << QByteArray("zh_CN.UTF-8") << QByteArray("C.UTF-8") << QStringLiteral("编辑器");
    QTest::newRow("zh_TW falls back to zh")
        << QByteArray() << QByteArray("zh_TW.UTF-8") << QStringLiteral("文本编辑器");
    QTest::newRow("de_AT falls back to de")
        << QByteArray() << QByteArray("de_AT.UTF-8") << QStringLiteral("Bearbeiter");
    QTest::newRow("fr has none") << QByteArray() << QByteArray("fr_FR.UTF-8") << QStringLiteral("Editor");
}

void TestPlatform::launcherNameFollowsLocale()
{
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lang);
    QFETCH(QString, name);
    // An empty variable counts as unset.
    const TestUtil::EnvGuard language("LANGUAGE", "");
    const TestUtil::EnvGuard messages("LC_MESSAGES", "");
    const TestUtil::EnvGuard all("LC_ALL", lcAll);
    const TestUtil::EnvGuard langGuard("LANG", lang);

    QCOMPARE(Platform::launcherName(path(QStringLiteral("editor.desktop"))), name);
    const Platform::DroppedFile file = Platform::describeDroppedFile(path(QStringLiteral("My Editor.desktop")));
    QVERIFY(file.ok);
    QCOMPARE(file.name, name);
    QCOMPARE(file.path, path(QStringLiteral("editor.desktop")));
    QVERIFY(file.launcher);
}

void TestPlatform::isLauncher_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("launcher");
    QTest::newRow("application") << "editor.desktop" << true;
    QTest::newRow("application link") << "My Editor.desktop" << true;
    QTest::newRow("link entry") << "site.desktop" << false;
    QTest::newRow("text file") << "notes.txt" << false;
    QTest::newRow("missing") << "gone.desktop" << false;
    QTest::newRow("folder") << "folder" << false;
}

void TestPlatform::isLauncher()
{
    QFETCH(QString, file);
    QFETCH(bool, launcher);
    QCOMPARE(Platform::isLauncher(path(file)), launcher);
}

void TestPlatform::launcherTrust_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("trusted");
    QTest::newRow("owner runs it") << "editor.desktop" << true;
    QTest::newRow("link to one the owner runs") << "My Editor.desktop" << true;
    QTest::newRow("downloaded") << "invoice.pdf.desktop" << false;
    QTest::newRow("run by others only") << "others.desktop" << false;
    QTest::newRow("in an applications folder") << "system-share/applications/listed.desktop" << true;
    QTest::newRow("in the user's applications folder") << "user-share/applications/mine.desktop" << true;
    QTest::newRow("beside an applications folder") << "system-share/not-applications/beside.desktop" << false;
    QTest::newRow("no launcher") << "notes.txt" << false;
}

void TestPlatform::launcherTrust()
{
    QFETCH(QString, file);
    QFETCH(bool, trusted);
    QCOMPARE(Platform::isTrustedLauncher(path(file)), trusted);
}

void TestPlatform::trustIsCheckedWhenOpening()
{
    // Dropped while untrusted, the launcher may be trusted later (the person makes it executable), or the
    // other way round: opening asks each time.
    writeLauncher(QStringLiteral("later.desktop"), "Name=Later\nExec=true\n", Plain);
    const QString later = path(QStringLiteral("later.desktop"));
    QStringList calls;
    Platform::setOpenHandler([&](const QString& target) {
        calls.append(target);
        return true;
    });
    const Platform::OpenResult refused = Platform::openFile(later);
    QCOMPARE(refused.status, Platform::OpenResult::Untrusted);
    QVERIFY(calls.isEmpty());
    // Nor does a file address get round it.
    QCOMPARE(Platform::openAddress(QUrl::fromLocalFile(later).toString()).status, Platform::OpenResult::Untrusted);
    QVERIFY(calls.isEmpty());

    QVERIFY(QFile::setPermissions(later, OwnerRuns));
    QCOMPARE(Platform::openFile(later).status, Platform::OpenResult::Opened);
    QCOMPARE(calls, QStringList { later });

    QVERIFY(QFile::setPermissions(later, Plain));
    QCOMPARE(Platform::openFile(later).status, Platform::OpenResult::Untrusted);
    QCOMPARE(calls.size(), 1);
}

void TestPlatform::fifoIsNeverOpened_data()
{
    // The FIFO, and the file that names it (the FIFO itself, a link to it, or a launcher whose Icon is it).
    QTest::addColumn<QString>("fifo");
    QTest::addColumn<QString>("subject");
    QTest::newRow("unknown extension") << "pipe.brisko-unknown"
                                       << "pipe.brisko-unknown";
    QTest::newRow("named like a launcher") << "pipe.desktop"
                                           << "pipe.desktop";
    QTest::newRow("named like a picture") << "pipe.png"
                                          << "pipe.png";
    QTest::newRow("link to it") << "linked-pipe"
                                << "Pipe Link.desktop";
    QTest::newRow("a launcher's icon") << "icon-pipe.png"
                                       << "piped-icon.desktop";
}

void TestPlatform::fifoIsNeverOpened()
{
    QFETCH(QString, fifo);
    QFETCH(QString, subject);
    QStringList calls;
    Platform::setOpenHandler([&](const QString& target) {
        calls.append(target);
        return true;
    });
    // Opening a FIFO for reading waits for a writer: the sentinel is that writer and counts every reader.
    const TestUtil::FifoSentinel sentinel(path(fifo));
    QVERIFY(sentinel.isValid());
    if (subject.startsWith(QLatin1String("Pipe Link"))) {
        link(path(fifo), subject);
    } else if (subject != fifo) {
        writeLauncher(subject, "Name=Piped\nExec=true\nIcon=" + path(fifo).toUtf8() + "\n");
    }
    const QString named = path(subject);

    QVERIFY(!Platform::fileIcon(named).isNull());
    QVERIFY(!Platform::fileIcon(named).pixmap(32, 32).isNull());
    const Platform::DroppedFile dropped = Platform::describeDroppedFile(named);
    QVERIFY(dropped.ok);
    Platform::isLauncher(named);
    Platform::isTrustedLauncher(named);
    Platform::launcherName(named);
    QVERIFY(Platform::openFile(named));
    QCOMPARE(calls, QStringList { named });

    QCOMPARE(sentinel.readers(), 0);
}

void TestPlatform::droppedNameMustBeText_data()
{
    QTest::addColumn<QByteArray>("encodedName");
    QTest::addColumn<bool>("ok");
    QTest::newRow("UTF-8") << QByteArray("%E6%8A%A5%E5%91%8A.txt") << true;
    QTest::newRow("Latin-1 byte") << QByteArray("caf%E9.txt") << false;
    QTest::newRow("cut UTF-8 sequence") << QByteArray("%E6%8A.txt") << false;
}

void TestPlatform::droppedNameMustBeText()
{
    QFETCH(QByteArray, encodedName);
    QFETCH(bool, ok);
    // The file exists under its byte name, and so does the name it would be taken for when read as UTF-8
    // (the bytes that are not UTF-8 replaced by U+FFFD): only the name's encoding decides, and the other file
    // is never taken instead.
    const QByteArray name = QByteArray::fromPercentEncoding(encodedName);
    const QString asText = QString::fromUtf8(name);
    const QByteArray full = QFile::encodeName(m_dir.path()) + '/' + name;
    const int fd = ::open(full.constData(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    write(asText, "look-alike");
    const QUrl url(QStringLiteral("file://") + m_dir.path() + QLatin1Char('/') + QString::fromLatin1(encodedName));
    const Platform::DroppedFile dropped = Platform::describeDroppedUrl(url);
    QCOMPARE(dropped.ok, ok);
    if (ok) {
        QCOMPARE(QFile::encodeName(dropped.path), full);
    }
    ::unlink(full.constData());
    QFile::remove(path(asText));
}

void TestPlatform::fileIconsDifferByType()
{
    Platform::setupIconTheme();
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QSKIP("no icon theme with file-type icons is installed");
    }
    const QIcon folder = Platform::fileIcon(path(QStringLiteral("folder")));
    const QIcon text = Platform::fileIcon(path(QStringLiteral("notes.txt")));
    const QIcon picture = Platform::fileIcon(path(QStringLiteral("picture.png")));
    for (const QIcon& icon : { folder, text, picture }) {
        QVERIFY(!icon.isNull());
        QVERIFY(!icon.pixmap(32, 32).isNull());
    }
    const QImage a = folder.pixmap(32, 32).toImage();
    const QImage b = text.pixmap(32, 32).toImage();
    const QImage c = picture.pixmap(32, 32).toImage();
    QVERIFY(a != b);
    QVERIFY(b != c);
    QVERIFY(a != c);

    // Files of one type share the cached icon; a file that does not exist gets its type's icon by name.
    write(QStringLiteral("more.txt"), "more");
    QCOMPARE(Platform::fileIcon(path(QStringLiteral("more.txt"))).cacheKey(), text.cacheKey());
    QCOMPARE(Platform::fileIcon(path(QStringLiteral("gone.txt"))).cacheKey(), text.cacheKey());
}

void TestPlatform::fileIconOfLauncher_data()
{
    QTest::addColumn<QByteArray>("iconFile");
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<bool>("red");
    QTest::newRow("image path") << QByteArray("red.png") << true << true;
    QTest::newRow("untrusted: the launcher type's icon") << QByteArray("red.png") << false << false;
    QTest::newRow("image file too big to be an icon") << QByteArray("huge.png") << true << false;
    QTest::newRow("no usable icon") << QByteArray("no-such-icon-anywhere") << true << false;
}

void TestPlatform::fileIconOfLauncher()
{
    QFETCH(QByteArray, iconFile);
    QFETCH(bool, trusted);
    QFETCH(bool, red);
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    if (!QFileInfo::exists(path(QStringLiteral("red.png")))) {
        QVERIFY(image.save(path(QStringLiteral("red.png"))));
        // The same picture, followed by 64 MB of nothing (a sparse file): a decoder would still show it.
        QVERIFY(image.save(path(QStringLiteral("huge.png"))));
        QVERIFY(QFile::resize(path(QStringLiteral("huge.png")), 64 * 1024 * 1024));
    }
    const QByteArray icon = iconFile.endsWith(".png") ? path(QString::fromLatin1(iconFile)).toUtf8() : iconFile;
    const QString name = QStringLiteral("icon %1.desktop").arg(QString::fromLatin1(QTest::currentDataTag()));
    writeLauncher(name, "Name=Icon\nExec=true\nIcon=" + icon + "\n", trusted ? OwnerRuns : Plain);

    const QIcon shown = Platform::fileIcon(path(name));
    QVERIFY(!shown.isNull());
    const QRgb pixel = shown.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32).pixel(8, 8);
    QCOMPARE(pixel == QColor(Qt::red).rgba(), red);
    if (!trusted) {
        // Every untrusted launcher looks the same: a launcher file, whatever it names as its icon.
        QCOMPARE(shown.cacheKey(), Platform::fileIcon(path(QStringLiteral("invoice.pdf.desktop"))).cacheKey());
    }
}

void TestPlatform::addressAsMeant_data()
{
    // The address as typed, and what opening hands on (empty: refused as malformed, nothing is opened).
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("handed");

    QTest::newRow("http") << "http://example.com/a?b=c"
                          << "http://example.com/a?b=c";
    QTest::newRow("no scheme") << "www.example.com"
                               << "http://www.example.com";
    QTest::newRow("spaces around") << "  https://example.com  "
                                   << "https://example.com";
    QTest::newRow("chinese path") << "https://example.com/中文"
                                  << "https://example.com/中文";
    QTest::newRow("encoded space") << "https://example.com/my%20file.pdf?q=a%20b"
                                   << QUrl(QStringLiteral("https://example.com/my%20file.pdf?q=a%20b")).toString();
    QTest::newRow("encoded space, no scheme")
        << "www.example.com/a%20b" << QUrl(QStringLiteral("http://www.example.com/a%20b")).toString();
    // A host and a port are not a scheme and a path.
    QTest::newRow("address and port") << "192.168.1.1:8080"
                                      << "http://192.168.1.1:8080";
    QTest::newRow("localhost and port") << "localhost:8080"
                                        << "http://localhost:8080";
    QTest::newRow("local name, port, path") << "nas.local:5000/photo"
                                            << "http://nas.local:5000/photo";
    QTest::newRow("host, port, path") << "example.com:8080/x"
                                      << "http://example.com:8080/x";
    // Real schemes stay as typed.
    QTest::newRow("mailto") << "mailto:someone@example.com"
                            << "mailto:someone@example.com";
    QTest::newRow("tel") << "tel:+8612345"
                         << "tel:+8612345";
    QTest::newRow("any scheme with ://") << "brisko-thing://x/y"
                                         << "brisko-thing://x/y";
    QTest::newRow("local file") << QUrl::fromLocalFile(path(QStringLiteral("notes.txt"))).toString()
                                << QUrl::fromLocalFile(path(QStringLiteral("notes.txt"))).toString();

    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blank") << "   "
                           << "";
    QTest::newRow("space in host") << "http://exa mple.com"
                                   << "";
    QTest::newRow("bad port") << "http://example.com:99999999/"
                              << "";
    QTest::newRow("bad scheme") << "1http://example.com"
                                << "";
    QTest::newRow("percent signs in host") << "http://bad address/%%"
                                           << "";
}

void TestPlatform::addressAsMeant()
{
    QFETCH(QString, typed);
    QFETCH(QString, handed);

    QStringList calls;
    Platform::setOpenHandler([&](const QString& target) {
        calls.append(target);
        return true;
    });
    const Platform::OpenResult result = Platform::openAddress(typed);
    if (handed.isEmpty()) {
        QCOMPARE(result.status, Platform::OpenResult::Malformed);
        QVERIFY(calls.isEmpty());
        QVERIFY(!Platform::addressUrl(typed).isValid());
        return;
    }
    QCOMPARE(result.status, Platform::OpenResult::Opened);
    QCOMPARE(calls, QStringList { handed });
    QCOMPARE(Platform::addressUrl(typed).toString(), handed);
}

void TestPlatform::openerFailureHasReason()
{
    Platform::setOpenHandler([](const QString&) { return false; });
    for (const Platform::OpenResult& result : { Platform::openAddress(QStringLiteral("https://example.com")),
                                                Platform::openFile(path(QStringLiteral("notes.txt"))) }) {
        QCOMPARE(result.status, Platform::OpenResult::Failed);
        QVERIFY(!result.reason.isEmpty());
    }
    // A file address naming no file fails before anything is asked to open it.
    QStringList calls;
    Platform::setOpenHandler([&](const QString& target) {
        calls.append(target);
        return true;
    });
    const Platform::OpenResult missing = Platform::openAddress(QStringLiteral("file:///no/such/file/anywhere"));
    QCOMPARE(missing.status, Platform::OpenResult::Failed);
    QVERIFY(!missing.reason.isEmpty());
    QVERIFY(calls.isEmpty());
}

void TestPlatform::openUrlReadsTheAddress()
{
    QStringList calls;
    Platform::setOpenHandler([&](const QString& target) {
        calls.append(target);
        return true;
    });
    QVERIFY(Platform::openUrl(QUrl(QStringLiteral("http://example.com/a?b=c"))));
    QVERIFY(Platform::openUrl(QUrl(QStringLiteral("localhost:8080"))));
    QCOMPARE(calls,
             (QStringList { QStringLiteral("http://example.com/a?b=c"), QStringLiteral("http://localhost:8080") }));
    QCOMPARE(Platform::openUrl(QUrl()).status, Platform::OpenResult::Malformed);
    QCOMPARE(Platform::openUrl(QUrl(QStringLiteral("http://exa mple.com"))).status, Platform::OpenResult::Malformed);
    QCOMPARE(calls.size(), 2);
}

void TestPlatform::filesGoToTheHandler()
{
    QStringList calls;
    Platform::setOpenHandler([&](const QString& target) {
        calls.append(target);
        return true;
    });
    QVERIFY(Platform::openFile(path(QStringLiteral("notes.txt"))));
    QVERIFY(Platform::openFile(path(QStringLiteral("folder"))));
    QCOMPARE(calls, (QStringList { path(QStringLiteral("notes.txt")), path(QStringLiteral("folder")) }));
}

void TestPlatform::openLauncherStartsItsProgram()
{
    // Opening a launcher runs its Exec line (commas and quotes intact) instead of opening the file.
    const QString marker = path(QStringLiteral("started.txt"));
    writeLauncher(QStringLiteral("marker.desktop"),
                  "Name=Marker\nExec=sh -c \"echo a,b > '" + marker.toUtf8() + "'\"\nTerminal=false\n");
    QVERIFY(Platform::openFile(path(QStringLiteral("marker.desktop"))));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 20000);
    QCOMPARE(TestUtil::readFile(marker), QByteArray("a,b\n"));

    // A launcher whose program is not installed reports the failure and names the program.
    writeLauncher(QStringLiteral("absent.desktop"), "Name=Absent\nExec=no-such-program-brisko-test\n");
    const Platform::OpenResult absent = Platform::openFile(path(QStringLiteral("absent.desktop")));
    QCOMPARE(absent.status, Platform::OpenResult::Failed);
    QVERIFY2(absent.reason.contains(QLatin1String("no-such-program-brisko-test")), qPrintable(absent.reason));
}

void TestPlatform::programsStartInHome_data()
{
    // What is opened, how (file or address), the stand-in that starts, and the folder it starts in (empty:
    // the home folder) with the argument it gets.
    QTest::addColumn<QString>("subject");
    QTest::addColumn<bool>("address");
    QTest::addColumn<QString>("standIn");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("argument");
    QTest::newRow("launcher") << "home.desktop" << false << "viewer"
                              << ""
                              << "";
    QTest::newRow("launcher with its own folder") << "own-folder.desktop" << false << "viewer"
                                                  << "folder"
                                                  << "";
    QTest::newRow("file with its application") << "notes.txt" << false << "viewer"
                                               << "" << path("notes.txt");
    QTest::newRow("typed web address") << "localhost:8080" << true << "browser"
                                       << ""
                                       << "http://localhost:8080";
    // A scheme an application handles is a scheme, not a host.
    QTest::newRow("registered scheme") << "brisko-test:8080" << true << "handler"
                                       << ""
                                       << "brisko-test:8080";
}

void TestPlatform::programsStartInHome()
{
    QFETCH(QString, subject);
    QFETCH(bool, address);
    QFETCH(QString, standIn);
    QFETCH(QString, folder);
    QFETCH(QString, argument);
    const QByteArray program = path(QStringLiteral("bin/") + standIn).toUtf8();
    writeLauncher(QStringLiteral("home.desktop"), "Name=Home\nExec=" + program + "\n");
    writeLauncher(QStringLiteral("own-folder.desktop"),
                  "Name=Own\nExec=" + program + "\nPath=" + path(QStringLiteral("folder")).toUtf8() + "\n");
    const QString marker = path(QStringLiteral("marker-") + standIn);
    QFile::remove(marker);
    // The test runs in the build's folder: a program that inherited it would say so.
    QVERIFY(QDir::currentPath() != QDir::homePath());

    const Platform::OpenResult result = address ? Platform::openAddress(subject) : Platform::openFile(path(subject));
    QVERIFY2(result, qPrintable(result.reason));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 20000);
    const QStringList lines = QString::fromUtf8(TestUtil::readFile(marker)).split(QLatin1Char('\n'));
    const QString expected = folder.isEmpty() ? QDir::homePath() : path(folder);
    QCOMPARE(lines.value(0), QFileInfo(expected).canonicalFilePath());
    if (!argument.isEmpty()) {
        QCOMPARE(lines.value(1), argument);
    }
}

void TestPlatform::failuresHaveReasons_data()
{
    // What is opened (a file, or an address when it has a ":"), and words the reason must contain.
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("program gone") << "gone.desktop"
                                  << "no-such-program-brisko-test";
    QTest::newRow("test program gone") << "tried.desktop"
                                       << "no-such-tried-brisko-test";
    QTest::newRow("nothing to run") << "no-exec.desktop"
                                    << "";
    QTest::newRow("own folder gone") << "no-folder.desktop"
                                     << "";
    QTest::newRow("no application for the type") << "pipe-to-open"
                                                 << "inode/fifo";
    QTest::newRow("no application for the scheme") << "brisko-nothing://x"
                                                   << "brisko-nothing";
}

void TestPlatform::failuresHaveReasons()
{
    QFETCH(QString, subject);
    QFETCH(QString, reasonPart);
    writeLauncher(QStringLiteral("gone.desktop"), "Name=Gone\nExec=no-such-program-brisko-test --flag\n");
    writeLauncher(QStringLiteral("tried.desktop"), "Name=Tried\nExec=true\nTryExec=no-such-tried-brisko-test\n");
    writeLauncher(QStringLiteral("no-exec.desktop"), "Name=Nothing\n");
    writeLauncher(QStringLiteral("no-folder.desktop"), "Name=No folder\nExec=true\nPath=/no/such/folder/brisko\n");
    const TestUtil::FifoSentinel pipe(path(QStringLiteral("pipe-to-open")));
    QVERIFY(pipe.isValid());

    const Platform::OpenResult result
        = subject.contains(QLatin1Char(':')) ? Platform::openAddress(subject) : Platform::openFile(path(subject));
    QCOMPARE(result.status, Platform::OpenResult::Failed);
    QVERIFY(!result.reason.isEmpty());
    QVERIFY2(result.reason.contains(reasonPart), qPrintable(result.reason));
    QCOMPARE(pipe.readers(), 0);
}

void TestPlatform::startsFirstInstalledProgram()
{
    QTemporaryDir bin;
    const QString marker = bin.filePath(QStringLiteral("started"));
    const QString startedIn = bin.filePath(QStringLiteral("started-in"));
    auto fake = [&](const QString& name) {
        const QString file = bin.filePath(name);
        QVERIFY(TestUtil::writeFile(file,
                                    "#!/bin/sh\npwd -P > '" + startedIn.toUtf8() + "'\necho " + name.toUtf8() + " >> '"
                                        + marker.toUtf8() + "'\n"));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    };
    fake(QStringLiteral("xcalc"));
    fake(QStringLiteral("galculator"));
    fake(QStringLiteral("featherpad"));
    const TestUtil::EnvGuard pathGuard("PATH", QFile::encodeName(bin.path()));

    QVERIFY(Platform::startCalculator());
    QTRY_COMPARE_WITH_TIMEOUT(TestUtil::readFile(marker), QByteArray("galculator\n"), 20000);
    QVERIFY(Platform::startTextEditor());
    QTRY_COMPARE_WITH_TIMEOUT(TestUtil::readFile(marker), QByteArray("galculator\nfeatherpad\n"), 20000);
    // Started in the person's home folder, not in the folder the program runs in.
    QCOMPARE(QString::fromUtf8(TestUtil::readFile(startedIn)).trimmed(),
             QFileInfo(QDir::homePath()).canonicalFilePath());
}

void TestPlatform::noProgramInstalled()
{
    QTemporaryDir empty;
    const TestUtil::EnvGuard pathGuard("PATH", QFile::encodeName(empty.path()));
    QCOMPARE(Platform::startCalculator().status, Platform::OpenResult::NotInstalled);
    QCOMPARE(Platform::startTextEditor().status, Platform::OpenResult::NotInstalled);
}

void TestPlatform::desktopShortcut()
{
    if (!hermetic()) {
        QSKIP("runs only with the temporary home folder of the test runner");
    }
    const QString desktop = Platform::desktopDir();
    QVERIFY(desktop.startsWith(QDir::homePath()));
    QDir(desktop).removeRecursively();

    // A missing Desktop folder is made; the link is named after the item and points at the file.
    QVERIFY(Platform::createDesktopShortcut(QStringLiteral("My notes"), path(QStringLiteral("notes.txt"))));
    const QFileInfo shortcut(desktop + QStringLiteral("/My notes"));
    QVERIFY(shortcut.isSymLink());
    QCOMPARE(shortcut.symLinkTarget(), path(QStringLiteral("notes.txt")));

    // A second shortcut of that name fails and leaves the first as it was.
    QVERIFY(!Platform::createDesktopShortcut(QStringLiteral("My notes"), path(QStringLiteral("a.tar.gz"))));
    QCOMPARE(QFileInfo(desktop + QStringLiteral("/My notes")).symLinkTarget(), path(QStringLiteral("notes.txt")));

    // An ordinary file of that name is never replaced either.
    QVERIFY(TestUtil::writeFile(desktop + QStringLiteral("/Taken"), "mine"));
    QVERIFY(!Platform::createDesktopShortcut(QStringLiteral("Taken"), path(QStringLiteral("notes.txt"))));
    QCOMPARE(TestUtil::readFile(desktop + QStringLiteral("/Taken")), QByteArray("mine"));

    // Names keep every character the file system allows.
    QVERIFY(Platform::createDesktopShortcut(QStringLiteral("报告 'v2' %1"), path(QStringLiteral("folder"))));
    QVERIFY(QFileInfo(desktop + QStringLiteral("/报告 'v2' %1")).isDir());
}

void TestPlatform::desktopShortcutForLauncher()
{
    if (!hermetic()) {
        QSKIP("runs only with the temporary home folder of the test runner");
    }
    const QString desktop = Platform::desktopDir();
    QVERIFY(Platform::createDesktopShortcut(QStringLiteral("Editor"), path(QStringLiteral("editor.desktop"))));
    const QFileInfo shortcut(desktop + QStringLiteral("/Editor.desktop"));
    QVERIFY(shortcut.isSymLink());
    QCOMPARE(shortcut.symLinkTarget(), path(QStringLiteral("editor.desktop")));
    QVERIFY(!QFileInfo::exists(desktop + QStringLiteral("/Editor")));
}

void TestPlatform::desktopShortcutRefusesBadNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("slash") << QStringLiteral("../escape");
    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("dot dot") << QStringLiteral("..");
}

void TestPlatform::desktopShortcutRefusesBadNames()
{
    if (!hermetic()) {
        QSKIP("runs only with the temporary home folder of the test runner");
    }
    QFETCH(QString, name);
    QVERIFY(!Platform::createDesktopShortcut(name, path(QStringLiteral("notes.txt"))));
    QVERIFY(!QFileInfo::exists(QDir::homePath() + QStringLiteral("/escape")));
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
