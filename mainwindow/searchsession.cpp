#include "searchsession.h"

#include "pinyin.h"

#include <QTimer>

#include <algorithm>
#include <climits>

namespace
{
// The first slice of a search may take this long to find a screenful (a key press then paints within a frame).
constexpr qint64 kFirstSliceNs = 8'000'000;
// Later slices run between events and keep each one short, so keys and scrolling are never held up.
constexpr qint64 kSliceNs = 4'000'000;
// Names scanned between two looks at the clock.
constexpr int kChunk = 2048;
// Past this many changed entries the index is read again whole, which is cheaper than row by row.
constexpr size_t kChangesReadOneByOne = 2000;
// Entries read from the store at a time while loading the index in slices.
constexpr int kLoadRows = 2048;
} // namespace

/// The results of one search as the tree lists them: ids in the order shown, names from the index (or, when the
/// store answered, as it gave them). From the index the list is made of runs of ascending ids (the names that
/// contain the keyword, then those that hold it in pinyin from their start, then the other pinyin matches),
/// so an id is found by a binary search per run.
class SearchSession::Results : public QQTree::RowSource
{
public:
    int rowCount() const override { return int(ids.size()); }
    int rowId(int row) const override { return ids[size_t(row)]; }
    QString rowName(int row) const override { return index ? index->name(ids[size_t(row)]) : names.value(row); }
    int rowOf(int id) const override
    {
        if (!ascending) {
            const auto it = std::find(ids.begin(), ids.end(), id);
            return it != ids.end() ? int(it - ids.begin()) : -1;
        }
        for (size_t run = 0; run < runStarts.size(); ++run) {
            const int at = find(runStarts[run], run + 1 < runStarts.size() ? runStarts[run + 1] : ids.size(), id);
            if (at >= 0) {
                return at;
            }
        }
        return -1;
    }

    /// The row of `id` among rows [begin, end) (ascending ids), -1 when it is not there.
    int find(size_t begin, size_t end, int id) const
    {
        const auto first = ids.begin() + std::ptrdiff_t(begin);
        const auto last = ids.begin() + std::ptrdiff_t(end);
        const auto it = std::lower_bound(first, last, id);
        return it != last && *it == id ? int(it - ids.begin()) : -1;
    }

    std::vector<int> ids;
    /// Where each run of ascending ids starts.
    std::vector<size_t> runStarts { 0 };
    std::shared_ptr<const SearchIndex> index;
    QStringList names;
    bool ascending = true;
};

SearchSession::SearchSession(const IconDatabase& database, QObject* parent)
    : QObject(parent)
    , m_db(database)
    , m_index(std::make_shared<SearchIndex>())
    , m_sliceTimer(new QTimer(this))
    , m_changeTimer(new QTimer(this))
    , m_loadTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("searchSession"));
    m_sliceTimer->setSingleShot(true);
    m_sliceTimer->setInterval(0);
    connect(m_sliceTimer, &QTimer::timeout, this, &SearchSession::continueScan);
    // Changes heard from the store are taken into the index soon after, outside the command that made them.
    m_changeTimer->setSingleShot(true);
    m_changeTimer->setInterval(0);
    connect(m_changeTimer, &QTimer::timeout, this, &SearchSession::applyChanges);
    m_loadTimer->setSingleShot(true);
    connect(m_loadTimer, &QTimer::timeout, this, &SearchSession::loadSlice);
}

SearchSession::~SearchSession()
{
    m_db.stopListening(m_listener);
}

void SearchSession::prepare()
{
    // Read in slices between events: the names are ready by the time the first key comes.
    updateIndex(false);
}

bool SearchSession::listening()
{
    if (m_listener != 0 && m_db.isListening(m_listener)) {
        return true;
    }
    // Not yet hearing this connection's changes (or no longer: it was opened again): start, and read all anew.
    m_db.stopListening(m_listener);
    m_index->clear();
    m_changed.clear();
    m_listener = m_db.listenToItemChanges([this](int id) {
        // Runs inside the store's statement: only note the id.
        if (m_changed.size() <= kChangesReadOneByOne) {
            m_changed.push_back(id);
        }
        if (!m_changeTimer->isActive()) {
            m_changeTimer->start();
        }
    });
    return m_listener != 0;
}

