#include "singleinstance.h"
#include "testutil.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
/// Helper process: takes the gate or the instance lock in `folder`, says "locked" and holds it until its
/// standard input closes (or it is killed).
int holdLock(const char* which, const char* folder)
{
    SingleInstance instance(QString::fromLocal8Bit(folder));
    const bool taken =
        std::strcmp(which, "gate") == 0 ? instance.acquireGate() : instance.tryLockInstance();
    std::printf("%s\n", taken ? "locked" : "refused");
    std::fflush(stdout);
    if (!taken) {
        return 1;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstCopyRuns();
    void secondProcessIsRefused();
    void lockThatCannotBeMadeIsNoOtherCopy();
    void killedCopyIsRecovered();
    void copyWithReplacedExecutableKeepsItsLock();
    void gateWaitsForItsHolder();
    void gateLeftByKilledCopyIsRecovered();
    void unreadableLeftoverIsRecovered_data();
    void unreadableLeftoverIsRecovered();
    void lockFolderIsPrivate();

private:
    QProcess* startHolder(const QString& which, const QString& program = QString());
    void stopHolder(QProcess* holder);

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QProcess*> m_holders;
};

void TestSingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSingleInstance::cleanup()
{
    for (QProcess* holder : m_holders) {
        if (holder->state() != QProcess::NotRunning) {
            holder->kill();
            holder->waitForFinished(10000);
        }
        delete holder;
    }
    m_holders.clear();
    m_dir.reset();
}

QProcess* TestSingleInstance::startHolder(const QString& which, const QString& program)
{
    auto* holder = new QProcess;
    m_holders.append(holder);
    holder->start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program,
                  {QStringLiteral("--hold"), which, m_dir->path()});
    if (!holder->waitForStarted(30000)) {
        return nullptr;
    }
    while (!holder->canReadLine()) {
        if (!holder->waitForReadyRead(30000)) {
            return nullptr;
        }
    }
    return holder->readLine().trimmed() == "locked" ? holder : nullptr;
}

void TestSingleInstance::stopHolder(QProcess* holder)
{
    holder->closeWriteChannel();
    QVERIFY(holder->waitForFinished(30000));
    QCOMPARE(holder->exitCode(), 0);
}

