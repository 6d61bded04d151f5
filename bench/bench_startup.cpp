// Start-up figures, measured on the xcb platform (without a display the suite starts its own Xvfb and runs itself
// again there):
// - the whole program from its start to its first paint being on screen, over an empty catalogue, 1,000 items,
//   100,000 items in 50 groups and 100,000 items in one group, beside the floor: an empty window of the same size
//   shown by a process of this build (brisko-bench-window). The runs of the cases take turns, so that the load of
//   the shared machine falls on all of them alike; medians, with the CPU time of each process beside its wall time.
// - the resident memory of the program over an empty catalogue and over 100,000 items, once its window is shown;
// - opening a group of 20,000 items until it has been painted, in a fresh process each time;
// - the main window built in the process over 10,000 and 100,000 items, and one drop of 1,000 files.
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
#include <QMouseEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace
{
constexpr int Runs = 7;
/// Runs of each start-up case (and one more of each first, to warm the file and font caches).
constexpr int ProcessRuns = 9;
constexpr int GroupItems = 20000;
const char* const ChildMarker = "BRISKO_BENCH_STARTUP_CHILD";

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
    for (const QString& root : { QStringLiteral("/usr/share"), QStringLiteral("/usr/lib") }) {
        QDirIterator it(root, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext() && result.size() < wanted) {
            result.append(it.next());
        }
    }
    return result;
}

/// Builds a catalogue of `count` items in `groups` groups at `dbPath`, as people's catalogues look: one group of
/// sites to four of files (one group: files), item names of words, Chinese names and file names with extensions,
/// some long; files at `paths` (taken in turn) when given, else at paths under a home folder that do not exist.
/// A few items were opened, so the recent page is full.
bool buildCatalogue(const QString& dbPath, int count, int groups, const QStringList& paths = {})
{
    if (!Bench::emptyCatalogue(dbPath)) {
        return false;
    }
    IconDatabase db = IconDatabase::instance();
    QRandomGenerator rng(20241210u + quint32(count) + quint32(groups));
    if (!db.beginBatch()) {
        return false;
    }
    QList<int> teams;
    for (int g = 0; g < groups; ++g) {
        const bool sites = groups > 1 && g % 5 == 4;
        const QString name = g % 3 ? Bench::itemName(rng).section(QLatin1Char('.'), 0, 0).left(24)
                                   : QStringLiteral("分组 %1").arg(g + 1);
        teams.append(db.addTeam(name, sites ? en_team_site : en_team_icon));
    }
    for (int i = 0; i < count; ++i) {
        const int g = int(qint64(i) * groups / count);
        const bool sites = groups > 1 && g % 5 == 4;
        const QString name = Bench::itemName(rng);
        QString target;
        if (sites) {
            target = QStringLiteral("https://www.example%1.org/%2").arg(i % 89).arg(i);
        } else if (!paths.isEmpty()) {
            target = paths.at(i % paths.size());
        } else {
            target = QStringLiteral("/home/someone/files/%1/%2").arg(i % 97).arg(name);
        }
        const int id = db.addItem(name, target, teams.at(g), sites ? en_team_site : en_team_icon);
        if (id == 0) {
            db.commitBatch();
            return false;
        }
        if (i % 997 == 0) {
            db.setItemLastTime(id, 1700000000 + i);
        }
    }
    return db.commitBatch();
}

