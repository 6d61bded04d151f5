#pragma once

#include <QString>
#include <QStringList>

/// Brisko's command line, read before the application object exists (so --help and --version need no
/// display). Qt's own options (-platform, -style, -display, ...) are let through for the application object to
/// take; anything else that is not Brisko's own is an error.
struct CommandLine
{
    enum class Action
    {
        /// a plain start
        Run,
        /// --toggle: the running copy shows its window, or hides it when shown; a start when none runs
        Toggle,
        /// --show: the running copy shows its window; a start when none runs
        Show,
        /// -h, --help
        Help,
        /// -v, --version
        Version,
        /// an unknown option, a stray argument, or options that exclude each other; see `error`
        Error,
    };

    Action action = Action::Run;
    /// For Error: what is wrong, in a few words ("unknown option '--x'").
    QString error;

    /// Reads the arguments; the first one is the program.
    static CommandLine parse(const QStringList& arguments);
    /// The text of --help; `program` is the name the program was started by.
    static QString usage(const QString& program);
    /// The text of --version.
    static QString version();

    /// True for the actions that ask a running copy first.
    bool asksRunningCopy() const { return action == Action::Toggle || action == Action::Show; }
};
