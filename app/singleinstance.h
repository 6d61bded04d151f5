#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

/// Keeps a second copy of the program out, per user, with two lock files in the user's runtime folder:
/// the start-up gate "JAMKey.lock", held only while a starting copy checks (and, when refused, while it shows
/// its notice), and the instance lock "Shelfmate_Object.lock", held by the running copy for its whole run.
/// A lock left behind by a copy that was killed is recovered at once, so a crash never blocks a later start;
/// something in a lock's place that no running copy holds and that cannot be removed (a folder, a link, a file
/// of another user) is reported, never waited for without end.
class SingleInstance
{
public:
    /// What became of an attempt to take a lock.
    enum class Outcome
    {
        Taken,
        RunningCopy, ///< another copy that is running holds it
        Blocked, ///< something no running copy holds is in its place and cannot be removed (see the problem text)
        CannotMake, ///< the lock file cannot be made at all: its folder is missing, not writable or full
    };

    /// How long acquireGate() lets a gate that no running copy holds block the start.
    static constexpr int kGatePatienceMs = 5000;

    /// `folder` replaces the runtime folder (tests); empty: lockFolder().
    explicit SingleInstance(const QString& folder = QString());
    ~SingleInstance();

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// Takes the gate. Waits for as long as a running copy holds it (a refused copy holds it while its notice is
    /// open); gives up with Blocked once something that no running copy holds has kept it for `patienceMs`.
    /// Never RunningCopy.
    Outcome acquireGate(int patienceMs = kGatePatienceMs);
    /// Gives the gate back (no-op when not held).
    void releaseGate();

    /// Takes the instance lock without waiting for a running copy.
    Outcome tryLockInstance();
    bool holdsInstance() const;

    /// Why the gate / the instance lock was Blocked or CannotMake at the last attempt: a short phrase for the
    /// person ("该路径是一个文件夹"); empty after Taken or RunningCopy.
    QString gateProblem() const;
    QString instanceProblem() const;

    QString gatePath() const;
    QString instancePath() const;

    /// The per-user folder the locks live in: the runtime folder ($XDG_RUNTIME_DIR), or a private folder
    /// "brisko-<uid>" (mode 0700) in the temporary folder when there is none.
    static QString lockFolder();

private:
    QString m_folder; // first: the lock files are named from it
    std::unique_ptr<QLockFile> m_gate;
    std::unique_ptr<QLockFile> m_instance;
    QString m_gateProblem;
    QString m_instanceProblem;
};
