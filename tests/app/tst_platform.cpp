#include "platform.h"
#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace
{
QByteArray launcher(const QByteArray& extra, const QByteArray& type = "Application")
{
    return "[Desktop Entry]\nType=" + type + "\n" + extra;
}
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
    void fileIconsDifferByType();
    void fileIconOfLauncher();
    void openWithHandler_data();
    void openWithHandler();
    void openLauncherStartsItsProgram();
    void startsFirstInstalledProgram();
    void noProgramInstalled();
    void desktopShortcut();
    void desktopShortcutForLauncher();
    void desktopShortcutRefusesBadNames_data();
    void desktopShortcutRefusesBadNames();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void write(const QString& name, const QByteArray& content) { QVERIFY(TestUtil::writeFile(path(name), content)); }
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

    write(QStringLiteral("editor.desktop"),
          launcher("Name=Editor\nName[zh_CN]=编辑器\nName[zh]=文本编辑器\nName[de]=Bearbeiter\n"
                   "Exec=sh -c \"echo a,b\"\nIcon=accessories-text-editor\n"));
    link(path(QStringLiteral("editor.desktop")), QStringLiteral("My Editor.desktop"));
    write(QStringLiteral("comma.desktop"), launcher("Name=Cut, Copy\\s and Paste\nExec=true a,b\n"));
    write(QStringLiteral("site.desktop"), launcher("Name=Site\nURL=http://example.com\n", "Link"));
    write(QStringLiteral("noname.desktop"), launcher("Exec=true\n"));
    write(QStringLiteral("other-group.desktop"),
          "[Desktop Entry]\nName=First\nType=Application\nExec=true\n[Desktop Action x]\nName=Second\nType=Link\n");
    write(QStringLiteral("notes.desktop.txt"), launcher("Name=NotALauncher\n"));
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

    QTest::newRow("last extension cut") << "a.tar.gz" << true << "a.tar" << "a.tar.gz" << false;
    QTest::newRow("leading dot stays") << ".profile" << true << ".profile" << ".profile" << false;
    QTest::newRow("no dot stays") << "README" << true << "README" << "README" << false;
    QTest::newRow("folder") << "folder" << true << "folder" << "folder" << false;
    QTest::newRow("folder with slash") << "folder/" << true << "folder" << "folder" << false;
    QTest::newRow("link keeps own name") << "Notes Link.txt" << true << "Notes Link" << "notes.txt" << false;
    QTest::newRow("relative link") << "relative.lnk" << true << "relative" << "notes.txt" << false;
    QTest::newRow("link chain to the end") << "Chain.lnk" << true << "Chain" << "a.tar.gz" << false;
    QTest::newRow("link to folder") << "Folder Link" << true << "Folder Link" << "folder" << false;
    QTest::newRow("dangling link") << "dangling" << false << "" << "" << false;
    QTest::newRow("link loop") << "loop1" << false << "" << "" << false;
    QTest::newRow("missing file") << "nothing.txt" << false << "" << "" << false;
    QTest::newRow("launcher") << "editor.desktop" << true << "Editor" << "editor.desktop" << true;
    QTest::newRow("launcher link") << "My Editor.desktop" << true << "Editor" << "editor.desktop" << true;
    QTest::newRow("commas and escapes") << "comma.desktop" << true << "Cut, Copy  and Paste" << "comma.desktop"
                                        << true;
    QTest::newRow("link entry is a file") << "site.desktop" << true << "site" << "site.desktop" << false;
    QTest::newRow("launcher without name") << "noname.desktop" << true << "noname" << "noname.desktop" << true;
    QTest::newRow("first group only") << "other-group.desktop" << true << "First" << "other-group.desktop"
                                      << true;
    QTest::newRow("not a .desktop name") << "notes.desktop.txt" << true << "notes.desktop"
                                         << "notes.desktop.txt" << false;
}

void TestPlatform::describeDroppedFile()
{
    QFETCH(QString, dropped);
    QFETCH(bool, ok);
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QFETCH(bool, isLauncher);
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
}

