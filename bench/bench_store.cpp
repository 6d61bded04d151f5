// The catalogue store at 100,000 entries: searches, listings, additions, opening and the quick check, medians of
// repeated runs.
#include "benchutil.h"
#include "icondatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <thread>

namespace
{
const int kItems = 100000;
const int kTeams = 1000;
const int kRuns = 21;

// Realistic entry names: the base names of files under /usr/share (cycled with a number when there are fewer).
QStringList realisticNames(int count)
{
    QStringList names;
    names.reserve(count);
    QDirIterator it(QStringLiteral("/usr/share"), QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext() && names.size() < count) {
        it.next();
        names.append(it.fileInfo().completeBaseName());
    }
    if (names.isEmpty()) {
        names.append(QStringLiteral("document"));
    }
    const int found = int(names.size());
    for (int i = found; i < count; ++i) {
        names.append(QStringLiteral("%1 %2").arg(names.at(i % found)).arg(i / found));
    }
    return names;
}

// CPU time of this process (user and system), which other load on a shared machine disturbs less than the
// elapsed time.
double cpuMs()
{
    rusage r {};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}

double g_lastCpuMedian = 0;

// Median elapsed time of `body` over `runs` runs (the median CPU time goes to g_lastCpuMedian); `prepare` runs
// before each one, outside the measured time.
template <typename P, typename F>
double medianMs(int runs, P&& prepare, F&& body)
{
    std::vector<double> samples;
    std::vector<double> cpu;
    samples.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i) {
        prepare();
        const double c0 = cpuMs();
        const double t0 = Bench::nowMs();
        body();
        samples.push_back(Bench::nowMs() - t0);
        cpu.push_back(cpuMs() - c0);
    }
    g_lastCpuMedian = Bench::median(cpu);
    return Bench::median(samples);
}

// One figure, followed by its CPU time.
void reportMs(const char* name, double ms)
{
    const QString figure = QString::fromLatin1(name);
    Bench::report(figure, ms, QStringLiteral("ms"));
    Bench::report(QString(figure).replace(QStringLiteral("_ms"), QStringLiteral("_cpu_ms")),
                  g_lastCpuMedian,
                  QStringLiteral("ms"));
}

