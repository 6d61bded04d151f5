#include "aboutdialog.h"
#include "brisko-config.h"

#include <QLabel>
#include <QRegularExpression>
#include <QtTest>

class TestAboutDialog : public QObject
{
    Q_OBJECT

private slots:
    void form()
    {
        AboutDialog dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("AboutDialog"));
        QCOMPARE(dialog.size(), QSize(295, 150));
        QCOMPARE(dialog.titleText(), QStringLiteral("关于软件"));
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(dialog.findChildren<QLabel*>().size(), 6);
    }

    void labels_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("label") << QRect(30, 81, 54, 12) << QStringLiteral("意见反馈:");
        QTest::newRow("label_2") << QRect(30, 111, 54, 12) << QStringLiteral("交流论坛:");
        QTest::newRow("label_3") << QRect(100, 77, 111, 20)
                                 << QStringLiteral("QQ ") + QString::fromUtf8(BRISKO_FEEDBACK_QQ);
        QTest::newRow("label_4") << QRect(100, 109, 151, 16) << QString::fromUtf8(BRISKO_FORUM_URL);
        QTest::newRow("label_6") << QRect(30, 50, 61, 16) << QStringLiteral("Brisko桌面: ");
        QTest::newRow("label_7") << QRect(100, 50, 61, 16) << QStringLiteral("v1.0.0915");
    }

    void labels()
    {
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        AboutDialog dialog;
        auto* label = dialog.findChild<QLabel*>(QLatin1String(QTest::currentDataTag()));
        QVERIFY(label);
        QCOMPARE(label->geometry(), geometry);
        QCOMPARE(label->text(), text);
        // Plain text, so a deployer's address is shown as it stands and is no link.
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(!label->wordWrap());
    }

    void deploymentValuesHaveTheirForm()
    {
        AboutDialog dialog;
        QVERIFY(QRegularExpression(QStringLiteral("^QQ \\d+$"))
                    .match(dialog.findChild<QLabel*>(QStringLiteral("label_3"))->text())
                    .hasMatch());
        const QUrl forum(dialog.findChild<QLabel*>(QStringLiteral("label_4"))->text(), QUrl::StrictMode);
        QVERIFY(forum.isValid());
        QVERIFY(forum.scheme() == QLatin1String("http") || forum.scheme() == QLatin1String("https"));
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
