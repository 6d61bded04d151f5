// Start-up figures: the main window over catalogues of 10,000 and 100,000 items, one drop of 1,000 files,
// and the whole program from its start to its window being on screen. Measured on the xcb platform; without a
// display the suite starts its own Xvfb and runs itself again there.
#include "benchutil.h"

#include "icondatabase.h"
#include "qqdialog.h"
#include "qqtree.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>

namespace
{
constexpr int Runs = 7;
const char* const ChildMarker = "BRISKO_BENCH_STARTUP_CHILD";

/// CPU time of this process in milliseconds (all threads). The machine's two cores are shared, so wall-clock
/// figures carry the load of whatever else runs; the CPU figures beside them do not.
double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

/// CPU time so far of another process of ours, summed over its threads (from /proc/<pid>/task/*/schedstat).
double childCpuMs(qint64 pid)
{
    double ns = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (f.open(QIODevice::ReadOnly)) {
            ns += f.readAll().split(' ').value(0).toDouble();
        }
    }
    return ns / 1e6;
}

/// Real files of this machine, so file items point at existing paths of many types.
QStringList machineFiles(int wanted)
{
    QStringList result;
    result.reserve(wanted);
    for (const QString& root : {QStringLiteral("/usr/share"), QStringLiteral("/usr/lib")}) {
        QDirIterator it(root, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext() && result.size() < wanted) {
            result.append(it.next());
        }
    }
    return result;
}

/// Builds a catalogue of `count` items at `dbPath`: half files over real paths in groups of 250, half sites
/// in groups of 500; a few opened, so the recent page is full.
bool buildCatalogue(const QString& dbPath, int count, const QStringList& paths)
{
    if (!Bench::emptyCatalogue(dbPath)) {
        return false;
    }
    IconDatabase db = IconDatabase::instance();
    const int files = count / 2;
    const int sites = count - files;
    db.beginBatch();
    int team = 0;
    for (int i = 0; i < files; ++i) {
        if (i % 250 == 0) {
            team = db.addTeam(QStringLiteral("分组 %1").arg(i / 250 + 1), en_team_icon);
        }
        const QString& path = paths[i % paths.size()];
        const int id = db.addItem(QFileInfo(path).completeBaseName(), path, team, en_team_icon);
        if (i % 997 == 0) {
            db.setItemLastTime(id, 1700000000 + i);
        }
    }
    for (int i = 0; i < sites; ++i) {
        if (i % 500 == 0) {
            team = db.addTeam(QStringLiteral("网址 %1").arg(i / 500 + 1), en_team_site);
        }
        const int id = db.addItem(QStringLiteral("网站 %1").arg(i), QStringLiteral("https://site%1.example.org/").arg(i),
                                  team, en_team_site);
        if (i % 1999 == 0) {
            db.setItemLastTime(id, 1700000000 + i);
        }
    }
    return db.commitBatch();
}

/// Constructs the window, shows it and waits until its first paint is through; the elapsed milliseconds.
double timeWindow(std::unique_ptr<QQDialog>& window, double* cpuMs)
{
    const double c0 = processCpuMs();
    const double t0 = Bench::nowMs();
    window = std::make_unique<QQDialog>();
    QEventLoop loop;
    QObject::connect(window.get(), &QQDialog::firstPainted, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    window->show();
    if (!window->hasPainted()) {
        loop.exec();
    }
    const double elapsed = Bench::nowMs() - t0;
    *cpuMs = processCpuMs() - c0;
    return window->hasPainted() ? elapsed : -1;
}

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

/// One size in this (child) process: window figures, and for 10k also the drop.
int runWindow(int count)
{
    // Only the files the drops need: the catalogue was built by the parent, so this process holds nothing but
    // what the window itself needs when its memory is read.
    const QStringList paths = count < 100000 ? machineFiles(Runs * 1000) : QStringList();
    const QString tag = count >= 100000 ? QStringLiteral("100k") : QStringLiteral("10k");
    std::vector<double> samples;
    std::vector<double> cpuSamples;
    double rss = 0;
    for (int run = 0; run < Runs; ++run) {
        std::unique_ptr<QQDialog> window;
        double cpu = 0;
        const double ms = timeWindow(window, &cpu);
        cpuSamples.push_back(cpu);
        if (ms < 0) {
            std::fprintf(stderr, "the window was never painted\n");
            return 1;
        }
        samples.push_back(ms);
        if (run == 0) {
            settle();
            rss = Bench::residentMb();
        }
        if (count < 100000 && run == Runs - 1) {
            // One drop of 1,000 files on a group, stored in one transaction; on fresh groups each time.
            QQTree* icons = window->findChild<QQTree*>(QStringLiteral("iconTree"));
            std::vector<double> drops;
            for (int d = 0; d < Runs; ++d) {
                const int team = IconDatabase::instance().addTeam(QStringLiteral("投放 %1").arg(d), en_team_icon);
                icons->addTeam(team, QStringLiteral("投放 %1").arg(d), 0, false);
                QList<QUrl> urls;
                for (int i = 0; i < 1000; ++i) {
                    urls.append(QUrl::fromLocalFile(paths[(d * 1000 + i * 37) % paths.size()]));
                }
                QMimeData mime;
                mime.setUrls(urls);
                QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
                const double t0 = Bench::nowMs();
                emit icons->sig_dragEvent(&event, team, 0);
                drops.push_back(Bench::nowMs() - t0);
                if (icons->itemCount(team) != 1000) {
                    std::fprintf(stderr, "drop added %d items\n", icons->itemCount(team));
                }
                QCoreApplication::processEvents(); // paint the opened group
            }
            Bench::report(QStringLiteral("drop_1000_ms"), Bench::median(drops), QStringLiteral("ms"));
        }
        window.reset();
        settle();
    }
    Bench::report(QStringLiteral("window_%1_ms").arg(tag), Bench::median(samples), QStringLiteral("ms"));
    Bench::report(QStringLiteral("window_%1_cpu_ms").arg(tag), Bench::median(cpuSamples), QStringLiteral("ms"));
    if (count >= 100000) {
        Bench::report(QStringLiteral("window_rss_100k_mb"), rss, QStringLiteral("MB"));
    }
    return 0;
}

/// Starts the real program over the catalogue in `home` and waits for its window; the elapsed milliseconds.
double timeProcess(const QString& program, const QString& home, const QString& display, double* cpuMs)
{
    QTemporaryDir runtime;
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("BRISKO_REPORT_SHOWN"), QStringLiteral("1"));
    env.remove(QString::fromLatin1(ChildMarker));
    proc.setProcessEnvironment(env);
    proc.setProgram(program);
    proc.setProcessChannelMode(QProcess::SeparateChannels);
    proc.setReadChannel(QProcess::StandardError);
    const double t0 = Bench::nowMs();
    proc.start();
    if (!proc.waitForStarted(5000)) {
        return -1;
    }
    QByteArray err;
    double elapsed = -1;
    while (proc.state() == QProcess::Running && Bench::nowMs() - t0 < 15000) {
        proc.waitForReadyRead(20);
        err += proc.readAllStandardError();
        if (err.contains("brisko: window shown")) {
            elapsed = Bench::nowMs() - t0;
            *cpuMs = childCpuMs(proc.processId());
            break;
        }
    }
    proc.kill(); // our own child, by its pid
    proc.waitForFinished(5000);
    if (elapsed < 0) {
        std::fprintf(stderr, "the program never showed its window: %s\n", err.constData());
    }
    return elapsed;
}

