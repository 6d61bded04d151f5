#include "platform.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace
{
/// Helper process. "ignored": SIGHUP is ignored when the program starts; prints how many requests SIGHUP and
/// then SIGTERM made. "default": the handler is dropped again and SIGTERM is raised.
int helper(const char* mode)
{
    if (std::strcmp(mode, "ignored") == 0) {
        std::signal(SIGHUP, SIG_IGN);
        int requests = 0;
        Platform::onTerminationRequest([&requests] { ++requests; });
        std::raise(SIGHUP);
        QCoreApplication::processEvents();
        const int afterHup = requests;
        std::raise(SIGTERM);
        for (int i = 0; i < 100 && requests == afterHup; ++i) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        std::printf("%d %d\n", afterHup, requests - afterHup);
        return 0;
    }
    Platform::onTerminationRequest([] {});
    Platform::onTerminationRequest({});
    std::raise(SIGTERM);
    return 0; // not reached: SIGTERM ends the process
}
} // namespace

class TestTerminationRequest : public QObject
{
    Q_OBJECT

private slots:
    void requestRunsInTheEventLoop_data();
    void requestRunsInTheEventLoop();
    void signalIgnoredAtStartStaysIgnored();
    void emptyHandlerGivesTheDefaultBack();
    void cleanupTestCase();

private:
    QProcess* runHelper(QProcess& process, const char* mode);
};

QProcess* TestTerminationRequest::runHelper(QProcess& process, const char* mode)
{
    process.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--helper"), QLatin1String(mode) });
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(30000);
        return nullptr;
    }
    return &process;
}

void TestTerminationRequest::requestRunsInTheEventLoop_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestTerminationRequest::requestRunsInTheEventLoop()
{
    QFETCH(int, signo);
    int requests = 0;
    QVERIFY(Platform::onTerminationRequest([&requests] { ++requests; }));
    std::raise(signo); // the process lives on
    // Not run inside the signal handler, where almost nothing may be called: only once the loop runs.
    QCOMPARE(requests, 0);
    QTRY_COMPARE(requests, 1);
    QVERIFY(Platform::onTerminationRequest({}));
}

void TestTerminationRequest::signalIgnoredAtStartStaysIgnored()
{
    // Started with `nohup`: closing the terminal must not end the program; a SIGTERM still does.
    QProcess process;
    QVERIFY(runHelper(process, "ignored"));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.readAllStandardOutput().trimmed(), QByteArray("0 1"));
}

void TestTerminationRequest::emptyHandlerGivesTheDefaultBack()
{
    QProcess process;
    QVERIFY(runHelper(process, "default"));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
}

void TestTerminationRequest::cleanupTestCase()
{
    Platform::onTerminationRequest({});
}

int main(int argc, char* argv[])
{
    // The test sets its own start: a runner started as a background job would pass SIGINT on ignored.
    for (const int signo : { SIGTERM, SIGINT, SIGHUP }) {
        std::signal(signo, SIG_DFL);
    }
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--helper") == 0) {
        return helper(argv[2]);
    }
    TestTerminationRequest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_terminationrequest.moc"