void TestSingleInstance::firstCopyRuns()
{
    {
        SingleInstance instance(m_dir->path());
        QVERIFY(instance.acquireGate());
        QVERIFY(instance.tryLockInstance());
        QVERIFY(instance.holdsInstance());
        instance.releaseGate();
        QVERIFY(!QFileInfo::exists(instance.gatePath()));
        QVERIFY(QFileInfo::exists(instance.instancePath()));
        QCOMPARE(QFileInfo(instance.gatePath()).fileName(), QStringLiteral("JAMKey.lock"));
        QCOMPARE(QFileInfo(instance.instancePath()).fileName(), QStringLiteral("Shelfmate_Object.lock"));

        // A second copy in the same folder is refused while the first runs.
        SingleInstance second(m_dir->path());
        QVERIFY(second.acquireGate());
        QVERIFY(!second.tryLockInstance());
        QVERIFY(!second.holdsInstance());
    }
    // Ending the run removes both marks.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestSingleInstance::secondProcessIsRefused()
{
    QProcess* holder = startHolder(QStringLiteral("instance"));
    QVERIFY(holder);

    SingleInstance instance(m_dir->path());
    QVERIFY(!instance.tryLockInstance());
    QVERIFY(!instance.tryLockInstance());
    QVERIFY(instance.otherCopyRuns());

    // Once the running copy ends, the next start runs.
    stopHolder(holder);
    QVERIFY(instance.tryLockInstance());
    QVERIFY(!instance.otherCopyRuns());
}

void TestSingleInstance::lockThatCannotBeMadeIsNoOtherCopy()
{
    // A lock folder that is missing (or full, or not writable) says nothing about another copy: the start is
    // not refused as if one ran.
    SingleInstance instance(m_dir->filePath(QStringLiteral("missing")));
    QVERIFY(!instance.acquireGate());
    QVERIFY(!instance.tryLockInstance());
    QVERIFY(!instance.holdsInstance());
    QVERIFY(!instance.otherCopyRuns());
}

void TestSingleInstance::killedCopyIsRecovered()
{
    QProcess* holder = startHolder(QStringLiteral("instance"));
    QVERIFY(holder);
    holder->kill(); // SIGKILL: no clean-up runs in the holder
    QVERIFY(holder->waitForFinished(30000));
    QCOMPARE(holder->exitStatus(), QProcess::CrashExit);

    SingleInstance instance(m_dir->path());
    QVERIFY(QFileInfo::exists(instance.instancePath())); // left behind
    QVERIFY(instance.tryLockInstance());
}

void TestSingleInstance::copyWithReplacedExecutableKeepsItsLock()
{
    // A running copy whose executable was rebuilt (the file it runs from is gone) still holds its lock, even
    // though its process no longer looks like the program that wrote the lock.
    QTemporaryDir bin;
    const QString copy = bin.filePath(QStringLiteral("brisko-copy"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcess* holder = startHolder(QStringLiteral("instance"), copy);
    QVERIFY(holder);
    QVERIFY(QFile::remove(copy));

    SingleInstance instance(m_dir->path());
    QVERIFY(!instance.tryLockInstance());
    QVERIFY(QFileInfo::exists(instance.instancePath()));
    stopHolder(holder);
    QVERIFY(instance.tryLockInstance());
}

void TestSingleInstance::gateWaitsForItsHolder()
{
    QProcess* holder = startHolder(QStringLiteral("gate"));
    QVERIFY(holder);

    SingleInstance instance(m_dir->path());
    std::atomic<bool> acquired{false};
    std::thread waiter([&] { acquired = instance.acquireGate(); });
    QTest::qWait(500);
    const bool waitedWhileHeld = !acquired;

    holder->closeWriteChannel(); // the holder releases the gate and ends
    QVERIFY(holder->waitForFinished(30000));
    waiter.join();
    QVERIFY(waitedWhileHeld);
    QVERIFY(acquired);
}

void TestSingleInstance::gateLeftByKilledCopyIsRecovered()
{
    QProcess* holder = startHolder(QStringLiteral("gate"));
    QVERIFY(holder);
    holder->kill();
    QVERIFY(holder->waitForFinished(30000));

    SingleInstance instance(m_dir->path());
    std::atomic<bool> acquired{false};
    std::thread waiter([&] { acquired = instance.acquireGate(); });
    waiter.join(); // returns promptly; a wait for ever would hit the test's time limit
    QVERIFY(acquired);
}

void TestSingleInstance::unreadableLeftoverIsRecovered_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\xff\xfe not a lock\n");
}

void TestSingleInstance::unreadableLeftoverIsRecovered()
{
    // A copy killed between making a lock file and writing its owner into it leaves a file nobody owns.
    QFETCH(QByteArray, content);
    SingleInstance instance(m_dir->path());
    for (const QString& path : {instance.gatePath(), instance.instancePath()}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    }
    std::atomic<bool> acquired{false};
    std::thread waiter([&] { acquired = instance.acquireGate(); });
    waiter.join();
    QVERIFY(acquired);
    QVERIFY(instance.tryLockInstance());
}

void TestSingleInstance::lockFolderIsPrivate()
{
    // With a runtime folder from the session, the locks live there.
    QTemporaryDir runtime;
    QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray runtimePath = QFile::encodeName(runtime.path());
    const QByteArray tmpPath = QFile::encodeName(m_dir->path());
    {
        const TestUtil::EnvGuard xdg("XDG_RUNTIME_DIR", runtimePath);
        QCOMPARE(SingleInstance::lockFolder(), runtime.path());
    }

    // Without one (or with one anybody may enter), a private folder of the user in the temporary folder.
    const QString own = m_dir->path() + QStringLiteral("/brisko-") + QString::number(::getuid());
    {
        const TestUtil::EnvGuard tmp("TMPDIR", tmpPath);
        const TestUtil::EnvGuard xdg("XDG_RUNTIME_DIR");
        QCOMPARE(SingleInstance::lockFolder(), own);
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(own).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
    }
    {
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                          | QFile::ReadOther | QFile::ExeOther));
        const TestUtil::EnvGuard tmp("TMPDIR", tmpPath);
        const TestUtil::EnvGuard xdg("XDG_RUNTIME_DIR", runtimePath);
        QCOMPARE(SingleInstance::lockFolder(), own);
    }

    // A folder of that name that is not private (made by somebody else, or opened up) is not used.
    QVERIFY(QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                           | QFile::WriteOther | QFile::ExeOther));
    {
        const TestUtil::EnvGuard tmp("TMPDIR", tmpPath);
        const TestUtil::EnvGuard xdg("XDG_RUNTIME_DIR");
        const QString folder = SingleInstance::lockFolder();
        QVERIFY(folder != own);
        QVERIFY(folder.startsWith(QDir::homePath()) || folder.startsWith(qEnvironmentVariable("XDG_CACHE_HOME")));
    }
}

int main(int argc, char* argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "--hold") == 0) {
        QCoreApplication app(argc, argv);
        return holdLock(argv[2], argv[3]);
    }
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
