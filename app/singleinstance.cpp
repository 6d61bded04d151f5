#include "singleinstance.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
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

// Why a lock cannot be used, as the person is told.
const char* const kFolderInPlace = "该路径是一个文件夹，不是锁文件";
const char* const kLinkInPlace = "该路径是一个符号链接，不是锁文件";
const char* const kOddFileInPlace = "该路径是一个特殊文件，不是锁文件";
const char* const kLeftoverNotRemovable = "这是已结束的程序留下的锁文件，但无法删除";
const char* const kOwnerUnknownNotRemovable = "无法读出该锁文件属于哪个程序，也无法删除它";
const char* const kNoPermission = "没有在它所在的文件夹中创建文件的权限";
const char* const kCannotCreate = "无法创建该文件（它所在的文件夹不存在或已满）";

// A lock file whose owner data cannot be read yet may be one a starting copy is writing this very moment.
constexpr qint64 kSettleMs = 2000;

std::unique_ptr<QLockFile> makeLock(const QString& path)
{
    auto lock = std::make_unique<QLockFile>(path);
    // Staleness is decided by the owner's process alone: a lock whose process is gone is stale at once, and a
    // live copy's lock is never taken over however old it is.
    lock->setStaleLockTime(0);
    return lock;
}

/// What stands in a lock's place when it is not a regular file (or nothing); empty for a file or no entry.
QString notALockFile(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode)) {
        return QString();
    }
    if (S_ISDIR(st.st_mode)) {
        return QString::fromUtf8(kFolderInPlace);
    }
    if (S_ISLNK(st.st_mode)) {
        return QString::fromUtf8(kLinkInPlace);
    }
    return QString::fromUtf8(kOddFileInPlace);
#else
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return QString();
    }
    if (info.isSymLink()) {
        return QString::fromUtf8(kLinkInPlace);
    }
    if (info.isDir()) {
        return QString::fromUtf8(kFolderInPlace);
    }
    return info.isFile() ? QString() : QString::fromUtf8(kOddFileInPlace);
#endif
}

/// True when the copy named in a lock file holds it: its process runs and (where that can be checked) the file
/// is locked. A process that merely got the pid of a copy that ended holds no lock on the file.
bool ownerHolds(qint64 pid, const QString& path)
{
#ifdef Q_OS_UNIX
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) {
        return false;
    }
    // QLockFile keeps an exclusive flock() on the file while it holds it (taken before the owner data is
    // written), so a shared one can be had only when nobody holds the lock.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return true; // cannot be checked: the running process decides
    }
    const bool free = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd); // also drops the shared lock
    return !free;
#else
    return pid > 0;
#endif
}

/// One attempt at a lock, with the phrase for the person when it is Blocked or cannot be made.
struct Attempt
{
    enum Kind
    {
        Taken,
        RunningCopy,
        Settling, ///< a file without readable owner data, made a moment ago: try again shortly
        Blocked,
        CannotMake,
    } kind;
    QString problem;
};

Attempt attempt(QLockFile& lock, const QString& path)
{
    // Anything but a regular file in the lock's place is never handed to QLockFile: it can be neither taken
    // nor removed, and reading owner data from a FIFO would wait for ever.
    const QString odd = notALockFile(path);
    if (!odd.isEmpty()) {
        return { Attempt::Blocked, odd };
    }
    if (lock.tryLock(0)) {
        return { Attempt::Taken, QString() };
    }
    if (lock.error() == QLockFile::PermissionError) {
        return { Attempt::CannotMake, QString::fromUtf8(kNoPermission) };
    }
    if (lock.error() != QLockFile::LockFailedError) {
        return { Attempt::CannotMake, QString::fromUtf8(kCannotCreate) };
    }
    qint64 pid = 0;
    QString host;
    QString app;
    QString problem = QString::fromUtf8(kLeftoverNotRemovable);
    if (lock.getLockInfo(&pid, &host, &app)) {
        if (ownerHolds(pid, path)) {
            return { Attempt::RunningCopy, QString() };
        }
    } else {
        // No readable owner data: the owner is writing it this very moment, or was killed between making the
        // file and writing it, or the file is not readable to this user. Only the first case passes.
        problem = QString::fromUtf8(kOwnerUnknownNotRemovable);
        const QFileInfo info(path);
        if (!info.exists()) {
            return { Attempt::Settling, problem }; // gone meanwhile
        }
        const qint64 age = info.lastModified().msecsTo(QDateTime::currentDateTime());
        if (age >= 0 && age <= kSettleMs) {
            return { Attempt::Settling, problem };
        }
    }
    // removeStaleLockFile only removes a lock whose owner holds no lock on it any more, so a live owner's
    // file survives even when its pid was misjudged.
    if (lock.removeStaleLockFile() && lock.tryLock(0)) {
        return { Attempt::Taken, QString() };
    }
    return { Attempt::Blocked, problem };
}

SingleInstance::Outcome outcomeOf(Attempt::Kind kind)
{
    switch (kind) {
    case Attempt::Taken:
        return SingleInstance::Outcome::Taken;
    case Attempt::RunningCopy:
        return SingleInstance::Outcome::RunningCopy;
    case Attempt::CannotMake:
        return SingleInstance::Outcome::CannotMake;
    case Attempt::Settling:
    case Attempt::Blocked:
        break;
    }
    return SingleInstance::Outcome::Blocked;
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

SingleInstance::Outcome SingleInstance::acquireGate(int patienceMs)
{
    if (m_gate->isLocked()) {
        return Outcome::Taken;
    }
    // Polled in short steps (QLockFile::lock() backs off to several seconds between attempts), so a copy
    // that waited while another showed its notice goes on promptly once that notice is closed. Only the time
    // in which no running copy held the gate counts against the patience.
    QElapsedTimer unheld;
    unheld.start();
    for (;;) {
        const Attempt a = attempt(*m_gate, gatePath());
        m_gateProblem = a.problem;
        if (a.kind == Attempt::Taken || a.kind == Attempt::CannotMake) {
            return outcomeOf(a.kind);
        }
        if (a.kind == Attempt::RunningCopy) {
            unheld.restart();
        } else if (unheld.hasExpired(patienceMs)) {
            return Outcome::Blocked;
        }
        QThread::msleep(50);
    }
}

void SingleInstance::releaseGate()
{
    m_gate->unlock();
}

SingleInstance::Outcome SingleInstance::tryLockInstance()
{
    if (m_instance->isLocked()) {
        m_instanceProblem.clear();
        return Outcome::Taken;
    }
    // A file being written passes within moments; it is not waited for longer than that.
    QElapsedTimer settling;
    settling.start();
    for (;;) {
        const Attempt a = attempt(*m_instance, instancePath());
        m_instanceProblem = a.problem;
        if (a.kind != Attempt::Settling || settling.hasExpired(kSettleMs + 500)) {
            return outcomeOf(a.kind);
        }
        QThread::msleep(50);
    }
}

bool SingleInstance::holdsInstance() const
{
    return m_instance->isLocked();
}

QString SingleInstance::gateProblem() const
{
    return m_gateProblem;
}

QString SingleInstance::instanceProblem() const
{
    return m_instanceProblem;
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
    const QString cache
        = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QLatin1String("/brisko");
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