void TestPlatform::launcherNameFollowsLocale_data()
{
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("name");

    QTest::newRow("LANG C") << QByteArray() << QByteArray("C.UTF-8") << QStringLiteral("Editor");
    QTest::newRow("LANG zh_CN") << QByteArray() << QByteArray("zh_CN.UTF-8") << QStringLiteral("编辑器");
    QTest::newRow("LC_ALL wins over LANG") << QByteArray("C.UTF-8") << QByteArray("zh_CN.UTF-8")
                                          << QStringLiteral("Editor");
    QTest::newRow("LC_ALL zh_CN") << QByteArray("zh_CN.UTF-8") << QByteArray("C.UTF-8") << QStringLiteral("编辑器");
    QTest::newRow("zh_TW falls back to zh") << QByteArray() << QByteArray("zh_TW.UTF-8")
                                            << QStringLiteral("文本编辑器");
    QTest::newRow("de_AT falls back to de") << QByteArray() << QByteArray("de_AT.UTF-8")
                                            << QStringLiteral("Bearbeiter");
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

void TestPlatform::fileIconsDifferByType()
{
    Platform::setupIconTheme();
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QSKIP("no icon theme with file-type icons is installed");
    }
    const QIcon folder = Platform::fileIcon(path(QStringLiteral("folder")));
    const QIcon text = Platform::fileIcon(path(QStringLiteral("notes.txt")));
    const QIcon picture = Platform::fileIcon(path(QStringLiteral("picture.png")));
    for (const QIcon& icon : {folder, text, picture}) {
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

void TestPlatform::fileIconOfLauncher()
{
    // A launcher whose Icon is an absolute image path shows that image.
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(path(QStringLiteral("red.png"))));
    write(QStringLiteral("red.desktop"), launcher("Name=Red\nExec=true\nIcon=" + path("red.png").toUtf8() + "\n"));
    const QImage shown = Platform::fileIcon(path(QStringLiteral("red.desktop"))).pixmap(16, 16).toImage();
    QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32).pixel(8, 8), QColor(Qt::red).rgba());

    // A launcher naming no usable icon still gets one.
    write(QStringLiteral("blank.desktop"), launcher("Name=Blank\nExec=true\nIcon=no-such-icon-anywhere\n"));
    QVERIFY(!Platform::fileIcon(path(QStringLiteral("blank.desktop"))).isNull());
}

void TestPlatform::openWithHandler_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("handlerResult");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("handed");

    QTest::newRow("http") << "http://example.com/a?b=c" << true << true << "http://example.com/a?b=c";
    QTest::newRow("opener fails") << "https://example.com" << false << false << "https://example.com";
    QTest::newRow("no scheme") << "www.example.com" << true << true << "http://www.example.com";
    QTest::newRow("chinese path") << "https://example.com/中文" << true << true << "https://example.com/中文";
    QTest::newRow("encoded space") << "https://example.com/my%20file.pdf?q=a%20b" << true << true
                                   << QUrl(QStringLiteral("https://example.com/my%20file.pdf?q=a%20b")).toString();
    QTest::newRow("encoded space, no scheme") << "www.example.com/a%20b" << true << true
                                              << QUrl(QStringLiteral("http://www.example.com/a%20b")).toString();
    QTest::newRow("empty") << "" << true << false << "";
    QTest::newRow("blank") << "   " << true << false << "";
    QTest::newRow("space in host") << "http://exa mple.com" << true << false << "";
    QTest::newRow("bad port") << "http://example.com:99999999/" << true << false << "";
    QTest::newRow("bad scheme") << "1http://example.com" << true << false << "";
    QTest::newRow("missing local file") << "file:///no/such/file/anywhere" << true << false << "";
}

void TestPlatform::openWithHandler()
{
    QFETCH(QString, address);
    QFETCH(bool, handlerResult);
    QFETCH(bool, result);
    QFETCH(QString, handed);

    QStringList calls;
    Platform::setOpenHandler([&](const QString& target) {
        calls.append(target);
        return handlerResult;
    });
    QCOMPARE(Platform::openUrl(QUrl(address)), result);
    QCOMPARE(calls, handed.isEmpty() ? QStringList() : QStringList{handed});

    // Files go to the handler as paths.
    calls.clear();
    QCOMPARE(Platform::openFile(path(QStringLiteral("notes.txt"))), handlerResult);
    QCOMPARE(calls, QStringList{path(QStringLiteral("notes.txt"))});
}

void TestPlatform::openLauncherStartsItsProgram()
{
    // Opening a launcher runs its Exec line (commas and quotes intact) instead of opening the file.
    const QString marker = path(QStringLiteral("started.txt"));
    write(QStringLiteral("marker.desktop"),
          launcher("Name=Marker\nExec=sh -c \"echo a,b > '" + marker.toUtf8() + "'\"\nTerminal=false\n"));
    QVERIFY(Platform::openFile(path(QStringLiteral("marker.desktop"))));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 20000);
    QCOMPARE(TestUtil::readFile(marker), QByteArray("a,b\n"));

    // A launcher whose program is not installed reports the failure.
    write(QStringLiteral("absent.desktop"), launcher("Name=Absent\nExec=no-such-program-brisko-test\n"));
    QVERIFY(!Platform::openFile(path(QStringLiteral("absent.desktop"))));
}

void TestPlatform::startsFirstInstalledProgram()
{
    QTemporaryDir bin;
    const QString marker = bin.filePath(QStringLiteral("started"));
    auto fake = [&](const QString& name) {
        const QString file = bin.filePath(name);
        QVERIFY(TestUtil::writeFile(file, "#!/bin/sh\necho " + name.toUtf8() + " >> '" + marker.toUtf8() + "'\n"));
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
}

void TestPlatform::noProgramInstalled()
{
    QTemporaryDir empty;
    const TestUtil::EnvGuard pathGuard("PATH", QFile::encodeName(empty.path()));
    QVERIFY(!Platform::startCalculator());
    QVERIFY(!Platform::startTextEditor());
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
