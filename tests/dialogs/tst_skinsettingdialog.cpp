#include "qskinbutton.h"
#include "skinpath.h"
#include "skinsettingdialog.h"

#include <QSignalSpy>
#include <QtTest>

class TestSkinSettingDialog : public QObject
{
    Q_OBJECT

private slots:
    void form()
    {
        SkinSettingDialog dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("SkinSettingDialog"));
        QCOMPARE(dialog.size(), QSize(352, 150));
        QCOMPARE(dialog.titleText(), QStringLiteral("皮肤设置"));
        QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(dialog.findChildren<QSkinButton*>(QString(), Qt::FindDirectChildrenOnly).size(), 4 + 2); // + title bar
        // Opened, no preview carries a focus frame (it would look like the skin in use).
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (QSkinButton* button : { dialog.btnSkin1, dialog.btnSkin2, dialog.btnSkin3, dialog.btnSkin4 }) {
            QVERIFY(!button->hasFocus());
        }
    }

    void previews_data()
    {
        QTest::addColumn<int>("skin");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("btnSkin1") << 1 << QRect(10, 50, 80, 80);
        QTest::newRow("btnSkin2") << 2 << QRect(94, 50, 80, 80);
        QTest::newRow("btnSkin3") << 3 << QRect(178, 50, 80, 80);
        QTest::newRow("btnSkin4") << 4 << QRect(262, 50, 80, 80);
    }

    void previews()
    {
        QFETCH(int, skin);
        QFETCH(QRect, geometry);
        SkinSettingDialog dialog;
        dialog.show();
        QSkinButton* const buttons[] = { dialog.btnSkin1, dialog.btnSkin2, dialog.btnSkin3, dialog.btnSkin4 };
        QSkinButton* button = buttons[skin - 1];
        QVERIFY(button);
        QCOMPARE(button->parentWidget(), &dialog);
        QCOMPARE(button->getId(), skin);
        QCOMPARE(button->geometry(), geometry);
        QCOMPARE(button->btnStyle(), int(QSkinButton::StylePreview));
        // The preview drawn for that skin, from the run-time Skins folder.
        QVERIFY(button->hasImage());
        QVERIFY(QFile::exists(SkinPath::resolve(QStringLiteral("Skins\\main_bg\\%1\\view.png").arg(skin))));

        QSignalSpy clicked(button, &QSkinButton::clickedex);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.at(0).at(0).value<QSkinButton*>(), button);
        QVERIFY(dialog.isVisible()); // the picker stays open
    }

    void missingPreviewStillClicks()
    {
        // Without the Skins folder the buttons have no picture; their ids and clicks still work.
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        SkinSettingDialog dialog;
        QVERIFY(QDir::setCurrent(before));
        dialog.show();
        QVERIFY(!dialog.btnSkin3->hasImage());
        QCOMPARE(dialog.btnSkin3->getId(), 3);
        QSignalSpy clicked(dialog.btnSkin3, &QSkinButton::clickedex);
        QTest::mouseClick(dialog.btnSkin3, Qt::LeftButton);
        QCOMPARE(clicked.size(), 1);
    }
};

QTEST_MAIN(TestSkinSettingDialog)
#include "tst_skinsettingdialog.moc"
