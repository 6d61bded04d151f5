// Type-ahead search in the real window on xcb: for each key of typing "a", "co", "conf", "文档", the pinyin "wx"
// and "yinyue" and a miss into the search edit over catalogues of 10,000 and 100,000 items (half of the names
// Chinese), the time from the key to the first completed paint of
// the result list and to the list being complete; the memory it takes. Without a display the suite starts its own
// Xvfb; each catalogue is measured in a fresh process of this program.
#include "benchutil.h"
#include "icondatabase.h"
#include "pinyin.h"
#include "qqdialog.h"
#include "qqtree.h"
#include "searchindex.h"
#include "searchsession.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <map>
#include <memory>

namespace
{
constexpr int Runs = 5;

const char* const ChildMarker = "BRISKO_BENCH_SEARCH_CHILD";

/// What is typed, key by key, each word into an empty edit; with a name usable in a figure.
const struct
{
    const char* tag;
    const char* text;
} Words[] = {
    { "a", "a" },   { "co", "co" },         { "conf", "conf" }, { "wendang", "文档" },
    { "wx", "wx" }, { "yinyue", "yinyue" }, { "miss", "qzxv" },
};

/// A catalogue of `count` items at `dbPath`: four in five files in groups of 500, the rest sites.
bool buildCatalogue(const QString& dbPath, int count)
{
    if (!Bench::emptyCatalogue(dbPath)) {
        return false;
    }
    IconDatabase db = IconDatabase::instance();
    QRandomGenerator rng(20240915);
    db.beginBatch();
    const int fileTeam = db.addTeam(QStringLiteral("常用软件"), en_team_icon);
    const int siteTeam = db.addTeam(QStringLiteral("常用网址"), en_team_site);
    int team = fileTeam;
    for (int i = 0; i < count; ++i) {
        if (i % 500 == 0 && i > 0) {
            team = db.addTeam(QStringLiteral("分组 %1").arg(i / 500), en_team_icon);
        }
        const QString name = Bench::itemName(rng);
        if (i % 5 == 4) {
            db.addItem(name, QStringLiteral("https://www.example.org/%1").arg(i), siteTeam, en_team_site);
        } else {
            db.addItem(name, QStringLiteral("/home/someone/files/%1/%2").arg(i % 97).arg(name), team, en_team_icon);
        }
    }
    return db.commitBatch();
}

/// Delivers one typed character to the edit as the system would: a key press and release for a letter, the
/// commit of an input method for a Chinese character.
void postCharacter(QLineEdit* edit, QChar c)
{
    if (c.unicode() < 0x80) {
        const int key = Qt::Key_A + (c.toLower().unicode() - 'a');
        QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(c)));
        QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(c)));
        return;
    }
    auto* commit = new QInputMethodEvent;
    commit->setCommitString(QString(c));
    QCoreApplication::postEvent(edit, commit);
}

