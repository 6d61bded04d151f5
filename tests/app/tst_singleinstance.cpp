#include "singleinstance.h"
#include "testutil.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using Outcome = SingleInstance::Outcome;

namespace
{
const char* outcomeName(SingleInstance::Outcome outcome)
{
    switch (outcome) {
    case SingleInstance::Outcome::Taken:
        return "taken";
    case SingleInstance::Outcome::RunningCopy:
        return "running copy";
    case SingleInstance::Outcome::Blocked:
        return "blocked";
    case SingleInstance::Outcome::CannotMake:
        return "cannot make";
    }
    return "?";
}

/// Helper process: takes the gate or the instance lock in `folder`, says "locked" and holds it until its
/// standard input closes (or it is killed).
int holdLock(const char* which, const char* folder)
{
    SingleInstance instance(QString::fromLocal8Bit(folder));
    const bool taken = (std::strcmp(which, "gate") == 0 ? instance.acquireGate() : instance.tryLockInstance())
        == SingleInstance::Outcome::Taken;
    std::printf("%s\n", taken ? "locked" : "refused");
    std::fflush(stdout);
    if (!taken) {
        return 1;
    }
    std::string line;
    while (std::getline(std::cin, line)) { }
    return 0;
}

/// Helper process: one attempt at the gate (with a short patience) or the instance lock in `folder`; prints the
/// outcome and the problem on two lines. A helper, so that a start that would wait for ever can be stopped.
int tryLock(const char* which, const char* folder)
{
    SingleInstance instance(QString::fromLocal8Bit(folder));
    const bool gate = std::strcmp(which, "gate") == 0;
    const SingleInstance::Outcome outcome = gate ? instance.acquireGate(200) : instance.tryLockInstance();
    const QString problem = gate ? instance.gateProblem() : instance.instanceProblem();
    std::printf("%s\n%s\n", outcomeName(outcome), qUtf8Printable(problem));
    return 0;
}

/// A pid no process has (beyond every system's pid range).
constexpr qint64 kGonePid = 2147483000;

/// What QLockFile writes: pid, program name, host name.
QByteArray lockContent(qint64 pid, const QString& program = QStringLiteral("brisko"))
{
    return QByteArray::number(pid) + "\n" + program.toUtf8() + "\n" + QSysInfo::machineHostName().toUtf8() + "\n";
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
    void lockNoRunningCopyHoldsIsReported_data();
    void lockNoRunningCopyHoldsIsReported();
    void lockNamingAProcessThatHoldsNothingIsRecovered_data();
    void lockNamingAProcessThatHoldsNothingIsRecovered();
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
    /// Runs one attempt in a helper process; "hung" when it did not end.
    QString tryInHelper(const QString& which, QString* problem = nullptr);

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
    // A fixture may have made the folder read-only.
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
                  { QStringLiteral("--hold"), which, m_dir->path() });
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

QString TestSingleInstance::tryInHelper(const QString& which, QString* problem)
{
    QProcess helper;
    helper.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--try"), which, m_dir->path() });
    // Generous: the attempt itself takes a fraction of a second; only a start that waits for ever runs out.
    if (!helper.waitForFinished(120000)) {
        helper.kill();
        helper.waitForFinished(30000);
        return QStringLiteral("hung");
    }
    const QStringList lines = QString::fromUtf8(helper.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (problem) {
        *problem = lines.value(1);
    }
    return lines.value(0);
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
        QCOMPARE(instance.acquireGate(), Outcome::Taken);
        QCOMPARE(instance.tryLockInstance(), Outcome::Taken);
        QVERIFY(instance.holdsInstance());
        instance.releaseGate();
        QVERIFY(!QFileInfo::exists(instance.gatePath()));
        QVERIFY(QFileInfo::exists(instance.instancePath()));
        QCOMPARE(QFileInfo(instance.gatePath()).fileName(), QStringLiteral("JAMKey.lock"));
        QCOMPARE(QFileInfo(instance.instancePath()).fileName(), QStringLiteral("Shelfmate_Object.lock"));

        // A second copy in the same folder is refused while the first runs.
        SingleInstance second(m_dir->path());
        QCOMPARE(second.acquireGate(), Outcome::Taken);
        QCOMPARE(second.tryLockInstance(), Outcome::RunningCopy);
        QVERIFY(!second.holdsInstance());
        QCOMPARE(second.instanceProblem(), QString());
    }
    // Ending the run removes both marks.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestSingleInstance::secondProcessIsRefused()
{
    QProcess* holder = startHolder(QStringLiteral("instance"));
    QVERIFY(holder);

    SingleInstance instance(m_dir->path());
    QCOMPARE(instance.tryLockInstance(), Outcome::RunningCopy);
    QCOMPARE(instance.tryLockInstance(), Outcome::RunningCopy);

    // Once the running copy ends, the next start runs.
    stopHolder(holder);
    QCOMPARE(instance.tryLockInstance(), Outcome::Taken);
}

void TestSingleInstance::lockThatCannotBeMadeIsNoOtherCopy()
{
    // A lock folder that is missing (or full, or not writable) says nothing about another copy: the start is
    // not refused as if one ran.
    SingleInstance instance(m_dir->filePath(QStringLiteral("missing")));
    QCOMPARE(instance.acquireGate(), Outcome::CannotMake);
    QCOMPARE(instance.tryLockInstance(), Outcome::CannotMake);
    QVERIFY(!instance.holdsInstance());
    QVERIFY(!instance.gateProblem().isEmpty());
    QVERIFY(!instance.instanceProblem().isEmpty());
}

void TestSingleInstance::lockNoRunningCopyHoldsIsReported_data()
{
    // Things in a lock's place that no running copy holds and that cannot be removed, even by root.
    QTest::addColumn<QString>("which");
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("problem");
    for (const char* kind : { "gate", "instance" }) {
        const QString which = QString::fromLatin1(kind);
        const auto row = [kind](const char* name) -> QTestData& { return QTest::addRow("%s: %s", kind, name); };
        row("folder") << which << QStringLiteral("folder") << QStringLiteral("文件夹");
        row("link to nowhere") << which << QStringLiteral("dangling link") << QStringLiteral("符号链接");
        row("link to a folder") << which << QStringLiteral("link to folder") << QStringLiteral("符号链接");
        // Reading owner data from a FIFO would wait for a writer for ever.
        row("fifo") << which << QStringLiteral("fifo") << QStringLiteral("特殊文件");
        // A killed copy's lock that this user may not remove (root can: no such row then).
        if (::geteuid() != 0) {
            row("leftover in a read-only folder")
                << which << QStringLiteral("read-only leftover") << QStringLiteral("无法删除");
        }
    }
}

void TestSingleInstance::lockNoRunningCopyHoldsIsReported()
{
    QFETCH(QString, which);
    QFETCH(QString, fixture);
    QFETCH(QString, problem);
    SingleInstance paths(m_dir->path());
    const QString path = which == QLatin1String("gate") ? paths.gatePath() : paths.instancePath();
    const QByteArray native = QFile::encodeName(path);
    if (fixture == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
    } else if (fixture == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere")), path));
    } else if (fixture == QLatin1String("link to folder")) {
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("elsewhere"))));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("elsewhere")), path));
    } else if (fixture == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else {
        QVERIFY(TestUtil::writeFile(path, lockContent(kGonePid)));
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    }

    // Not taken for a running copy ("程序已运行" would follow), and not waited for without end: the start is
    // told what blocks it.
    QString told;
    QCOMPARE(tryInHelper(which, &told), QStringLiteral("blocked"));
    QVERIFY2(told.contains(problem), qPrintable(told));
    struct stat st;
    QCOMPARE(::lstat(native.constData(), &st), 0); // left where it was
}