bool SearchSession::updateIndex(bool now)
{
    // Rows changed inside an open transaction may yet be undone without a word: read nothing until it ends.
    if (!listening() || m_db.inTransaction()) {
        return false;
    }
    const qint64 version = m_db.foreignChangeCount();
    if (version != m_foreignVersion || m_changed.size() > kChangesReadOneByOne) {
        // Changed by another program, or too much to read row by row: everything is read anew.
        m_foreignVersion = version;
        m_changed.clear();
        m_index->clear();
    }
    if (!m_index->isLoaded()) {
        if (!m_index->isLoading()) {
            m_index->beginLoad();
        }
        if (!now) {
            loadSlice();
            if (!m_index->isLoaded()) {
                return false;
            }
        } else if (!m_index->loadMore(m_db, -1)) {
            return false;
        }
    }
    if (!m_changed.empty()) {
        std::sort(m_changed.begin(), m_changed.end());
        m_changed.erase(std::unique(m_changed.begin(), m_changed.end()), m_changed.end());
        const QList<int> ids(m_changed.begin(), m_changed.end());
        m_changed.clear();
        return m_index->reload(m_db, ids);
    }
    return true;
}

void SearchSession::loadSlice()
{
    if (!m_index->isLoading()) {
        return;
    }
    if (m_db.inTransaction()) {
        m_loadTimer->start(50); // after the transaction
        return;
    }
    QElapsedTimer clock;
    clock.start();
    while (m_index->isLoading() && clock.nsecsElapsed() < kSliceNs) {
        if (!m_index->loadMore(m_db, kLoadRows)) {
            // The next search tries again; one waiting now asks the store.
            if (m_waiting) {
                endWaiting(false);
            }
            return;
        }
    }
    if (m_index->isLoading()) {
        m_loadTimer->start(0);
    } else if (m_waiting) {
        endWaiting(true);
    } else if (!m_changed.empty()) {
        m_changeTimer->start(0);
    }
}

void SearchSession::endWaiting(bool namesRead)
{
    // The names are all there (or could not be read): the search typed meanwhile runs now. Names that could not
    // be read are not read again all at once here: the store searches instead.
    m_waiting = false;
    m_usesIndex = namesRead && updateIndex(true);
    if (m_usesIndex) {
        beginScan(kFirstSliceNs);
    } else {
        searchStore();
    }
    if (rowCount() > 0) {
        emit rowsAppended();
    }
    if (!m_scanning) {
        emit settled();
    }
}

void SearchSession::applyChanges()
{
    if (!m_index->isLoaded()) {
        return; // a load under way reads them; otherwise the next search reads everything
    }
    if (m_db.inTransaction()) {
        m_changeTimer->start(50); // after the transaction
        return;
    }
    updateIndex(false);
}

void SearchSession::start(const QString& keyword, int firstRows)
{
    stop();
    m_results = std::make_shared<Results>();
    m_keyword = keyword;
    m_matcher = std::make_unique<NameMatcher>(keyword);
    m_pinyin = std::make_unique<PinyinMatcher>(keyword);
    if (!m_pinyin->isUsable()) {
        m_pinyin.reset();
    }
    m_firstRows = std::max(firstRows, 1);
    m_usesIndex = false;
    if (m_matcher->isExact() && listening() && !m_db.inTransaction()) {
        m_usesIndex = updateIndex(false);
        if (!m_usesIndex && m_index->isLoading()) {
            // The names are still being read (typing started at once): the search runs once they are all
            // there, and the keys are not held up meanwhile.
            m_usesIndex = true;
            m_waiting = true;
            return;
        }
    }
    if (m_usesIndex) {
        beginScan(kFirstSliceNs);
    } else {
        searchStore();
    }
}

