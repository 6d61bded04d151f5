#include "clientconfig.h"
#include "testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestClientConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void missingFileGivesEmptyTextsAndCreatesNothing();
    void readsBothValues_data();
    void readsBothValues();
    void fileIsNeverChanged();
    void resolvedWhereItWasMade();
    void instanceIsMadeOnFirstUse();

private:
    QString m_startDir;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestClientConfig::init()
{
    m_startDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestClientConfig::cleanup()
{
    QDir::setCurrent(m_startDir);
    m_dir.reset();
}

void TestClientConfig::missingFileGivesEmptyTextsAndCreatesNothing()
{
    {
        ClientConfig config;
        QCOMPARE(config.getVersion(), QString());
        QCOMPARE(config.getUpdateUrl(), QString());
    }
    // Reading and destroying the reader leave the folder empty.
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("config.ocx"))));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestClientConfig::readsBothValues_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("url");

    QTest::newRow("both") << QByteArray("[Client]\nVersion=1.0.2\nUpdateUrl=http://update.example.com/brisko\n")
                          << QStringLiteral("1.0.2") << QStringLiteral("http://update.example.com/brisko");
    QTest::newRow("crlf and other keys")
        << QByteArray("[Other]\r\nVersion=9\r\n[Client]\r\nUpdateUrl=https://h.example/a?b=c\r\nVersion=1.0.2\r\n")
        << QStringLiteral("1.0.2") << QStringLiteral("https://h.example/a?b=c");
    QTest::newRow("only version") << QByteArray("[Client]\nVersion=1.0.0915\n") << QStringLiteral("1.0.0915")
                                  << QString();
    QTest::newRow("empty address") << QByteArray("[Client]\nVersion=1.0.0915\nUpdateUrl=\n")
                                   << QStringLiteral("1.0.0915") << QString();
    QTest::newRow("no client section") << QByteArray("[General]\nVersion=3\n") << QString() << QString();
    QTest::newRow("comma kept") << QByteArray("[Client]\nVersion=1.0.2\nUpdateUrl=http://h.example/a,b\n")
                                << QStringLiteral("1.0.2") << QStringLiteral("http://h.example/a,b");
    QTest::newRow("not ini") << QByteArray("\x00\x01\x02garbage\xff", 12) << QString() << QString();
}

void TestClientConfig::readsBothValues()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, version);
    QFETCH(QString, url);
    QVERIFY(TestUtil::writeFile(m_dir->filePath(QStringLiteral("config.ocx")), content));

    ClientConfig config;
    QCOMPARE(config.getVersion(), version);
    QCOMPARE(config.getUpdateUrl(), url);
}

void TestClientConfig::fileIsNeverChanged()
{
    const QByteArray content("; delivered\n[Client]\nVersion = 1.0.2\nUpdateUrl=http://u.example\n");
    const QString path = m_dir->filePath(QStringLiteral("config.ocx"));
    QVERIFY(TestUtil::writeFile(path, content));
    const QDateTime modified = QFileInfo(path).lastModified();
    {
        ClientConfig config;
        QCOMPARE(config.getVersion(), QStringLiteral("1.0.2"));
        QCOMPARE(config.getUpdateUrl(), QStringLiteral("http://u.example"));
    }
    QCOMPARE(TestUtil::readFile(path), content);
    QCOMPARE(QFileInfo(path).lastModified(), modified);
}

void TestClientConfig::resolvedWhereItWasMade()
{
    // Start-up makes the executable's folder the working directory before the settings are made; a later
    // change of the working directory does not move the file that is read.
    QVERIFY(TestUtil::writeFile(m_dir->filePath(QStringLiteral("config.ocx")),
                                "[Client]\nVersion=1.0.2\nUpdateUrl=http://a.example\n"));
    QTemporaryDir elsewhere;
    QVERIFY(TestUtil::writeFile(elsewhere.filePath(QStringLiteral("config.ocx")), "[Client]\nVersion=7\n"));

    ClientConfig config;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QCOMPARE(config.getVersion(), QStringLiteral("1.0.2"));
    QCOMPARE(config.getUpdateUrl(), QStringLiteral("http://a.example"));

    // A reader made there reads that folder's file.
    ClientConfig other;
    QCOMPARE(other.getVersion(), QStringLiteral("7"));
}

void TestClientConfig::instanceIsMadeOnFirstUse()
{
    QVERIFY(TestUtil::writeFile(m_dir->filePath(QStringLiteral("config.ocx")),
                                "[Client]\nVersion=1.0.0915\nUpdateUrl=http://b.example\n"));
    ClientConfig& config = ClientConfig::instance();
    QCOMPARE(&ClientConfig::instance(), &config);
    QTemporaryDir elsewhere;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QCOMPARE(ClientConfig::instance().getVersion(), QStringLiteral("1.0.0915"));
    QCOMPARE(ClientConfig::instance().getUpdateUrl(), QStringLiteral("http://b.example"));
}

QTEST_GUILESS_MAIN(TestClientConfig)
#include "tst_clientconfig.moc"