void TestSingleInstance::lockNamingAProcessThatHoldsNothingIsRecovered_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("gate") << QStringLiteral("gate");
    QTest::newRow("instance") << QStringLiteral("instance");
}

void TestSingleInstance::lockNamingAProcessThatHoldsNothingIsRecovered()
{
    // A killed copy's lock whose pid now belongs to another copy of the same program that holds no lock on the
    // file (here: this test, which runs the same executable as the helper that tries the lock).
    QFETCH(QString, which);
    SingleInstance paths(m_dir->path());
    const QString path = which == QLatin1String("gate") ? paths.gatePath() : paths.instancePath();
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QVERIFY(TestUtil::writeFile(path, lockContent(QCoreApplication::applicationPid(), program)));
    QCOMPARE(tryInHelper(which), QStringLiteral("taken"));
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
    QCOMPARE(instance.tryLockInstance(), Outcome::Taken);
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
    QCOMPARE(instance.tryLockInstance(), Outcome::RunningCopy);
    QVERIFY(QFileInfo::exists(instance.instancePath()));
    stopHolder(holder);
    QCOMPARE(instance.tryLockInstance(), Outcome::Taken);
}

void TestSingleInstance::gateWaitsForItsHolder()
{
    QProcess* holder = startHolder(QStringLiteral("gate"));
    QVERIFY(holder);

    // A running copy's gate is waited for however long it is held (a refused copy's notice stays open until
    // the person closes it): longer than the patience with a gate that no running copy holds.
    SingleInstance instance(m_dir->path());
    std::atomic<bool> acquired { false };
    std::thread waiter([&] { acquired = instance.acquireGate(100) == Outcome::Taken; });
    QTest::qWait(1000);
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
    std::atomic<bool> acquired { false };
    std::thread waiter([&] { acquired = instance.acquireGate() == Outcome::Taken; });
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
    for (const QString& path : { instance.gatePath(), instance.instancePath() }) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    }
    std::atomic<bool> acquired { false };
    std::thread waiter([&] { acquired = instance.acquireGate() == Outcome::Taken; });
    waiter.join();
    QVERIFY(acquired);
    QCOMPARE(instance.tryLockInstance(), Outcome::Taken);
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
        QVERIFY(QFile::setPermissions(runtime.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                          | QFile::ExeOther));
        const TestUtil::EnvGuard tmp("TMPDIR", tmpPath);
        const TestUtil::EnvGuard xdg("XDG_RUNTIME_DIR", runtimePath);
        QCOMPARE(SingleInstance::lockFolder(), own);
    }

    // A folder of that name that is not private (made by somebody else, or opened up) is not used.
    QVERIFY(QFile::setPermissions(own,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
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
    if (argc == 4 && std::strcmp(argv[1], "--try") == 0) {
        QCoreApplication app(argc, argv);
        return tryLock(argv[2], argv[3]);
    }
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