void SearchSession::searchStore()
{
    // The store's own search, all at once.
    QList<IconItemInfo> found;
    m_db.searchItems(found, m_keyword);
    for (const IconItemInfo& info : std::as_const(found)) {
        if (info.ttype == en_team_icon || info.ttype == en_team_site) {
            m_results->ids.push_back(info.id);
            m_results->names.append(info.icon_name);
        }
    }
    m_results->ascending = std::is_sorted(m_results->ids.begin(), m_results->ids.end());
    m_matcher.reset();
    m_pinyin.reset();
}

void SearchSession::beginScan(qint64 budgetNs)
{
    m_results->index = m_index;
    m_pinyinPass = false;
    m_scanning = m_index->size() > 0;
    m_nextId = m_scanning ? m_index->idAt(0) : 0;
    if (m_scanning) {
        scanSlice(m_firstRows, budgetNs);
    }
    if (m_scanning) {
        m_sliceTimer->start();
    } else {
        m_matcher.reset();
        m_pinyin.reset();
    }
}

void SearchSession::stop()
{
    m_sliceTimer->stop();
    m_scanning = false;
    m_waiting = false;
    m_matcher.reset();
    m_pinyin.reset();
    std::vector<int>().swap(m_within);
    m_results.reset();
}

void SearchSession::scanSlice(int enough, qint64 budgetNs)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<int>& ids = m_results->ids;
    // The scan goes on from an id rather than a position, so that changes taken into the index meanwhile do
    // not shift it.
    int position = m_index->lowerBound(m_nextId);
    int size = m_index->size();
    for (;;) {
        if (position < size) {
            const int to = std::min(size, position + kChunk);
            if (m_pinyinPass) {
                scanPinyinChunk(position, to);
            } else {
                m_index->scan(*m_matcher, position, to, ids);
            }
            position = to;
        }
        if (position >= size) {
            if (m_pinyinPass || !m_pinyin) {
                break;
            }
            // The names that contain the keyword are all listed: those that hold it in pinyin follow, in a
            // second pass over the names.
            m_pinyinPass = true;
            m_results->runStarts.push_back(ids.size());
            position = 0;
            size = m_index->size();
        }
        if (int(ids.size()) >= enough || clock.nsecsElapsed() >= budgetNs) {
            break;
        }
    }
    m_scanning = position < size;
    m_nextId = m_scanning ? m_index->idAt(position) : 0;
    if (!m_scanning && m_pinyinPass && !m_within.empty()) {
        // Matches from the start of a name come first; the others were held back until all of those were found.
        m_results->runStarts.push_back(ids.size());
        ids.insert(ids.end(), m_within.begin(), m_within.end());
        std::vector<int>().swap(m_within);
    }
}

void SearchSession::scanPinyinChunk(int from, int to)
{
    std::vector<int>& ids = m_results->ids;
    const size_t listed = ids.size();
    const size_t withinBefore = m_within.size();
    m_index->scanPinyin(*m_pinyin, from, to, ids, m_within);
    // A name that contains the keyword is listed already, among the first run.
    const auto contained = [this](int id) { return m_results->find(0, m_results->runStarts[1], id) >= 0; };
    ids.erase(std::remove_if(ids.begin() + std::ptrdiff_t(listed), ids.end(), contained), ids.end());
    m_within.erase(std::remove_if(m_within.begin() + std::ptrdiff_t(withinBefore), m_within.end(), contained),
                   m_within.end());
}

void SearchSession::continueScan()
{
    if (!m_results || !m_scanning) {
        return;
    }
    const size_t before = m_results->ids.size();
    scanSlice(INT_MAX, kSliceNs);
    if (m_results->ids.size() != before) {
        emit rowsAppended();
    }
    if (m_scanning) {
        m_sliceTimer->start();
    } else {
        m_matcher.reset();
        m_pinyin.reset();
        emit settled();
    }
}

std::shared_ptr<const QQTree::RowSource> SearchSession::rows() const
{
    return m_results;
}

int SearchSession::rowCount() const
{
    return m_results ? int(m_results->ids.size()) : 0;
}

int SearchSession::firstId() const
{
    return m_results && !m_results->ids.empty() ? m_results->ids.front() : 0;
}

bool SearchSession::isSettled() const
{
    return !m_scanning && !m_waiting;
}

bool SearchSession::usesIndex() const
{
    return m_usesIndex;
}
