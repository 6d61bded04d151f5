// The main window's opening of items and dropping of files, with the files a person may have: launchers that
// are not trusted, programs that are gone, FIFOs, names that are not text, a store that refuses to write.
#include "fifosentinel.h"
#include "icondatabase.h"
#include "platform.h"
#include "qqdialog.h"
#include "qqtree.h"
#include "shownwindow.h"
#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace
{
const QFile::Permissions Plain = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
const QFile::Permissions OwnerRuns = Plain | QFile::ExeOwner;

/// Answers every box that appears (the platform's message box or the skinned one) with OK and keeps what it
/// said, until the object goes.
struct Boxes
{
    QStringList titles;
    QStringList texts;
    TestUtil::Poll poll;

    void arm()
    {
        poll = TestUtil::answerEachModal([this](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                titles.append(box->windowTitle());
                texts.append(box->text());
                box->button(QMessageBox::Ok)->click();
                return;
            }
            // The skinned box: its text is its label; OK accepts it.
            auto* label = w->findChild<QLabel*>(QStringLiteral("label"));
            titles.append(QString());
            texts.append(label ? label->text() : QString());
            if (auto* dialog = qobject_cast<QDialog*>(w)) {
                dialog->accept();
            }
        });
    }

    /// Waits until at least one box has been answered and none is open any more.
    bool settle()
    {
        return QTest::qWaitFor([this] { return !texts.isEmpty() && !QApplication::activeModalWidget(); });
    }
};
} // namespace

class TestOpenAndDrop : public QObject
{
    Q_OBJECT

private:
    IconDatabase db;
    QTemporaryDir files;
    QStringList opened;
    bool openerWorks = true;
    int iconTeam = 0;
    int otherTeam = 0;
    int siteTeam = 0;

    static QQTree* tree(QQDialog* w, const char* name) { return w->findChild<QQTree*>(QLatin1String(name)); }

    QString makeFile(const QString& name, const QByteArray& content = "x", QFile::Permissions mode = Plain)
    {
        const QString path = files.filePath(name);
        TestUtil::writeFile(path, content);
        QFile::setPermissions(path, mode);
        return path;
    }

    QString makeLauncher(const QString& name, const QByteArray& keys, QFile::Permissions mode)
    {
        return makeFile(name, "[Desktop Entry]\nType=Application\n" + keys, mode);
    }

    void recordOpens()
    {
        Platform::setOpenHandler([this](const QString& target) {
            opened.append(target);
            return openerWorks;
        });
    }

