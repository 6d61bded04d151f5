#pragma once

#include "icondatabase.h"
#include "qqtree.h"
#include "searchindex.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class PinyinMatcher;
class QTimer;

/// Type-ahead search for the main window. The names that contain the keyword come first, in the store's order;
/// then, for a keyword typed in Latin letters, the names that hold it in pinyin (PinyinMatcher), those that
/// hold it from their first character before the others, each in the store's order. Names are matched in memory
/// (SearchIndex), loaded from the store when the search box first opens and kept in step with every change made through
/// the store's connection. A search finds its first screenful at once and the rest in slices of a few milliseconds
/// between events, so a key press never waits for a long result list, and a new keyword simply ends the scan of the old
/// one. Where changes cannot be followed (a store without SQLite's own interface) or a keyword is one only SQLite can
/// judge, the store's own search answers instead, all at once.
class SearchSession : public QObject
{
    Q_OBJECT

public:
    explicit SearchSession(const IconDatabase& database, QObject* parent = nullptr);
    ~SearchSession() override;

    /// Reads the names into the index unless they are there and current, in slices between events (typing is
    /// about to start).
    void prepare();
    /// Searches for `keyword` (not empty), ending any search before. Matches are found now until there are
    /// `firstRows` of them (a screenful); the rest follow in slices (rowsAppended, then settled). While the
    /// names are still being read (prepare() just called), the search waits for them between events.
    void start(const QString& keyword, int firstRows);
    /// Ends the current search and lets go of its results.
    void stop();

    /// The results of the current search (see above); they grow at the end until the search has settled.
    std::shared_ptr<const QQTree::RowSource> rows() const;
    int rowCount() const;
    /// Id of the first result, 0 when there is none.
    int firstId() const;
    /// True once the current search has found every match (and while none runs).
    bool isSettled() const;
    /// True when the search is served from the name index in memory (false: from the store's own search).
    bool usesIndex() const;
    /// The name index, for memory figures and tests.
    const SearchIndex& index() const { return *m_index; }

signals:
    /// More results of the current search were added at the end of rows().
    void rowsAppended();
    /// The current search, not through when start() returned, has now found every match.
    void settled();

private:
    class Results;

    /// Hears the store's changes from now on, if it did not already; false where changes cannot be heard.
    bool listening();
    /// Brings the index up to date with the store: now, or (when `now` is false and it has to be read whole) in
    /// slices between events. True when it can be used now.
    bool updateIndex(bool now);
    void loadSlice();
    void applyChanges();
    /// Scans until `enough` results are known, the scan is through, or `budgetMs` has passed.
    void scanSlice(int enough, qint64 budgetMs);
    /// Starts scanning the index for the current search, the first slice now.
    void beginScan(qint64 budgetNs);
    /// Runs the current search, which waited for the names to be read.
    void endWaiting(bool namesRead);
    /// Answers the current search with the store's own search.
    void searchStore();
    /// Scans positions [from, to) of the index for pinyin matches that are not listed already.
    void scanPinyinChunk(int from, int to);
    void continueScan();

    IconDatabase m_db;
    std::shared_ptr<SearchIndex> m_index;
    std::shared_ptr<Results> m_results;
    QString m_keyword;
    std::unique_ptr<NameMatcher> m_matcher;
    /// The current keyword read as pinyin; null when it cannot be.
    std::unique_ptr<PinyinMatcher> m_pinyin;
    /// The scan has listed every name that contains the keyword and looks for pinyin matches now.
    bool m_pinyinPass = false;
    /// Pinyin matches that do not start with the name's first character: listed once the pass is through.
    std::vector<int> m_within;
    /// The scan of the current search goes on at this id (the first one not yet scanned) while it runs.
    int m_nextId = 0;
    bool m_scanning = false;
    /// The current search waits for the names to be read.
    bool m_waiting = false;
    /// Results wanted from the first slice of the current search.
    int m_firstRows = 1;
    /// Ids changed through the store since the index was last brought up to date.
    std::vector<int> m_changed;
    quint64 m_listener = 0;
    qint64 m_foreignVersion = -1;
    bool m_usesIndex = false;
    QTimer* m_sliceTimer = nullptr;
    QTimer* m_changeTimer = nullptr;
    QTimer* m_loadTimer = nullptr;
};