int runStore(const QStringList&)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    IconDatabase db;
    db.openDatabaseAt(dir.filePath(QStringLiteral("data.db")), QString());
    if (!db.isUsable()) {
        std::fprintf(stderr, "%s\n", qPrintable(db.errorText()));
        return 1;
    }

    const double t0 = Bench::nowMs();
    const QStringList names = realisticNames(kItems);
    QList<int> iconTeams;
    QList<int> siteTeams;
    db.beginBatch();
    for (int i = 0; i < kTeams; ++i) {
        const bool site = i % 2;
        const int id = db.addTeam(QStringLiteral("group %1").arg(i), site ? en_team_site : en_team_icon);
        (site ? siteTeams : iconTeams).append(id);
    }
    for (int i = 0; i < kItems; ++i) {
        const QString& name = names.at(i);
        if (i % 2) {
            db.addItem(name,
                       QStringLiteral("https://www.example.org/%1").arg(name),
                       siteTeams.at((i / 2) % siteTeams.size()),
                       en_team_site);
        } else {
            db.addItem(name,
                       QStringLiteral("/usr/share/%1").arg(name),
                       iconTeams.at((i / 2) % iconTeams.size()),
                       en_team_icon);
        }
    }
    db.commitBatch();
    // Some opened entries for the recent list.
    for (int i = 0; i < 50; ++i) {
        db.setItemLastTime(1 + i * 997 % kItems, 1700000000 + i);
    }
    Bench::report(QStringLiteral("build_catalogue_ms"), Bench::nowMs() - t0, QStringLiteral("ms"));
    Bench::report(QStringLiteral("search_index"), db.hasSearchIndex() ? 1 : 0, QStringLiteral("bool"));

    QList<IconItemInfo> list;
    const struct
    {
        const char* figure;
        const char* keyword;
    } searches[] = {
        { "search_a_ms", "a" },
        { "search_co_ms", "co" },
        { "search_conf_ms", "conf" },
        { "search_miss_ms", "zqxjv" },
    };
    for (const auto& s : searches) {
        const QString keyword = QString::fromLatin1(s.keyword);
        const double ms = medianMs(
            kRuns, [&] { list.clear(); }, [&] { db.searchItems(list, keyword); });
        reportMs(s.figure, ms);
        Bench::report(QString::fromLatin1(s.figure).replace(QStringLiteral("_ms"), QStringLiteral("_rows")),
                      double(list.size()),
                      QStringLiteral("rows"));
    }

    const double byType = medianMs(
        kRuns, [&] { list.clear(); }, [&] { db.getItemsByType(list, en_team_icon); });
    reportMs("items_by_type_ms", byType);
    Bench::report(QStringLiteral("items_by_type_rows"), double(list.size()), QStringLiteral("rows"));
    const double recent = medianMs(
        kRuns, [&] { list.clear(); }, [&] { db.getRecentItems(list); });
    reportMs("recent_ms", recent);

    // Additions: the names are made before the clock starts, as a drop hands over ready paths.
    int n = 0;
    QString name;
    QString path;
    const double one = medianMs(
        kRuns,
        [&] {
            ++n;
            name = QStringLiteral("new entry %1").arg(n);
            path = QStringLiteral("/home/user/new entry %1.txt").arg(n);
        },
        [&] { db.addItem(name, path, iconTeams.first(), en_team_icon); });
    reportMs("add_item_ms", one);

    QStringList names1000;
    QStringList paths1000;
    const double batch = medianMs(
        15,
        [&] {
            names1000.clear();
            paths1000.clear();
            for (int i = 0; i < 1000; ++i) {
                ++n;
                names1000.append(QStringLiteral("dropped file %1").arg(n));
                paths1000.append(QStringLiteral("/home/user/dropped file %1.txt").arg(n));
            }
        },
        [&] {
            db.beginBatch();
            for (int i = 0; i < 1000; ++i) {
                db.addItem(names1000.at(i), paths1000.at(i), iconTeams.first(), en_team_icon);
            }
            db.commitBatch();
        });
    reportMs("add_1000_batch_ms", batch);

    // Opening the catalogue of 100,000 entries (the file at rest, as a new run finds it), and searching it before
    // any change.
    const QString file = db.databasePath();
    const double open = medianMs(
        kRuns, [&] { db = IconDatabase(); }, [&] { db.openDatabaseAt(file, QString()); });
    reportMs("open_100k_ms", open);
    const double searchOpened = medianMs(
        kRuns, [&] { list.clear(); }, [&] { db.searchItems(list, QStringLiteral("conf")); });
    reportMs("search_conf_after_open_ms", searchOpened);

    // The same while another program (a backup or sync tool) holds a read lock on the file at rest.
    db = IconDatabase();
    {
        const QString reader = QStringLiteral("bench-reader");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), reader);
            other.setDatabaseName(file);
            QSqlQuery q(other);
            if (other.open() && q.exec(QStringLiteral("begin")) && q.exec(QStringLiteral("select count(*) from team"))
                && q.next()) {
                const double locked = medianMs(
                    3, [&] { db = IconDatabase(); }, [&] { db.openDatabaseAt(file, QString()); });
                reportMs("open_100k_read_locked_ms", locked);
                const double lockedSearch = medianMs(
                    kRuns, [&] { list.clear(); }, [&] { db.searchItems(list, QStringLiteral("conf")); });
                reportMs("search_conf_read_locked_ms", lockedSearch);
            }
            q.exec(QStringLiteral("commit"));
            q.finish();
            other.close();
        }
        QSqlDatabase::removeDatabase(reader);
    }

    // SQLite's quick check of the whole file, on its own thread: from the start until the answer is there.
    QObject context;
    const double check = medianMs(
        5,
        [&] {
            db = IconDatabase();
            db.openDatabaseAt(file, QString());
        },
        [&] {
            if (db.startIntegrityCheck(&context, [] {})) {
                while (db.integrity() == IconDatabase::Integrity::Running) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            }
        });
    if (db.integrity() != IconDatabase::Integrity::NotChecked) {
        Bench::report(QStringLiteral("quick_check_100k_ms"), check, QStringLiteral("ms"));
        Bench::report(QStringLiteral("quick_check_sound"),
                      db.integrity() == IconDatabase::Integrity::Sound ? 1 : 0,
                      QStringLiteral("bool"));
    }
    return 0;
}

static Bench::Registrar
    registrar("store", "catalogue store at 100,000 entries (search, listings, additions, opening)", runStore);
} // namespace