    /// Drags the URLs over the icon tree's empty space and drops them there, as a file manager would.
    static bool
    dropOnTree(QQDialog* w, const QList<QUrl>& urls, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
    {
        QQTree* icons = tree(w, "iconTree");
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at(icons->width() / 2, icons->height() - 5);
        QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(icons, &enter);
        QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(icons, &move);
        QDropEvent drop(QPointF(at), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(icons, &drop);
        return enter.isAccepted() && drop.isAccepted();
    }

    int storedCount()
    {
        QList<IconItemInfo> all;
        db.getItemsByType(all, en_team_icon);
        return all.size();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(files.isValid());
        IconDatabase::instance().openDatabase();
        db = IconDatabase::instance();
        QVERIFY2(db.isUsable(), qPrintable(db.errorText()));
    }

    void init()
    {
        opened.clear();
        openerWorks = true;
        recordOpens();
        QVERIFY(db.execSql(QStringLiteral("DELETE FROM icon_item")));
        QVERIFY(db.execSql(QStringLiteral("DELETE FROM team")));
        iconTeam = db.addTeam(QStringLiteral("常用软件"), en_team_icon);
        otherTeam = db.addTeam(QStringLiteral("文档"), en_team_icon);
        siteTeam = db.addTeam(QStringLiteral("常用网址"), en_team_site);
        QVERIFY(iconTeam && otherTeam && siteTeam);
    }

    void cleanup() { QVERIFY(db.execSql(QStringLiteral("DROP TRIGGER IF EXISTS refuse_items"))); }

    void cleanupTestCase() { Platform::setOpenHandler({}); }

    void untrustedLauncherIsNotStarted()
    {
        // A launcher as a download leaves it: not executable, dressed up as a document.
        const QString path = makeLauncher(QStringLiteral("invoice.pdf.desktop"),
                                          "Name=invoice.pdf\nIcon=application-pdf\nExec=sh -c \"echo owned\"\n",
                                          Plain);
        auto w = showMainWindow();
        QVERIFY(dropOnTree(w.get(), { QUrl::fromLocalFile(path) }));
        QQTree* icons = tree(w.get(), "iconTree");
        QCOMPARE(icons->itemCount(otherTeam), 1);
        const int id = icons->itemIds(otherTeam).first();
        // Named by its whole file name, not by the name it claims.
        QCOMPARE(icons->itemName(id), QStringLiteral("invoice.pdf.desktop"));

        Boxes boxes;
        boxes.arm();
        w->onTreeDbClicked(otherTeam, id);
        QVERIFY(boxes.settle());
        QVERIFY(opened.isEmpty());
        QCOMPARE(boxes.titles, QStringList { QStringLiteral("错误") });
        QCOMPARE(boxes.texts.size(), 1);
        const QString text = boxes.texts.first();
        QVERIFY2(text.startsWith(QStringLiteral("打开失败!")) && text.contains(path)
                     && text.contains(QLatin1String("chmod +x")),
                 qPrintable(text));

        // Trusted since (the person made it executable): it starts, with no word.
        QVERIFY(QFile::setPermissions(path, OwnerRuns));
        w->onTreeDbClicked(otherTeam, id);
        QCOMPARE(opened, QStringList { path });
        QCOMPARE(boxes.texts.size(), 1);
    }

    void openFailureSaysWhy_data()
    {
        // The item (a file in the test folder, or a site when it has a ":"), whether the real platform opens it,
        // and the reason the message must give.
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("realPlatform");
        QTest::addColumn<QString>("reason");
        QTest::newRow("launcher whose program is gone")
            << "gone.desktop" << true << QStringLiteral("找不到程序“no-such-program-brisko-test”");
        QTest::newRow("file the opener fails on") << "notes.txt" << false << QStringLiteral("打开程序报告失败");
        QTest::newRow("site the opener fails on") << "localhost:8080" << false << QStringLiteral("打开程序报告失败");
    }

    void openFailureSaysWhy()
    {
        QFETCH(QString, item);
        QFETCH(bool, realPlatform);
        QFETCH(QString, reason);
        makeLauncher(QStringLiteral("gone.desktop"), "Name=Gone\nExec=no-such-program-brisko-test\n", OwnerRuns);
        makeFile(QStringLiteral("notes.txt"));
        const bool site = item.contains(QLatin1Char(':'));
        const QString location = site ? item : files.filePath(item);
        const int id = db.addItem(
            QStringLiteral("项目"), location, site ? siteTeam : iconTeam, site ? en_team_site : en_team_icon);
        if (realPlatform) {
            Platform::setOpenHandler({}); // nothing starts: the program is not there
        }
        openerWorks = false;
        auto w = showMainWindow();
        Boxes boxes;
        boxes.arm();
        w->onTreeDbClicked(site ? siteTeam : iconTeam, id);
        QVERIFY(boxes.settle());
        QCOMPARE(boxes.titles, QStringList { QStringLiteral("错误") });
        QCOMPARE(boxes.texts, QStringList { QStringLiteral("打开失败!%1,位置: %2").arg(reason, location) });
        // Opened in the person's sense: it is among the recent items.
        QCOMPARE(tree(w.get(), "recentTree")->itemIds(1).value(0), id);
    }

    void programsStartInHome()
    {
        // A stand-in program that writes the folder it started in; the window runs in the build's folder.
        const QString marker = files.filePath(QStringLiteral("started-in"));
        const QString program = makeFile(QStringLiteral("where.sh"),
                                         "#!/bin/sh\npwd -P > '" + marker.toUtf8() + ".part' && mv '" + marker.toUtf8()
                                             + ".part' '" + marker.toUtf8() + "'\n",
                                         OwnerRuns);
        const QString launcher
            = makeLauncher(QStringLiteral("where.desktop"), "Name=Where\nExec=" + program.toUtf8() + "\n", OwnerRuns);
        const int id = db.addItem(QStringLiteral("Where"), launcher, iconTeam, en_team_icon);
        QVERIFY(QDir::currentPath() != QDir::homePath());
        Platform::setOpenHandler({});
        auto w = showMainWindow();
        Boxes boxes;
        boxes.arm();
        w->onTreeDbClicked(iconTeam, id);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 20000);
        QCOMPARE(QString::fromUtf8(TestUtil::readFile(marker)).trimmed(),
                 QFileInfo(QDir::homePath()).canonicalFilePath());
        QVERIFY(boxes.texts.isEmpty());
    }

    void dropSaysOnceWhatWasSkipped()
    {
        // A file that is there but whose name is not UTF-8, one that is gone, and two that are fine.
        const QByteArray latin1Name = QFile::encodeName(files.path()) + "/caf\xE9.txt";
        const int fd = ::open(latin1Name.constData(), O_CREAT | O_WRONLY, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        const QList<QUrl> urls = {
            QUrl(QStringLiteral("file://") + files.path() + QStringLiteral("/caf%E9.txt")),
            QUrl::fromLocalFile(files.filePath(QStringLiteral("gone.txt"))),
            QUrl::fromLocalFile(makeFile(QStringLiteral("kept.txt"))),
            QUrl::fromLocalFile(makeFile(QStringLiteral("also kept.txt"))),
        };
        auto w = showMainWindow();
        Boxes boxes;
        boxes.arm();
        QVERIFY(dropOnTree(w.get(), urls));
        // Nothing is said while the drag source waits for the drop's answer.
        QVERIFY(boxes.texts.isEmpty());
        QCOMPARE(tree(w.get(), "iconTree")->itemCount(otherTeam), 2);
        QCOMPARE(storedCount(), 2);
        QVERIFY(boxes.settle());
        QCOMPARE(boxes.texts, QStringList { QStringLiteral("有 2 个文件未能添加(文件已不存在或文件名无法识别)") });
        ::unlink(latin1Name.constData());
    }

    void dropWithoutGroupSaysSo()
    {
        // A catalogue emptied by another tool: there is no group to add to.
        QVERIFY(db.execSql(QStringLiteral("DELETE FROM team")));
        auto w = showMainWindow();
        Boxes boxes;
        boxes.arm();
        dropOnTree(w.get(),
                   { QUrl::fromLocalFile(makeFile(QStringLiteral("a.txt"))),
                     QUrl::fromLocalFile(makeFile(QStringLiteral("b.txt"))) });
        QVERIFY(boxes.texts.isEmpty());
        QVERIFY(boxes.settle());
        QCOMPARE(boxes.texts, QStringList { QStringLiteral("请先添加分组") });
        QCOMPARE(storedCount(), 0);
    }

    void dropTheStoreRefusesSaysSo()
    {
        QVERIFY(db.execSql(QStringLiteral(
            "CREATE TRIGGER refuse_items BEFORE INSERT ON icon_item BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        auto w = showMainWindow();
        Boxes boxes;
        boxes.arm();
        QVERIFY(dropOnTree(w.get(),
                           { QUrl::fromLocalFile(makeFile(QStringLiteral("a.txt"))),
                             QUrl::fromLocalFile(files.filePath(QStringLiteral("gone.txt"))) }));
        QVERIFY(boxes.settle());
        QCOMPARE(boxes.texts,
                 QStringList { QStringLiteral(
                     "有 1 个文件未能添加(文件已不存在或文件名无法识别)\n有 1 个文件未能保存到图标库") });
        QCOMPARE(tree(w.get(), "iconTree")->itemCount(otherTeam), 0);
    }

    void moveOnlyDropAddsNothing()
    {
        // A source that offers only a move would delete its originals once the drop is done.
        auto w = showMainWindow();
        const QUrl file = QUrl::fromLocalFile(makeFile(QStringLiteral("moved.txt")));
        QVERIFY(!dropOnTree(w.get(), { file }, Qt::MoveAction));
        // Handed to the window directly, it is refused there too.
        QMimeData mime;
        mime.setUrls({ file });
        QDropEvent event(QPointF(10, 10), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        event.setDropAction(Qt::MoveAction);
        w->onTreeDropEvent(&event, iconTeam, 0);
        QVERIFY(!event.isAccepted());
        QCOMPARE(storedCount(), 0);
        // A link is as good as a copy.
        QVERIFY(dropOnTree(w.get(), { file }, Qt::LinkAction | Qt::MoveAction));
        QCOMPARE(storedCount(), 1);
    }

    void fifoNeverBlocksTheWindow()
    {
        // Each FIFO counts whoever opens it: a reader would wait for a writer for good.
        const TestUtil::FifoSentinel dropped(files.filePath(QStringLiteral("dropped.brisko-unknown")));
        const TestUtil::FifoSentinel stored(files.filePath(QStringLiteral("stored.brisko-unknown")));
        const TestUtil::FifoSentinel icon(files.filePath(QStringLiteral("icon.png")));
        QVERIFY(dropped.isValid() && stored.isValid() && icon.isValid());
        const QString launcher
            = makeLauncher(QStringLiteral("piped.desktop"),
                           "Name=Piped\nExec=true\nIcon=" + files.filePath("icon.png").toUtf8() + "\n",
                           OwnerRuns);
        db.addItem(
            QStringLiteral("stored"), files.filePath(QStringLiteral("stored.brisko-unknown")), iconTeam, en_team_icon);
        db.addItem(QStringLiteral("Piped"), launcher, iconTeam, en_team_icon);

        auto w = showMainWindow();
        QVERIFY(dropOnTree(w.get(), { QUrl::fromLocalFile(files.filePath(QStringLiteral("dropped.brisko-unknown"))) }));
        QQTree* icons = tree(w.get(), "iconTree");
        QCOMPARE(icons->itemCount(otherTeam), 1);
        icons->setTeamOpen(iconTeam, true);
        icons->grab(); // paints every row, asking for each icon
        for (const int team : { iconTeam, otherTeam }) {
            for (const int id : icons->itemIds(team)) {
                w->onTreeDbClicked(team, id);
            }
        }
        tree(w.get(), "recentTree")->grab();
        QCOMPARE(opened.size(), 3);
        QCOMPARE(dropped.readers(), 0);
        QCOMPARE(stored.readers(), 0);
        QCOMPARE(icon.readers(), 0);
    }
};

QTEST_MAIN(TestOpenAndDrop)
#include "tst_openanddrop.moc"
