#pragma once

#include <QString>

/// The message boxes of start-up, shown before the main window exists. Each stays above every other window
/// (a running copy's main window stays on top, and the box must not open underneath it), is raised and
/// activated, and returns once the person closes it or the event loops are told to end.
namespace StartupNotice
{
/// "程序已运行,请勿重复开启!": another copy runs.
void alreadyRunning();
/// The start-up gate at `path` cannot be used (`reason`): the program cannot start. Also written to stderr.
void startBlocked(const QString& path, const QString& reason);
/// The instance lock at `path` cannot be made (`reason`): the program runs, without keeping a second copy out.
/// Also written to stderr.
void runsUnguarded(const QString& path, const QString& reason);
} // namespace StartupNotice