/// The measurements of one catalogue in this (child) process.
int runSearch(int count)
{
    const QString tag = count >= 100000 ? QStringLiteral("100k") : QStringLiteral("10k");
    auto window = std::make_unique<QQDialog>();
    window->show();
    if (!Bench::waitFirstPaint(window.get())) {
        std::fprintf(stderr, "the window never painted\n");
        return 1;
    }
    Bench::idle(200);
    auto* edit = window->findChild<QLineEdit*>(QStringLiteral("searchEdit"));
    auto* list = window->findChild<QQTree*>(QStringLiteral("searchTree"));
    if (!edit || !list) {
        std::fprintf(stderr, "no search edit or result list\n");
        return 1;
    }

    const double rssBefore = Bench::residentMb();
    QMetaObject::invokeMethod(window.get(), "onBtnSearch");
    auto* session = window->findChild<SearchSession*>();
    if (!session) {
        std::fprintf(stderr, "opening the search box made no search\n");
        return 1;
    }
    // Let the names be read in, as they are while the person starts to type.
    const double deadline = Bench::nowMs() + 10000;
    while (!session->index().isLoaded() && Bench::nowMs() < deadline) {
        Bench::idle(10);
    }
    Bench::idle(100);
    const double rssOpen = Bench::residentMb();

    Bench::PaintWatch watch(window.get(), list);
    double settledAt = -1;
    QObject::connect(session, &SearchSession::settled, [&settledAt] { settledAt = Bench::nowMs(); });
    // After the window's own handling of the change: a search that settled at once is settled now.
    QObject::connect(edit, &QLineEdit::textChanged, [&settledAt, session] {
        if (session->isSettled()) {
            settledAt = Bench::nowMs();
        }
    });

    // Per key (word and place in it), the samples of every run.
    std::map<QString, std::vector<double>> firstPaint;
    std::map<QString, std::vector<double>> settled;
    std::map<QString, std::vector<double>> firstPaintCpu;
    double matchShareA = 0;
    for (int run = 0; run < Runs; ++run) {
        for (const auto& word : Words) {
            edit->clear();
            Bench::idle(50);
            const QString text = QString::fromUtf8(word.text);
            for (int i = 0; i < text.size(); ++i) {
                watch.partPaintedAt = -1;
                settledAt = -1;
                const double t0 = Bench::nowMs();
                const double cpu0 = Bench::threadCpuMs();
                postCharacter(edit, text.at(i));
                while ((watch.partPaintedAt < 0 || settledAt < 0 || edit->text() != text.left(i + 1))
                       && Bench::nowMs() - t0 < 10000) {
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                }
                if (watch.partPaintedAt < 0 || settledAt < 0) {
                    std::fprintf(stderr, "the key %d of %s was never shown\n", i + 1, word.tag);
                    return 1;
                }
                const QString key = QStringLiteral("%1_%2").arg(QString::fromLatin1(word.tag)).arg(i + 1);
                firstPaint[key].push_back(watch.partPaintedAt - t0);
                firstPaintCpu[key].push_back(watch.partPaintedCpu - cpu0);
                settled[key].push_back(std::max(settledAt, watch.partPaintedAt) - t0);
                // A person types a few keys a second at most.
                Bench::idle(30);
            }
            if (run == 0 && QLatin1String(word.tag) == QLatin1String("a")) {
                matchShareA = double(list->itemCount(1)) / count;
            }
            if (!session->usesIndex()) {
                std::fprintf(stderr, "the search was not served from the name index\n");
            }
        }
    }
    const double rssAfter = Bench::residentMb();

    // Reading the names into memory, measured on its own (the window reads them in slices between events).
    std::vector<double> loads;
    for (int run = 0; run < Runs; ++run) {
        SearchIndex index;
        const double t0 = Bench::nowMs();
        index.load(IconDatabase::instance());
        loads.push_back(Bench::nowMs() - t0);
    }

    // One whole pass over the names, on its own: the names that contain the keyword, and those that hold it in
    // pinyin (the thread's CPU time, so that other programs on the cores do not count).
    std::map<QString, std::vector<double>> passes;
    for (int run = 0; run < Runs; ++run) {
        for (const char* keyword : { "wx", "yinyue", "qzxv" }) {
            const QString text = QString::fromLatin1(keyword);
            const NameMatcher contains(text);
            const PinyinMatcher pinyin(text);
            std::vector<int> found;
            std::vector<int> within;
            double t0 = Bench::threadCpuMs();
            session->index().scan(contains, 0, session->index().size(), found);
            passes[QStringLiteral("contains_%1").arg(text)].push_back(Bench::threadCpuMs() - t0);
            found.clear();
            t0 = Bench::threadCpuMs();
            session->index().scanPinyin(pinyin, 0, session->index().size(), found, within);
            passes[QStringLiteral("pinyin_%1").arg(text)].push_back(Bench::threadCpuMs() - t0);
        }
    }

    const double indexMb = session->index().memoryBytes() / 1048576.0;

    // A letter typed straight into a new window that has never searched: the strip opens with the letter at
    // once while the names are read between events, then the results show.
    window.reset();
    std::vector<double> typedShown;
    std::vector<double> typedResults;
    for (int run = 0; run < Runs; ++run) {
        QQDialog fresh;
        fresh.show();
        if (!Bench::waitFirstPaint(&fresh)) {
            std::fprintf(stderr, "the window never painted\n");
            return 1;
        }
        Bench::idle(200);
        auto* tree = fresh.findChild<QQTree*>(QStringLiteral("iconTree"));
        auto* results = fresh.findChild<QQTree*>(QStringLiteral("searchTree"));
        if (!tree || !results) {
            std::fprintf(stderr, "no item tree or result list\n");
            return 1;
        }
        tree->setFocus();
        Bench::PaintWatch typed(&fresh, results);
        const double t0 = Bench::nowMs();
        QCoreApplication::postEvent(tree,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier, QStringLiteral("w")));
        QCoreApplication::postEvent(tree,
                                    new QKeyEvent(QEvent::KeyRelease, Qt::Key_W, Qt::NoModifier, QStringLiteral("w")));
        while (typed.firstRowsPaintedAt < 0 && Bench::nowMs() - t0 < 10000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (typed.firstRowsPaintedAt < 0) {
            std::fprintf(stderr, "a letter typed into the window found nothing\n");
            return 1;
        }
        typedShown.push_back(typed.firstPaintedAt - t0);
        typedResults.push_back(typed.firstRowsPaintedAt - t0);
    }

    double worstFirst = 0;
    double worstSettled = 0;
    double worstCpu = 0;
    for (const auto& [key, samples] : firstPaint) {
        const double first = Bench::median(samples);
        const double done = Bench::median(settled[key]);
        Bench::report(QStringLiteral("key_%1_%2_first_paint_ms").arg(tag, key), first, QStringLiteral("ms"));
        Bench::report(QStringLiteral("key_%1_%2_settled_ms").arg(tag, key), done, QStringLiteral("ms"));
        worstFirst = std::max(worstFirst, first);
        worstCpu = std::max(worstCpu, Bench::median(firstPaintCpu[key]));
        worstSettled = std::max(worstSettled, done);
    }
    Bench::report(QStringLiteral("key_first_paint_%1_ms").arg(tag), worstFirst, QStringLiteral("ms"));
    Bench::report(QStringLiteral("key_settled_%1_ms").arg(tag), worstSettled, QStringLiteral("ms"));
    Bench::report(QStringLiteral("key_first_paint_%1_cpu_ms").arg(tag), worstCpu, QStringLiteral("ms"));
    Bench::report(QStringLiteral("index_load_%1_ms").arg(tag), Bench::median(loads), QStringLiteral("ms"));
    for (const auto& [pass, samples] : passes) {
        Bench::report(QStringLiteral("pass_%1_%2_cpu_ms").arg(tag, pass), Bench::median(samples), QStringLiteral("ms"));
    }
    Bench::report(QStringLiteral("index_%1_mb").arg(tag), indexMb, QStringLiteral("MB"));
    Bench::report(
        QStringLiteral("typed_into_window_%1_shown_ms").arg(tag), Bench::median(typedShown), QStringLiteral("ms"));
    Bench::report(
        QStringLiteral("typed_into_window_%1_results_ms").arg(tag), Bench::median(typedResults), QStringLiteral("ms"));
    Bench::report(QStringLiteral("a_matches_share_%1").arg(tag), matchShareA, QStringLiteral("of all"));
    if (count >= 100000) {
        Bench::report(QStringLiteral("search_rss_100k_mb"), rssAfter, QStringLiteral("MB"));
        Bench::report(QStringLiteral("search_rss_growth_100k_mb"), rssAfter - rssBefore, QStringLiteral("MB"));
        Bench::report(QStringLiteral("search_rss_growth_open_100k_mb"), rssOpen - rssBefore, QStringLiteral("MB"));
    }
    return 0;
}

int suite(const QStringList&)
{
    if (!Bench::enterRuntimeDir()) {
        return 1;
    }
    const QString mode = qEnvironmentVariable(ChildMarker);
    if (!mode.isEmpty()) {
        return runSearch(mode.toInt());
    }
    const Bench::Display screen;
    if (screen.name().isEmpty()) {
        return 1;
    }
    int rc = 0;
    for (const int count : { 10000, 100000 }) {
        QTemporaryDir home;
        if (!buildCatalogue(Bench::catalogueIn(home.path()), count)) {
            return 1;
        }
        // Let go of the bench's own connection before the measured process opens the file.
        IconDatabase::instance().openDatabaseAt(home.path() + QStringLiteral("/unused.db"), QString());
        rc |= Bench::runChild(
            QStringLiteral("search"), ChildMarker, QString::number(count), home.path(), screen.name());
    }
    return rc;
}

const Bench::Registrar
    registrar("search", "type-ahead search in the window over 10,000 and 100,000 items (Xvfb)", suite);
} // namespace
