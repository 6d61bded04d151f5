#include "versionfile.h"
#include "versionserver.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace
{
/// What became of one run of the helper.
struct Run
{
    bool ended = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
} // namespace

/// The download helper brisko-fetch, run as the update dialog runs it, against a server in the test.
class TestFetch : public QObject
{
    Q_OBJECT

private:
    VersionServer server;
    QString address;

    /// Runs the helper with `arguments` while this thread's event loop serves its requests.
    Run fetch(const QStringList& arguments)
    {
        QProcess helper;
        helper.setProgram(QStringLiteral(BRISKO_FETCH));
        helper.setArguments(arguments);
        QSignalSpy finished(&helper, &QProcess::finished);
        helper.start();
        Run run;
        // Only a hang ends this wait: the helper gives up on its own after its time-out.
        run.ended = finished.wait(120000);
        if (!run.ended) {
            helper.kill();
            helper.waitForFinished();
        }
        run.exitCode = helper.exitStatus() == QProcess::NormalExit ? helper.exitCode() : -1;
        run.out = helper.readAllStandardOutput();
        run.err = helper.readAllStandardError();
        return run;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFileInfo(QStringLiteral(BRISKO_FETCH)).isExecutable());
        bypassProxies();
        QVERIFY(server.listen());
        address = QStringLiteral("http://127.0.0.1:%1/brisko/Server.htm").arg(server.port());
    }

    void init() { QVERIFY(server.reset()); }

    void cleanup() { server.dropConnections(); }

    void bodyIsWrittenAsItCame_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("a version file") << QByteArray(R"({MinVersion:"1.0.0900", MaxVersion:"1.0.1001"})");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("bytes of every value") << [] {
            QByteArray all;
            for (int i = 0; i < 256; ++i) {
                all += char(i);
            }
            return all;
        }();
        QTest::newRow("as large as a version file may be") << QByteArray(int(VersionFile::MaxBodyBytes), 'x');
    }

    void bodyIsWrittenAsItCame()
    {
        QFETCH(QByteArray, body);
        server.body = body;
        const Run run = fetch({ address });
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, body);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(server.requests, QList<QByteArray> { "GET /brisko/Server.htm HTTP/1.1" });
    }

    void failuresAreOneLineAndNoBody_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QByteArray>("reason");
        const int answer = int(VersionServer::Mode::Answer);
        const QByteArray literal = R"({MinVersion:"1.0.0900", MaxVersion:"1.0.1001"})";
        QTest::newRow("one byte past the limit")
            << answer << QByteArray("200 OK") << QByteArray(int(VersionFile::MaxBodyBytes) + 1, 'x') << QString()
            << QByteArray("larger than 65536 bytes");
        QTest::newRow("an error page, even one that reads as a version file")
            << answer << QByteArray("404 Not Found") << literal << QString() << QByteArray("Not Found");
        QTest::newRow("a server error") << answer << QByteArray("500 Internal Server Error") << QByteArray("oops")
                                        << QString() << QByteArray("Internal Server Error");
        QTest::newRow("sends megabytes") << int(VersionServer::Mode::Endless) << QByteArray() << QByteArray()
                                         << QString() << QByteArray("larger than 65536 bytes");
        QTest::newRow("accepts and never answers") << int(VersionServer::Mode::Silent) << QByteArray() << QByteArray()
                                                   << QStringLiteral("500") << QByteArray("no answer within 500 ms");
        QTest::newRow("trickles") << int(VersionServer::Mode::Trickle) << QByteArray() << QByteArray()
                                  << QStringLiteral("500") << QByteArray("no answer within 500 ms");
        QTest::newRow("refuses the connection")
            << -1 << QByteArray() << QByteArray() << QString() << QByteArray("refused");
    }

    void failuresAreOneLineAndNoBody()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, timeout);
        QFETCH(QByteArray, reason);
        if (mode < 0) {
            server.stopListening();
        } else {
            server.mode = VersionServer::Mode(mode);
            server.status = status;
            server.body = body;
        }
        QStringList arguments { address };
        if (!timeout.isEmpty()) {
            arguments = QStringList { QStringLiteral("--timeout"), timeout, address };
        }
        const Run run = fetch(arguments);
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(run.err.startsWith("brisko-fetch: ") && run.err.endsWith('\n') && run.err.count('\n') == 1,
                 run.err.constData());
        QVERIFY2(run.err.contains(reason), run.err.constData());
        if (mode == int(VersionServer::Mode::Endless)) {
            // Given up long before the server had sent its body.
            QVERIFY2(server.endlessSent < VersionServer::EndlessSize, qPrintable(QString::number(server.endlessSent)));
        }
    }

    void wrongCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("nothing") << QStringList() << 2;
        QTest::newRow("two addresses") << QStringList { QStringLiteral("http://a/"), QStringLiteral("http://b/") } << 2;
        QTest::newRow("time-out without address")
            << QStringList { QStringLiteral("--timeout"), QStringLiteral("5") } << 2;
        QTest::newRow("time-out not a number")
            << QStringList { QStringLiteral("--timeout"), QStringLiteral("soon"), QStringLiteral("http://a/") } << 2;
        QTest::newRow("time-out zero") << QStringList {
            QStringLiteral("--timeout"), QStringLiteral("0"), QStringLiteral("http://a/")
        } << 2;
        QTest::newRow("an unknown option")
            << QStringList { QStringLiteral("--quiet"), QStringLiteral("http://a/") } << 2;
        // No update address stored: the dialog asks for "/Server.htm".
        QTest::newRow("no address") << QStringList { QStringLiteral("/Server.htm") } << 1;
        QTest::newRow("an unknown kind of address") << QStringList { QStringLiteral("gopher://127.0.0.1/") } << 1;
    }

    void wrongCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const Run run = fetch(arguments);
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(run.err.startsWith("brisko-fetch: ") && run.err.count('\n') == 1, run.err.constData());
        QVERIFY(server.requests.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFetch)
#include "tst_fetch.moc"
