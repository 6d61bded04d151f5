#include "singleinstance.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{
#ifdef Q_OS_UNIX
/// True for a real folder (not a link) owned by this user that nobody else may enter.
bool isPrivateFolder(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return false;
    }
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}
#endif

std::unique_ptr<QLockFile> makeLock(const QString& path)
{
    auto lock = std::make_unique<QLockFile>(path);
    // Staleness is decided by the owner's process alone: a lock whose process is gone is stale at once, and a
    // live copy's lock is never taken over however old it is.
    lock->setStaleLockTime(0);
    return lock;
}

/// One attempt to take `lock`; a lock file left by a process that no longer runs is removed and retried.
bool tryTake(QLockFile& lock, const QString& path)
{
    if (lock.tryLock(0)) {
        return true;
    }
    if (lock.error() != QLockFile::LockFailedError) {
        return false;
    }
    qint64 pid = 0;
    QString host;
    QString app;
    bool ownerGone = false;
    if (lock.getLockInfo(&pid, &host, &app)) {
#ifdef Q_OS_UNIX
        ownerGone = pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
    } else {
        // No readable owner data: the owner is writing it this very moment, or was killed between making the
        // file and writing it. Only the second case lasts.
        const QFileInfo info(path);
        ownerGone = info.exists() && info.lastModified().msecsTo(QDateTime::currentDateTime()) > 2000;
    }
    // removeStaleLockFile only removes a lock whose owner holds no lock on it any more, so a live owner's
    // file survives even when its pid was misjudged.
    if (ownerGone && lock.removeStaleLockFile()) {
        return lock.tryLock(0);
    }
    return false;
}
} // namespace

SingleInstance::SingleInstance(const QString& folder)
    : m_folder(folder.isEmpty() ? lockFolder() : folder)
    , m_gate(makeLock(gatePath()))
    , m_instance(makeLock(instancePath()))
{
}

SingleInstance::~SingleInstance()
{
    m_instance->unlock();
    m_gate->unlock();
}

bool SingleInstance::acquireGate()
{
    if (m_gate->isLocked()) {
        return true;
    }
    // Polled in short steps (QLockFile::lock() backs off to several seconds between attempts), so a copy
    // that waited while another showed its notice goes on promptly once that notice is closed.
    for (;;) {
        if (tryTake(*m_gate, gatePath())) {
            return true;
        }
        if (m_gate->error() == QLockFile::PermissionError || m_gate->error() == QLockFile::UnknownError) {
            return false;
        }
        QThread::msleep(50);
    }
}

void SingleInstance::releaseGate()
{
    m_gate->unlock();
}

bool SingleInstance::tryLockInstance()
{
    if (m_instance->isLocked()) {
        return true;
    }
    return tryTake(*m_instance, instancePath());
}

bool SingleInstance::holdsInstance() const
{
    return m_instance->isLocked();
}

bool SingleInstance::otherCopyRuns() const
{
    return !m_instance->isLocked() && m_instance->error() == QLockFile::LockFailedError;
}

QString SingleInstance::gatePath() const
{
    return m_folder + QLatin1String("/JAMKey.lock");
}

QString SingleInstance::instancePath() const
{
    return m_folder + QLatin1String("/Shelfmate_Object.lock");
}

QString SingleInstance::lockFolder()
{
#ifdef Q_OS_UNIX
    // QStandardPaths makes up a runtime folder (with a warning) when XDG_RUNTIME_DIR is unset; use it only
    // when the session really provides one.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime)) {
        return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    const QString own = QDir::tempPath() + QLatin1String("/brisko-") + QString::number(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateFolder(own)) {
        return own;
    }
    // Somebody else made that folder (or a link there): keep the locks in the user's own cache folder.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                          + QLatin1String("/brisko");
    QDir().mkpath(cache);
    return cache;
#else
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    }
    QDir().mkpath(folder);
    return folder;
#endif
}
