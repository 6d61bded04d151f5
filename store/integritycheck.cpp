#include "integritycheck.h"

#include "sqlitehandle.h"

#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <mutex>

namespace
{
// The check runs off the GUI thread: it may wait for another program's lock longer than the store does.
const int kCheckBusyTimeoutMs = 3000;

// SQLite result codes (primary codes: the low byte of an extended one) that say the file is damaged.
const int kSqliteCorrupt = 11;
const int kSqliteNotADb = 26;

std::atomic<int> g_checkCounter { 0 };
} // namespace

struct IntegrityCheck::State
{
    std::mutex mutex; // guards `stopped` and `handle`
    bool stopped = false;
#ifdef BRISKO_HAVE_SQLITE3
    // The check's own connection while its statement may run, so that stop() can interrupt it.
    sqlite3* handle = nullptr;
#endif
    std::atomic<int> result { int(IconDatabase::Integrity::NotChecked) };

    /// Runs the check of the file at `path` through a read-only connection of the calling thread. Damaged only
    /// when SQLite says so; Unknown when the check could not run to its end.
    IconDatabase::Integrity run(const QString& path)
    {
        using Integrity = IconDatabase::Integrity;
        Integrity answer = Integrity::Unknown;
        const QString name = QStringLiteral("brisko-check-%1").arg(++g_checkCounter);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            db.setConnectOptions(
                QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kCheckBusyTimeoutMs));
            if (db.open()) {
                bool go = false;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    go = !stopped;
#ifdef BRISKO_HAVE_SQLITE3
                    if (go) {
                        handle = SqliteHandle::of(db);
                    }
#endif
                }
                if (go) {
                    QSqlQuery q(db);
                    q.setForwardOnly(true);
                    const int code = q.exec(QStringLiteral("pragma quick_check(1)")) && q.next()
                        ? 0
                        : q.lastError().nativeErrorCode().toInt() & 0xff;
                    if (code == 0) {
                        answer = q.value(0).toString() == QLatin1String("ok") ? Integrity::Sound : Integrity::Damaged;
                    } else if (code == kSqliteCorrupt || code == kSqliteNotADb) {
                        answer = Integrity::Damaged;
                    }
                }
#ifdef BRISKO_HAVE_SQLITE3
                std::lock_guard<std::mutex> lock(mutex);
                handle = nullptr;
#endif
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return answer;
    }
};

IntegrityCheck::~IntegrityCheck()
{
    stop();
}

void IntegrityCheck::start(const QString& path, QObject* context, std::function<void()> onDamaged)
{
    stop();
    m_state = std::make_shared<State>();
    m_state->result = int(IconDatabase::Integrity::Running);
    m_receiver = std::make_unique<QObject>();
    m_context = context;
    m_onDamaged = std::move(onDamaged);
    std::shared_ptr<State> state = m_state;
    QObject* receiver = m_receiver.get();
    m_thread = std::thread([this, state, receiver, path] {
        const IconDatabase::Integrity answer = state->run(path);
        state->result = int(answer);
        if (answer == IconDatabase::Integrity::Damaged) {
            // The receiver lives until this thread has been joined; the call runs on the caller's thread.
            QMetaObject::invokeMethod(
                receiver, [this] { tellDamaged(); }, Qt::QueuedConnection);
        }
    });
}

void IntegrityCheck::stop()
{
    if (!m_state) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->stopped = true;
#ifdef BRISKO_HAVE_SQLITE3
        if (m_state->handle) {
            sqlite3_interrupt(m_state->handle);
        }
#endif
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_receiver.reset();
    m_context = nullptr;
    m_onDamaged = nullptr;
}

IconDatabase::Integrity IntegrityCheck::result() const
{
    return m_state ? IconDatabase::Integrity(m_state->result.load()) : IconDatabase::Integrity::NotChecked;
}

void IntegrityCheck::tellDamaged()
{
    if (m_context && m_onDamaged) {
        // Run from the context's own event, so that the catalogue may close while the person reads the notice.
        QMetaObject::invokeMethod(m_context.data(), m_onDamaged, Qt::QueuedConnection);
    }
}
