#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

/// Keeps a second copy of the program out, per user, with two lock files in the user's runtime folder:
/// the start-up gate "JAMKey.lock", held only while a starting copy checks (and, when refused, while it shows
/// its notice), and the instance lock "Shelfmate_Object.lock", held by the running copy for its whole run.
/// A lock left behind by a copy that was killed is recovered at once, so a crash never blocks a later start.
class SingleInstance
{
public:
    /// `folder` replaces the runtime folder (tests); empty: lockFolder().
    explicit SingleInstance(const QString& folder = QString());
    ~SingleInstance();

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// Waits until no other starting copy holds the gate, then takes it. False only when the lock file cannot
    /// be made at all (folder missing or not writable).
    bool acquireGate();
    /// Gives the gate back (no-op when not held).
    void releaseGate();

    /// Takes the instance lock without waiting. False when another live copy holds it, or when the lock file
    /// cannot be made (see otherCopyRuns()).
    bool tryLockInstance();
    bool holdsInstance() const;
    /// After a failed tryLockInstance(): true when another live copy holds the instance lock; false when the
    /// lock file could not be made at all (folder full, missing or not writable), where nothing says that
    /// another copy runs.
    bool otherCopyRuns() const;

    QString gatePath() const;
    QString instancePath() const;

    /// The per-user folder the locks live in: the runtime folder ($XDG_RUNTIME_DIR), or a private folder
    /// "brisko-<uid>" (mode 0700) in the temporary folder when there is none.
    static QString lockFolder();

private:
    QString m_folder; // first: the lock files are named from it
    std::unique_ptr<QLockFile> m_gate;
    std::unique_ptr<QLockFile> m_instance;
};
