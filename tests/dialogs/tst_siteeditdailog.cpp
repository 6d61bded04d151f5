#include "siteeditdailog.h"
#include "testutil.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace
{
/// Answers each modal window as it comes up with the next step (a window that comes back after a box on top
/// of it counts again) and notes the class of each; windows beyond the steps are rejected.
struct Steps
{
    QList<std::function<void(QWidget*)>> steps;
    QStringList seen;
    TestUtil::Poll poll;

    void start()
    {
        poll = TestUtil::answerEachModal([this](QWidget* w) {
            seen.append(QString::fromLatin1(w->metaObject()->className()));
            const int step = int(seen.size()) - 1;
            if (step < steps.size()) {
                steps.at(step)(w);
            } else {
                static_cast<QDialog*>(w)->reject();
            }
        });
    }
};

QLineEdit* edit(QWidget* w, const char* name)
{
    return w->findChild<QLineEdit*>(QLatin1String(name));
}

QPushButton* saveButton(QWidget* w)
{
    return w->findChild<QPushButton*>(QStringLiteral("btnNormal"));
}

/// Presses "保存" once the current answer has returned, so the notice it may open is answered in turn.
void pressSaveLater(QWidget* w)
{
    QMetaObject::invokeMethod(saveButton(w), &QPushButton::click, Qt::QueuedConnection);
}
} // namespace