int runProcess(const QString& home, const QString& display, const QString& figure)
{
    const QString program = QDir::current().absoluteFilePath(QStringLiteral("brisko"));
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "no program at %s\n", qPrintable(program));
        return 1;
    }
    std::vector<double> samples;
    std::vector<double> cpuSamples;
    double cpu = 0;
    timeProcess(program, home, display, &cpu); // warm the file and font caches once
    for (int run = 0; run < Runs; ++run) {
        const double ms = timeProcess(program, home, display, &cpu);
        if (ms < 0) {
            return 1;
        }
        samples.push_back(ms);
        cpuSamples.push_back(cpu);
    }
    Bench::report(figure, Bench::median(samples), QStringLiteral("ms"));
    Bench::report(QString(figure).replace(QStringLiteral("_ms"), QStringLiteral("_cpu_ms")),
                  Bench::median(cpuSamples),
                  QStringLiteral("ms"));
    return 0;
}

int suite(const QStringList&)
{
    if (!Bench::enterRuntimeDir()) {
        return 1;
    }
    const QString mode = qEnvironmentVariable(ChildMarker);
    if (mode == QLatin1String("10k")) {
        return runWindow(10000);
    }
    if (mode == QLatin1String("100k")) {
        return runWindow(100000);
    }

    // The parent: find or start a display, then measure each part in a fresh process.
    const Bench::Display screen;
    const QString display = screen.name();
    if (display.isEmpty()) {
        return 1;
    }
    // The catalogues are built here, so the measured processes carry nothing of the building.
    const QStringList paths = machineFiles(50000);
    QTemporaryDir home10k;
    QTemporaryDir home100k;
    const auto dbIn = [](const QTemporaryDir& home) {
        return home.path() + QStringLiteral("/Documents/Brisko/Desktop/data.db");
    };
    int rc = 0;
    if (!buildCatalogue(dbIn(home10k), 10000, paths) || !buildCatalogue(dbIn(home100k), 100000, paths)) {
        rc = 1;
    }
    // Let go of the bench's own connection before the measured processes open the files.
    IconDatabase::instance().openDatabaseAt(home10k.path() + QStringLiteral("/unused.db"), QString());
    if (rc == 0) {
        // The whole program first: the window runs below add the dropped files to the 10k catalogue.
        rc |= runProcess(home10k.path(), display, QStringLiteral("process_10k_ms"));
        rc |= runProcess(home100k.path(), display, QStringLiteral("process_100k_ms"));
        rc |= Bench::runChild(QStringLiteral("startup"), ChildMarker, QStringLiteral("10k"), home10k.path(), display);
        rc |= Bench::runChild(QStringLiteral("startup"), ChildMarker, QStringLiteral("100k"), home100k.path(), display);
    }
    return rc;
}

const Bench::Registrar registrar("startup", "main window and program start-up over large catalogues (Xvfb)", suite);
} // namespace