/// Constructs the window, shows it and waits until its first paint is through; the elapsed milliseconds.
double timeWindow(std::unique_ptr<QQDialog>& window, double* cpuMs)
{
    const double c0 = Bench::processCpuMs();
    const double t0 = Bench::nowMs();
    window = std::make_unique<QQDialog>();
    window->show();
    const bool painted = Bench::waitFirstPaint(window.get());
    const double elapsed = Bench::nowMs() - t0;
    *cpuMs = Bench::processCpuMs() - c0;
    return painted ? elapsed : -1;
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

/// In this (child) process: the window over a catalogue whose first group holds 20,000 files, shown and left
/// alone for a moment as a person would, then a click on that group's header; prints the time from the click to
/// the window's completed paint with the group open, and the GUI thread's CPU time in it.
int runOpenGroup()
{
    auto window = std::make_unique<QQDialog>();
    window->show();
    if (!Bench::waitFirstPaint(window.get())) {
        std::fprintf(stderr, "the window was never painted\n");
        return 1;
    }
    // Whatever starts once the window is shown (the quick check of the file) is through before the click.
    for (int i = 0; i < 100 && IconDatabase::instance().integrity() == IconDatabase::Integrity::Running; ++i) {
        Bench::idle(20);
    }
    Bench::idle(100);
    auto* icons = window->findChild<QQTree*>(QStringLiteral("iconTree"));
    const int team = icons && !icons->teamIds().isEmpty() ? icons->teamIds().first() : 0;
    if (team == 0 || icons->itemCount(team) != GroupItems || icons->isTeamOpen(team)) {
        std::fprintf(stderr, "no closed group of %d items at the top\n", GroupItems);
        return 1;
    }
    Bench::PaintWatch watch(window.get(), icons);
    const QPointF at = icons->teamRect(team).center();
    const QPointF global = icons->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    const double t0 = Bench::nowMs();
    const double cpu0 = Bench::threadCpuMs();
    QCoreApplication::sendEvent(icons, &press);
    QCoreApplication::sendEvent(icons, &release);
    while (watch.partPaintedAt < 0 && Bench::nowMs() - t0 < 10000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (watch.partPaintedAt < 0 || !icons->isTeamOpen(team) || icons->itemIds(team).size() != GroupItems) {
        std::fprintf(stderr, "the group was not opened and painted\n");
        return 1;
    }
    std::printf("%.3f %.3f\n", watch.partPaintedAt - t0, watch.partPaintedCpu - cpu0);
    return 0;
}

/// One start of a program over the catalogue in `home`, to its window being on screen.
struct Start
{
    double ms = -1;
    double cpuMs = 0;
    double rssMb = 0;
};

/// Starts `program` over the catalogue in `home` and waits until it says its window is on screen; then, after
/// `settleMs`, reads its memory.
Start startProcess(const QString& program, const QString& home, const QString& display, int settleMs = 0)
{
    // A desktop session's runtime folder is in memory (/run/user/<uid>); so is this one where the machine has a
    // shared-memory file system, or the instance lock would wait for a disk.
    const QString shm = QStringLiteral("/dev/shm");
    QTemporaryDir runtime(QFileInfo(shm).isDir() && QFileInfo(shm).isWritable()
                              ? shm + QStringLiteral("/brisko-bench-XXXXXX")
                              : QDir::tempPath() + QStringLiteral("/brisko-bench-XXXXXX"));
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
    Start start;
    const double t0 = Bench::nowMs();
    proc.start();
    if (!proc.waitForStarted(5000)) {
        return start;
    }
    QByteArray err;
    while (proc.state() == QProcess::Running && Bench::nowMs() - t0 < 15000) {
        proc.waitForReadyRead(20);
        err += proc.readAllStandardError();
        if (err.contains("brisko: window shown")) {
            start.ms = Bench::nowMs() - t0;
            start.cpuMs = childCpuMs(proc.processId());
            break;
        }
    }
    if (start.ms >= 0 && settleMs > 0) {
        proc.waitForFinished(settleMs); // returns when the time is up (the program runs on)
    }
    // processId() is 0 once the program has ended, and 0 would read this process's own memory.
    if (const qint64 pid = proc.processId(); pid > 0) {
        start.rssMb = Bench::residentMb(pid);
    }
    proc.kill(); // our own child, by its pid
    proc.waitForFinished(5000);
    if (start.ms < 0) {
        std::fprintf(stderr, "%s never showed its window: %s\n", qPrintable(program), err.constData());
    }
    return start;
}

/// The start-up cases, their runs taking turns; the figures, the ratios and the memory.
int runProcesses(const QString& display,
                 const QString& emptyHome,
                 const QString& home1k,
                 const QString& home100k,
                 const QString& homeOneGroup)
{
    const QString program = QDir::current().absoluteFilePath(QStringLiteral("brisko"));
    const QString bare = QCoreApplication::applicationDirPath() + QStringLiteral("/brisko-bench-window");
    for (const QString& p : { program, bare }) {
        if (!QFileInfo(p).isExecutable()) {
            std::fprintf(stderr, "no program at %s\n", qPrintable(p));
            return 1;
        }
    }
    struct Case
    {
        const char* figure;
        QString program;
        QString home;
        std::vector<double> ms;
        std::vector<double> cpuMs;
    };
    Case cases[] = {
        { "bare_window", bare, emptyHome, {}, {} },
        { "process_empty", program, emptyHome, {}, {} },
        { "process_1k", program, home1k, {}, {} },
        { "process_100k", program, home100k, {}, {} },
        { "process_100k_one_group", program, homeOneGroup, {}, {} },
    };
    for (int run = -1; run < ProcessRuns; ++run) {
        for (Case& c : cases) {
            const Start start = startProcess(c.program, c.home, display);
            if (start.ms < 0) {
                return 1;
            }
            if (run >= 0) { // the first round warms the caches
                c.ms.push_back(start.ms);
                c.cpuMs.push_back(start.cpuMs);
            }
        }
    }
    for (const Case& c : cases) {
        const QString figure = QString::fromLatin1(c.figure);
        Bench::report(figure + QStringLiteral("_ms"), Bench::median(c.ms), QStringLiteral("ms"));
        Bench::report(figure + QStringLiteral("_cpu_ms"), Bench::median(c.cpuMs), QStringLiteral("ms"));
    }
    const double bareMs = Bench::median(cases[0].ms);
    const double emptyMs = Bench::median(cases[1].ms);
    const double largeMs = Bench::median(cases[3].ms);
    Bench::report(QStringLiteral("process_100k_over_empty"), largeMs / emptyMs, QStringLiteral("x"));
    Bench::report(QStringLiteral("process_empty_over_bare"), emptyMs / bareMs, QStringLiteral("x"));
    Bench::report(QStringLiteral("process_empty_minus_bare_ms"), emptyMs - bareMs, QStringLiteral("ms"));

    // Memory once the window is shown and what follows its first paint has run.
    std::vector<double> rss[2];
    for (int run = 0; run < 3; ++run) {
        for (int i = 0; i < 2; ++i) {
            const Start start = startProcess(program, i == 0 ? emptyHome : home100k, display, 500);
            if (start.ms < 0 || start.rssMb <= 0) {
                std::fprintf(stderr, "the memory of %s could not be read\n", qPrintable(program));
                return 1;
            }
            rss[i].push_back(start.rssMb);
        }
    }
    Bench::report(QStringLiteral("rss_empty_mb"), Bench::median(rss[0]), QStringLiteral("MB"));
    Bench::report(QStringLiteral("rss_100k_mb"), Bench::median(rss[1]), QStringLiteral("MB"));
    Bench::report(
        QStringLiteral("rss_100k_minus_empty_mb"), Bench::median(rss[1]) - Bench::median(rss[0]), QStringLiteral("MB"));
    return 0;
}

/// Opening a group of 20,000 items, each time in a fresh process over the catalogue in `home`.
int runOpenGroups(const QString& home, const QString& display)
{
    std::vector<double> ms;
    std::vector<double> cpuMs;
    for (int run = 0; run < Runs; ++run) {
        QByteArray out;
        if (Bench::runChild(QStringLiteral("startup"), ChildMarker, QStringLiteral("open"), home, display, &out) != 0) {
            return 1;
        }
        const QList<QByteArray> values = out.trimmed().split(' ');
        bool msOk = false;
        bool cpuOk = false;
        const double openMs = values.value(0).toDouble(&msOk);
        const double openCpuMs = values.value(1).toDouble(&cpuOk);
        if (values.size() != 2 || !msOk || !cpuOk) {
            std::fprintf(stderr, "opening the group printed no figures: %s\n", out.constData());
            return 1;
        }
        ms.push_back(openMs);
        cpuMs.push_back(openCpuMs);
    }
    Bench::report(QStringLiteral("open_group_20k_ms"), Bench::median(ms), QStringLiteral("ms"));
    Bench::report(QStringLiteral("open_group_20k_cpu_ms"), Bench::median(cpuMs), QStringLiteral("ms"));
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
    if (mode == QLatin1String("open")) {
        return runOpenGroup();
    }

    // The parent: find or start a display, then measure each part in fresh processes.
    const Bench::Display screen;
    const QString display = screen.name();
    if (display.isEmpty()) {
        return 1;
    }
    // The catalogues are built here, so the measured processes carry nothing of the building.
    const QStringList paths = machineFiles(50000);
    QTemporaryDir emptyHome;
    QTemporaryDir home1k;
    QTemporaryDir home10k;
    QTemporaryDir home100k;
    QTemporaryDir homeOneGroup;
    QTemporaryDir homeOpen;
    // The empty catalogue is the template a first start copies.
    IconDatabase::instance().openDatabaseAt(Bench::catalogueIn(emptyHome.path()),
                                            QDir::current().absoluteFilePath(QStringLiteral("data.db")));
    if (!IconDatabase::instance().isUsable() || !buildCatalogue(Bench::catalogueIn(home1k.path()), 1000, 5)
        || !buildCatalogue(Bench::catalogueIn(home10k.path()), 10000, 40, paths)
        || !buildCatalogue(Bench::catalogueIn(home100k.path()), 100000, 50)
        || !buildCatalogue(Bench::catalogueIn(homeOneGroup.path()), 100000, 1)
        || !buildCatalogue(Bench::catalogueIn(homeOpen.path()), 5 * GroupItems, 5, paths)) {
        std::fprintf(stderr, "the catalogues could not be built\n");
        return 1;
    }
    // Let go of the bench's own connection before the measured processes open the files.
    IconDatabase::instance().openDatabaseAt(emptyHome.path() + QStringLiteral("/unused.db"), QString());

    int rc = runProcesses(display, emptyHome.path(), home1k.path(), home100k.path(), homeOneGroup.path());
    rc |= runOpenGroups(homeOpen.path(), display);
    // The window built in the process; the drops go into the 10k catalogue.
    rc |= Bench::runChild(QStringLiteral("startup"), ChildMarker, QStringLiteral("10k"), home10k.path(), display);
    rc |= Bench::runChild(QStringLiteral("startup"), ChildMarker, QStringLiteral("100k"), home100k.path(), display);
    return rc;
}

const Bench::Registrar registrar("startup",
                                 "the program's start-up beside an empty window, its memory, opening a group of "
                                 "20,000 items, and the window over large catalogues (Xvfb)",
                                 suite);
} // namespace
