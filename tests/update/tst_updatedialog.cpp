#include "quitwatch.h"
#include "testutil.h"
#include "updatedialog.h"
#include "versionserver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <functional>

namespace
{
const QString CheckingText = QStringLiteral("正在检测更新,请稍候.....");
const QString OfferText = QStringLiteral("发现新版本,是否进行更新?");
const QString CurrentText = QStringLiteral("当前已是最新版,无需更新!");
const QString FailedText = QStringLiteral("无法启动更新程序,\n请下载安装新版本。");

QString stateText(UpdateDialog* dialog)
{
    return dialog->findChild<QLabel*>(QStringLiteral("labelState"))->text();
}

QStringList visibleButtons(UpdateDialog* dialog)
{
    QStringList texts;
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->isVisible()) {
            texts.append(button->text());
        }
    }
    return texts;
}

QPushButton* button(UpdateDialog* dialog, const QString& text)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

QByteArray literal(const char* min, const char* max)
{
    return QByteArray("{MinVersion:\"") + min + "\", MaxVersion:\"" + max + "\"}";
}
} // namespace

class TestUpdateDialog : public QObject
{
    Q_OBJECT

private:
    VersionServer server;
    QTemporaryDir root;
    QString updaterDir;
    QList<QPointer<UpdateDialog>> dialogs;

    /// A dialog as the main menu makes it (no parent, freed when closed), starting the updater from `dir`.
    UpdateDialog* makeDialog(const QString& dir)
    {
        auto* dialog = new UpdateDialog(nullptr);
        dialogs.append(dialog);
        dialog->setUpdaterDir(dir);
        dialog->show();
        return dialog;
    }

    QString startLog() const { return QDir(updaterDir).filePath(QStringLiteral("started.log")); }

    /// A folder holding an `Update` file with the given content and permissions (none: no file at all).
    QString updaterFolder(const QString& name, const QByteArray& content, bool executable)
    {
        const QString dir = root.filePath(name);
        QDir().mkpath(dir);
        if (!content.isEmpty()) {
            const QString path = QDir(dir).filePath(QStringLiteral("Update"));
            TestUtil::writeFile(path, content);
            QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
            if (executable) {
                permissions |= QFile::ExeOwner;
            }
            QFile::setPermissions(path, permissions);
        }
        return dir;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(root.isValid());
        // As in the program: closing its last window does not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        // The test's server is reached directly, whatever proxy the machine names.
        bypassProxies();
        QVERIFY(server.listen());
        // The settings file of this test: installed 1.0.0915, the update address on the test's server.
        QVERIFY(TestUtil::writeFile(root.filePath(QStringLiteral("config.ocx")),
                                    "[Client]\nVersion=1.0.0915\nUpdateUrl=http://127.0.0.1:"
                                        + QByteArray::number(server.port()) + "/brisko\n"));
        QVERIFY(QDir::setCurrent(root.path()));
        // A stand-in updater that records its start (and its arguments) and ends.
        const QByteArray log = QFile::encodeName(root.filePath(QStringLiteral("updater/started.log")));
        updaterDir
            = updaterFolder(QStringLiteral("updater"), "#!/bin/sh\necho \"started $#\" >> '" + log + "'\n", true);
    }

    void init()
    {
        QVERIFY(server.reset());
        QFile::remove(startLog());
    }

    void cleanup()
    {
        server.dropConnections();
        for (const QPointer<UpdateDialog>& dialog : std::as_const(dialogs)) {
            delete dialog.data();
        }
        dialogs.clear();
    }

