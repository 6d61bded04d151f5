#pragma once

#include "icondatabase.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <thread>

class QObject;

/// SQLite's quick check of a catalogue file, run once through a read-only connection on a thread of its own, so
/// that the GUI thread never waits for it. The thread never outlives the object: stop() (run by the destructor
/// too) interrupts the check and waits for the thread.
class IntegrityCheck
{
public:
    IntegrityCheck() = default;
    ~IntegrityCheck();
    IntegrityCheck(const IntegrityCheck&) = delete;
    IntegrityCheck& operator=(const IntegrityCheck&) = delete;

    /// Starts the check of the file at `path`. When it finds the file damaged, `onDamaged` runs on the thread of
    /// `context` (the caller's), unless `context` is gone by then or the check was stopped first.
    void start(const QString& path, QObject* context, std::function<void()> onDamaged);
    void stop();
    /// Running until the answer is there; Unknown when the check could not run to its end.
    IconDatabase::Integrity result() const;

private:
    void tellDamaged();

    struct State; // shared with the thread
    std::shared_ptr<State> m_state;
    std::thread m_thread;
    // Receives the answer on the caller's thread; goes (dropping an answer not yet delivered) after the thread.
    std::unique_ptr<QObject> m_receiver;
    QPointer<QObject> m_context;
    std::function<void()> m_onDamaged;
};
