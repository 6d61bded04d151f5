#include "mainwindowfixture.h"

#include "platform.h"
#include "qqtree.h"
#include "qskinmenu.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

MainWindowFixture::~MainWindowFixture()
{
    Platform::setOpenHandler({});
}

void MainWindowFixture::MenuChoice::arm(QQDialog* window, const QString& entry)
{
    poll = TestUtil::answerPopup(
        [this, window, entry](QWidget* popup) {
            if (const auto* menu = window->findChild<QSkinMenu*>()) {
                texts = menu->texts();
                ids = menu->ids();
            }
            const int row = int(texts.indexOf(entry));
            if (entry.isEmpty() || row < 0) {
                QTest::keyClick(popup, Qt::Key_Escape);
                return;
            }
            for (int i = 0; i <= row; ++i) {
                QTest::keyClick(popup, Qt::Key_Down);
            }
            QTest::keyClick(popup, Qt::Key_Return);
        },
        &answered);
}

TestUtil::Poll MainWindowFixture::answerNotices(QString& title, QString& text)
{
    return TestUtil::answerEachModal([&title, &text](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            title = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
            dialog->reject();
        }
    });
}

void MainWindowFixture::openCatalogue()
{
    QVERIFY(files.isValid());
    IconDatabase::instance().openDatabase();
    db = IconDatabase::instance();
    QVERIFY2(db.isUsable(), qPrintable(db.errorText()));
}

void MainWindowFixture::recordOpens()
{
    Platform::setOpenHandler([this](const QString& target) {
        opened.append(target);
        return openSucceeds;
    });
}

void MainWindowFixture::startEmpty()
{
    opened.clear();
    openSucceeds = true;
    clearCatalogue();
}

void MainWindowFixture::clearCatalogue()
{
    QVERIFY(db.execSql(QStringLiteral("DELETE FROM icon_item")));
    QVERIFY(db.execSql(QStringLiteral("DELETE FROM team")));
}

QString MainWindowFixture::makeFile(const QString& name, const QByteArray& content)
{
    const QString path = files.filePath(name);
    TestUtil::writeFile(path, content);
    return path;
}

std::unique_ptr<QQDialog> MainWindowFixture::makeWindow(Show show, std::optional<QPoint> at)
{
    auto w = std::make_unique<QQDialog>();
    // The test owns the window; closing it must not free it.
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    if (at) {
        w->move(*at);
    }
    if (show == Show::Hidden) {
        return w;
    }
    w->show();
    if (show == Show::Active) {
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get())) {
            qWarning("window not active");
        }
    } else if (!QTest::qWaitForWindowExposed(w.get())) {
        qWarning("window not exposed");
    }
    return w;
}

QQTree* MainWindowFixture::tree(QQDialog* w, const char* name)
{
    return w->findChild<QQTree*>(QLatin1String(name));
}

int MainWindowFixture::storedCount()
{
    QList<IconItemInfo> all;
    db.getItemsByType(all, en_team_icon);
    return int(all.size());
}

void MainWindowFixture::rightClick(QQDialog* w, bool sites, int teamid, int itemid)
{
    if (sites) {
        w->onSiteTreeRClicked(teamid, itemid);
    } else {
        w->onTreeRClicked(teamid, itemid);
    }
}

void MainWindowFixture::treeCommand(QQDialog* w, bool sites, int teamid, int itemid, const QString& entry)
{
    MenuChoice menu;
    menu.arm(w, entry);
    rightClick(w, sites, teamid, itemid);
    QVERIFY(menu.answered);
    QVERIFY2(menu.texts.contains(entry), qPrintable(menu.texts.join(QLatin1Char(','))));
}