    void form()
    {
        UpdateDialog* dialog = makeDialog(updaterDir);
        QCOMPARE(dialog->size(), QSize(231, 142));
        QCOMPARE(dialog->titleText(), QStringLiteral("软件更新"));
        QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(!dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        auto* label = dialog->findChild<QLabel*>(QStringLiteral("labelState"));
        QVERIFY(label);
        QCOMPARE(label->geometry(), QRect(42, 60, 161, 21));
        QCOMPARE(label->text(), CheckingText);
        const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 3);
        const QList<std::pair<QString, QRect>> expected = {
            { QStringLiteral("确定"), QRect(80, 110, 64, 25) },
            { QStringLiteral("更新"), QRect(50, 100, 64, 25) },
            { QStringLiteral("取消"), QRect(130, 100, 64, 25) },
        };
        for (const auto& [text, geometry] : expected) {
            QPushButton* b = button(dialog, text);
            QVERIFY2(b, qPrintable(text));
            QCOMPARE(b->geometry(), geometry);
            QCOMPARE(b->objectName(), QStringLiteral("btnNormal"));
        }
        QCOMPARE(visibleButtons(dialog), QStringList { QStringLiteral("确定") });
        QCOMPARE(dialog->timeout(), 10000);
        QCOMPARE(dialog->updaterPath(), QDir(updaterDir).filePath(QStringLiteral("Update")));
    }

    void okAndCancelClose()
    {
        for (const QString& text : { QStringLiteral("确定"), QStringLiteral("取消") }) {
            QPointer<UpdateDialog> dialog = makeDialog(updaterDir);
            button(dialog, text)->click();
            QVERIFY(!dialog->isVisible());
            QTRY_VERIFY(dialog.isNull()); // freed once closed
        }
    }