class TestSiteEditDailog : public QObject
{
    Q_OBJECT

private slots:
    void form()
    {
        SiteEditDailog dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("SiteEditDailog"));
        QCOMPARE(dialog.size(), QSize(250, 156));
        QCOMPARE(dialog.titleText(), QStringLiteral("添加网址"));
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        const struct
        {
            const char* name;
            QRect geometry;
            const char* text;
        } widgets[] = {
            { "btnNormal", { 99, 120, 64, 25 }, "保存" },    { "label", { 20, 52, 54, 12 }, "名称\uFF1A" },
            { "label_2", { 20, 83, 54, 12 }, "网址\uFF1A" }, { "editName", { 70, 50, 151, 20 }, "" },
            { "editSite", { 70, 80, 151, 20 }, "" },
        };
        for (const auto& expected : widgets) {
            auto* w = dialog.findChild<QWidget*>(QLatin1String(expected.name));
            QVERIFY2(w, expected.name);
            QCOMPARE(w->geometry(), expected.geometry);
            const QVariant text = w->property("text");
            QCOMPARE(text.toString(), QString::fromUtf8(expected.text));
        }
        QCOMPARE(dialog.getName(), QString());
        QCOMPARE(dialog.getSite(), QString());
    }

    void emptyFieldsAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("site");
        QTest::newRow("name only") << QStringLiteral("新闻") << QString();
        QTest::newRow("address only") << QString() << QStringLiteral("https://example.org");
        QTest::newRow("both empty") << QString() << QString();
    }

    void emptyFieldsAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, site);
        SiteEditDailog dialog;
        QStringList notices;
        QList<int> buttonsShown;
        QStringList namesAfter;
        QStringList sitesAfter;
        const auto notice = [&](QWidget* box) {
            notices.append(box->findChild<QLabel*>(QStringLiteral("label"))->text());
            int shown = 0;
            for (QPushButton* button : box->findChildren<QPushButton*>()) {
                if (button->isVisible()) {
                    ++shown;
                    notices.last() += QLatin1Char('|') + button->text();
                }
            }
            buttonsShown.append(shown);
            static_cast<QDialog*>(box)->accept();
        };
        // The dialog comes back after each notice, open and with its fields as they were: press again.
        const auto back = [&](QWidget* w) {
            namesAfter.append(edit(w, "editName")->text());
            sitesAfter.append(edit(w, "editSite")->text());
            if (namesAfter.size() == 1) {
                pressSaveLater(w);
            } else {
                static_cast<QDialog*>(w)->reject();
            }
        };
        Steps steps;
        steps.steps = { [&](QWidget* w) {
                           edit(w, "editName")->setText(name);
                           edit(w, "editSite")->setText(site);
                           pressSaveLater(w);
                       },
                        notice,
                        back,
                        notice,
                        back };
        steps.start();
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(steps.seen,
                 (QStringList {
                     "SiteEditDailog", "QSkinMessageBox", "SiteEditDailog", "QSkinMessageBox", "SiteEditDailog" }));
        QCOMPARE(notices, QStringList(2, QStringLiteral("请填写内容再保存!|确定")));
        QCOMPARE(buttonsShown, (QList<int> { 1, 1 }));
        QCOMPARE(namesAfter, QStringList(2, name));
        QCOMPARE(sitesAfter, QStringList(2, site));
    }

    void acceptedEntries_data()
    {
        QTest::addColumn<QString>("presetName");
        QTest::addColumn<QString>("presetSite");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("site");
        QTest::newRow("blanks are content") << QString() << QString() << QStringLiteral(" ") << QStringLiteral(" ");
        QTest::newRow("address without a scheme")
            << QString() << QString() << QStringLiteral("例子") << QStringLiteral("example.org/路径 a%20b");
        QTest::newRow("any text as address")
            << QString() << QString() << QStringLiteral("x") << QStringLiteral("not an address, at all'");
        QTest::newRow("edit accepted unchanged")
            << QStringLiteral("新闻") << QStringLiteral("https://news.example.org") << QString() << QString();
        QTest::newRow("edit changed") << QStringLiteral("新闻") << QStringLiteral("https://news.example.org")
                                      << QStringLiteral("报纸") << QStringLiteral("http://paper.example");
    }

    void acceptedEntries()
    {
        QFETCH(QString, presetName);
        QFETCH(QString, presetSite);
        QFETCH(QString, name);
        QFETCH(QString, site);
        SiteEditDailog dialog;
        const bool editing = !presetName.isNull();
        if (editing) {
            dialog.setWindowTitle(QStringLiteral("修改网址"));
            dialog.setName(presetName);
            dialog.setSite(presetSite);
        }
        QString shownName;
        QString shownSite;
        Steps steps;
        steps.steps = { [&](QWidget* w) {
            shownName = edit(w, "editName")->text();
            shownSite = edit(w, "editSite")->text();
            if (!name.isNull()) {
                edit(w, "editName")->setText(name);
                edit(w, "editSite")->setText(site);
            }
            saveButton(w)->click();
        } };
        steps.start();
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(steps.seen, QStringList { "SiteEditDailog" });
        QCOMPARE(shownName, presetName);
        QCOMPARE(shownSite, presetSite);
        QCOMPARE(dialog.getName(), editing && name.isNull() ? presetName : name);
        QCOMPARE(dialog.getSite(), editing && site.isNull() ? presetSite : site);
        QCOMPARE(dialog.titleText(), editing ? QStringLiteral("修改网址") : QStringLiteral("添加网址"));
    }

    void completedFromTheKeyboard_data()
    {
        QTest::addColumn<int>("lastKey");
        QTest::addColumn<int>("result");
        QTest::newRow("return saves") << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("enter saves") << int(Qt::Key_Enter) << int(QDialog::Accepted);
        QTest::newRow("escape cancels") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }

    void completedFromTheKeyboard()
    {
        QFETCH(int, lastKey);
        QFETCH(int, result);
        SiteEditDailog dialog;
        QList<QWidget*> focusWalk;
        Steps steps;
        steps.steps = { [&](QWidget* w) {
            // Typing goes to the name at once; Tab walks name, address, button and back to the name.
            focusWalk.append(QApplication::focusWidget());
            for (int i = 0; i < 3; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                focusWalk.append(QApplication::focusWidget());
            }
            // Typed only into the fields: a key on the button with empty fields would open the notice.
            QLineEdit* name = edit(w, "editName");
            QLineEdit* site = edit(w, "editSite");
            if (focusWalk.first() == name && focusWalk.last() == name) {
                QTest::keyClicks(name, QStringLiteral("News"));
                QTest::keyClick(name, Qt::Key_Tab);
                if (QApplication::focusWidget() == site) {
                    QTest::keyClicks(site, QStringLiteral("example.org"));
                    QTest::keyClick(site, Qt::Key(lastKey));
                }
            }
            if (w->isVisible()) {
                static_cast<QDialog*>(w)->done(-1);
            }
        } };
        steps.start();
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(steps.seen, QStringList { "SiteEditDailog" });
        const QList<QWidget*> expectedWalk
            = { edit(&dialog, "editName"), edit(&dialog, "editSite"), saveButton(&dialog), edit(&dialog, "editName") };
        QCOMPARE(focusWalk, expectedWalk);
        QCOMPARE(dialog.getName(), QStringLiteral("News"));
        QCOMPARE(dialog.getSite(), QStringLiteral("example.org"));
    }
};

QTEST_MAIN(TestSiteEditDailog)
#include "tst_siteeditdailog.moc"