    void versionArithmetic()
    {
        UpdateDialog* dialog = makeDialog(updaterDir);
        QCOMPARE(dialog->str_verison_to_int("1.0"), 5408);
        QCOMPARE(dialog->str_verison_to_int(""), 0);
        QCOMPARE(dialog->str_verison_to_int("1.0.0915"), 541314243);
        QCOMPARE(dialog->str_verison_to_int("1.0.1001"), 541314329);
    }

    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("state");
        const QByteArray ok = "200 OK";
        QTest::newRow("newer version: offered") << ok << literal("1.0.0900", "1.0.1001") << OfferText;
        QTest::newRow("installed is the newest") << ok << literal("1.0.0900", "1.0.0915") << CurrentText;
        QTest::newRow("installed above the newest: offered") << ok << literal("1.0.0800", "1.0.0900") << OfferText;
        QTest::newRow("a property missing") << ok << QByteArray(R"({MinVersion:"1.0.0900"})") << CurrentText;
        QTest::newRow("an empty minimum") << ok << literal("", "1.0.1001") << CurrentText;
        QTest::newRow("an error page") << QByteArray("404 Not Found")
                                       << QByteArray("<html><body><h1>Not Found</h1></body></html>") << CurrentText;
        QTest::newRow("a program as the body") << ok << QByteArray("while(1){}") << CurrentText;
        QTest::newRow("an empty body") << ok << QByteArray() << CurrentText;
    }

    void outcomes()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, state);
        server.status = status;
        server.body = body;
        UpdateDialog* dialog = makeDialog(updaterDir);
        dialog->check();
        QCOMPARE(server.requests, QList<QByteArray> { "GET /brisko/Server.htm HTTP/1.1" });
        QCOMPARE(stateText(dialog), state);
        if (state == OfferText) {
            QCOMPARE(visibleButtons(dialog), (QStringList { QStringLiteral("更新"), QStringLiteral("取消") }));
        } else {
            QCOMPARE(visibleButtons(dialog), QStringList { QStringLiteral("确定") });
        }
        QVERIFY(dialog->isVisible());
        QVERIFY(!QFile::exists(startLog()));
    }

    void unreachableServerMeansCurrent_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("timeout");
        QTest::newRow("accepts and never answers") << int(VersionServer::Mode::Silent) << 1000;
        QTest::newRow("trickles") << int(VersionServer::Mode::Trickle) << 1000;
        // The size limit, not the time-out, ends this one.
        QTest::newRow("sends megabytes") << int(VersionServer::Mode::Endless) << 600000;
        QTest::newRow("refuses the connection") << -1 << 1000;
    }

    void unreachableServerMeansCurrent()
    {
        QFETCH(int, mode);
        QFETCH(int, timeout);
        if (mode < 0) {
            server.stopListening();
        } else {
            server.mode = VersionServer::Mode(mode);
        }
        UpdateDialog* dialog = makeDialog(updaterDir);
        dialog->setTimeout(timeout);
        dialog->check();
        QCOMPARE(stateText(dialog), CurrentText);
        QCOMPARE(visibleButtons(dialog), QStringList { QStringLiteral("确定") });
        if (mode == int(VersionServer::Mode::Endless)) {
            // The download was given up long before the server had sent its body.
            QVERIFY2(server.endlessSent < VersionServer::EndlessSize, qPrintable(QString::number(server.endlessSent)));
        }
    }

    void belowMinimumStartsTheUpdater()
    {
        server.body = literal("1.0.1000", "1.0.1001");
        QPointer<UpdateDialog> dialog = makeDialog(updaterDir);
        const int quits = TestUtil::quitsDuring([&] { dialog->check(); });
        QCOMPARE(quits, 1);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(startLog()), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(TestUtil::readFile(startLog()), QByteArray("started 0\n"), 30000);
        QVERIFY(!dialog || !dialog->isVisible());
    }

    void updaterThatCannotStart_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("executable");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not executable") << QByteArray("#!/bin/sh\nexit 0\n") << false;
        QTest::newRow("not a program") << QByteArray("\x7f"
                                                     "ELF broken")
                                       << true;
    }

    void updaterThatCannotStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, executable);
        const QString dir = updaterFolder(QLatin1String(QTest::currentDataTag()), content, executable);
        server.body = literal("1.0.1000", "1.0.1001");
        // The forced path: the program keeps running, the dialog stays and says why.
        QPointer<UpdateDialog> dialog = makeDialog(dir);
        QCOMPARE(TestUtil::quitsDuring([&] { dialog->check(); }), 0);
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(stateText(dialog), FailedText);
        QCOMPARE(visibleButtons(dialog), QStringList { QStringLiteral("确定") });

        // The "更新" button of an offer: the same.
        server.body = literal("1.0.0900", "1.0.1001");
        QPointer<UpdateDialog> offered = makeDialog(dir);
        offered->check();
        QCOMPARE(stateText(offered), OfferText);
        QCOMPARE(TestUtil::quitsDuring([&] { button(offered, QStringLiteral("更新"))->click(); }), 0);
        QVERIFY(offered);
        QVERIFY(offered->isVisible());
        QCOMPARE(stateText(offered), FailedText);
        QCOMPARE(visibleButtons(offered), QStringList { QStringLiteral("确定") });
    }

    void updateButtonStartsTheUpdater()
    {
        server.body = literal("1.0.0900", "1.0.1001");
        QPointer<UpdateDialog> dialog = makeDialog(updaterDir);
        dialog->check();
        QCOMPARE(stateText(dialog), OfferText);
        QVERIFY(!QFile::exists(startLog())); // an offer starts nothing by itself
        QCOMPARE(TestUtil::quitsDuring([&] { button(dialog, QStringLiteral("更新"))->click(); }), 1);
        QTRY_COMPARE_WITH_TIMEOUT(TestUtil::readFile(startLog()), QByteArray("started 0\n"), 30000);
        QVERIFY(!dialog || !dialog->isVisible());
    }

    void completedFromTheKeyboard_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("updates");
        const QByteArray offer = literal("1.0.0900", "1.0.1001");
        const QByteArray current = literal("1.0.0900", "1.0.0915");
        QTest::newRow("offer: Return updates") << offer << QList<int> { Qt::Key_Return } << true;
        QTest::newRow("offer: Escape cancels") << offer << QList<int> { Qt::Key_Escape } << false;
        QTest::newRow("offer: Tab to cancel, Return") << offer << QList<int> { Qt::Key_Tab, Qt::Key_Return } << false;
        QTest::newRow("current: Return closes") << current << QList<int> { Qt::Key_Return } << false;
        QTest::newRow("current: keypad Enter closes") << current << QList<int> { Qt::Key_Enter } << false;
    }

    void completedFromTheKeyboard()
    {
        QFETCH(QByteArray, body);
        QFETCH(QList<int>, keys);
        QFETCH(bool, updates);
        server.body = body;
        QPointer<UpdateDialog> dialog = makeDialog(updaterDir);
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        dialog->check();
        bool focusInDialog = true;
        const int quits = TestUtil::quitsDuring([&] {
            for (const int k : std::as_const(keys)) {
                QWidget* target = QApplication::focusWidget();
                if (!target || !dialog->isAncestorOf(target)) {
                    focusInDialog = false;
                    return;
                }
                QTest::keyClick(target, Qt::Key(k));
            }
        });
        QVERIFY(focusInDialog);
        QCOMPARE(quits, updates ? 1 : 0);
        QVERIFY(!dialog || !dialog->isVisible());
        if (updates) {
            QTRY_COMPARE_WITH_TIMEOUT(TestUtil::readFile(startLog()), QByteArray("started 0\n"), 30000);
        } else {
            QVERIFY(!QFile::exists(startLog()));
        }
    }

    void closingWhileWaiting_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("确定") << QStringLiteral("ok");
        QTest::newRow("title bar close") << QStringLiteral("title bar");
        QTest::newRow("Escape") << QStringLiteral("escape");
        QTest::newRow("closed while hidden") << QStringLiteral("hidden");
    }

    void closingWhileWaiting()
    {
        QFETCH(QString, how);
        server.mode = VersionServer::Mode::Silent;
        QPointer<UpdateDialog> dialog = makeDialog(updaterDir);
        dialog->setTimeout(600000); // only the close may end this wait
        bool checking = true;
        bool destroyedWhileChecking = false;
        connect(dialog, &QObject::destroyed, this, [&] { destroyedWhileChecking = checking; });
        server.onRequest = [&] {
            QTimer::singleShot(0, dialog, [&] {
                if (how == QLatin1String("ok")) {
                    button(dialog, QStringLiteral("确定"))->click();
                } else if (how == QLatin1String("title bar")) {
                    QTest::mouseClick(dialog->findChild<QWidget*>(QStringLiteral("btnClose")), Qt::LeftButton);
                } else if (how == QLatin1String("escape")) {
                    QTest::keyClick(dialog, Qt::Key_Escape);
                } else {
                    dialog->hide();
                    dialog->close();
                }
                // The event loop may free closed windows before it notices that the wait is over.
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            });
        };
        bool aliveAfterCheck = false;
        QString state;
        QCOMPARE(TestUtil::quitsDuring([&] {
                     dialog->check();
                     checking = false;
                     aliveAfterCheck = dialog && !dialog->isVisible();
                     state = dialog ? stateText(dialog) : QString();
                 }),
                 0);
        QVERIFY(!destroyedWhileChecking);
        QVERIFY(aliveAfterCheck);
        QCOMPARE(state, CheckingText); // no outcome for a dialog the person closed
        QTRY_VERIFY(dialog.isNull()); // freed once the check has returned
        QVERIFY(!QFile::exists(startLog()));
    }

    void helperThatFails_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("executable");
        const QByteArray offer = literal("1.0.0900", "1.0.1001");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not executable") << QByteArray("#!/bin/sh\nexit 0\n") << false;
        QTest::newRow("not a program") << QByteArray("\x7f"
                                                     "ELF broken")
                                       << true;
        // A failure's output is not taken for the version file, whatever it holds.
        QTest::newRow("fails after a version file") << "#!/bin/sh\nprintf '%s' '" + offer + "'\nexit 1\n" << true;
        QTest::newRow("killed after a version file") << "#!/bin/sh\nprintf '%s' '" + offer + "'\nkill -9 $$\n" << true;
        QTest::newRow("more than a version file") << QByteArray("#!/bin/sh\nhead -c 1048576 /dev/zero\n") << true;
    }

    void helperThatFails()
    {
        // A download helper that is missing, cannot run or fails counts as a failed download: the dialog says the
        // program is current, and the program runs on.
        QFETCH(QByteArray, content);
        QFETCH(bool, executable);
        const QString dir = root.filePath(QStringLiteral("fetcher ") + QLatin1String(QTest::currentDataTag()));
        QDir().mkpath(dir);
        if (!content.isEmpty()) {
            const QString path = QDir(dir).filePath(QStringLiteral("brisko-fetch"));
            QVERIFY(TestUtil::writeFile(path, content));
            QVERIFY(QFile::setPermissions(
                path, QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permissions())));
        }
        server.body = literal("1.0.1000", "1.0.1001");
        QPointer<UpdateDialog> dialog = makeDialog(updaterDir);
        dialog->setFetcherDir(dir);
        QCOMPARE(dialog->fetcherPath(), QDir(dir).filePath(QStringLiteral("brisko-fetch")));
        QCOMPARE(TestUtil::quitsDuring([&] { dialog->check(); }), 0);
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(stateText(dialog), CurrentText);
        QCOMPARE(visibleButtons(dialog), QStringList { QStringLiteral("确定") });
        QVERIFY(server.requests.isEmpty());
        QVERIFY(!QFile::exists(startLog()));
    }

    void helperIsEndedWithTheWait_data()
    {
        QTest::addColumn<bool>("closed");
        QTest::newRow("time-out") << false;
        QTest::newRow("dialog closed") << true;
    }

    void helperIsEndedWithTheWait()
    {
        // A helper that hangs is ended by the dialog, through its own handle, when the wait ends.
        QFETCH(bool, closed);
        const QString dir = root.filePath(QStringLiteral("hanging fetcher"));
        const QString pidFile = QDir(dir).filePath(QStringLiteral("pid"));
        QDir().mkpath(dir);
        const QString path = QDir(dir).filePath(QStringLiteral("brisko-fetch"));
        QVERIFY(
            TestUtil::writeFile(path, "#!/bin/sh\necho $$ > '" + QFile::encodeName(pidFile) + "'\nexec sleep 600\n"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QFile::remove(pidFile);
        QPointer<UpdateDialog> dialog = makeDialog(updaterDir);
        dialog->setFetcherDir(dir);
        dialog->setTimeout(closed ? 600000 : 500);
        bool started = false;
        QTimer poll;
        if (closed) {
            connect(&poll, &QTimer::timeout, dialog, [&] {
                if (!TestUtil::readFile(pidFile).trimmed().isEmpty()) {
                    started = true;
                    poll.stop();
                    QTest::keyClick(dialog, Qt::Key_Escape);
                }
            });
            poll.start(20);
        }
        dialog->check();
        const qint64 pid = TestUtil::readFile(pidFile).trimmed().toLongLong();
        QVERIFY(pid > 0);
        QCOMPARE(started, closed);
        // Ended and reaped by the time the check returns.
        QCOMPARE(::kill(pid_t(pid), 0), -1);
        QCOMPARE(errno, ESRCH);
        if (!closed) {
            QCOMPARE(stateText(dialog), CurrentText);
        }
    }

    void closingEndsTheDownload()
    {
        // The real helper, waiting on a server that never answers: closing the dialog ends it, and with it the
        // connection.
        server.mode = VersionServer::Mode::Silent;
        QPointer<UpdateDialog> dialog = makeDialog(updaterDir);
        dialog->setTimeout(600000);
        server.onRequest
            = [&] { QTimer::singleShot(0, dialog, [&] { button(dialog, QStringLiteral("确定"))->click(); }); };
        dialog->check();
        QCOMPARE(server.requests.size(), 1);
        QTRY_COMPARE(server.openConnections(), 0);
    }
};

QTEST_MAIN(TestUpdateDialog)
#include "tst_updatedialog.moc"
