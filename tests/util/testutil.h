#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace TestUtil
{
/// Answers dialogs or menus from a timer while the code under test runs a blocking exec() or pop(). It polls
/// until it has answered (or, made with answerEachModal(), until it is destroyed) and stops when the object
/// goes: keep it in a local of the test, declared after whatever its callback uses, so that no answer ever
/// runs after the test has returned.
class Poll
{
public:
    Poll();
    Poll(Poll&& other) noexcept;
    Poll& operator=(Poll&& other) noexcept;
    ~Poll();

    /// How many widgets have been answered so far.
    int answered() const;
    /// Stops polling now.
    void stop();

    struct State;

private:
    friend Poll makePoll(const std::function<QWidget*()>&, const std::function<void(QWidget*)>&, bool*, int, bool);
    std::shared_ptr<State> m_state;
};

/// Calls `answer` with the first modal widget that appears (QApplication::activeModalWidget()), so a test can
/// queue the answer before it runs a blocking exec(). `done` (if given) is set to true once the answer has run.
/// Gives up after `timeoutMs`.
[[nodiscard]] Poll answerModal(const std::function<void(QWidget*)>& answer, bool* done = nullptr, int timeoutMs = 5000);

/// Calls `answer` with every modal widget that appears, each once, until the poll is destroyed; answered()
/// counts them. A second box where one is expected is then answered and counted instead of blocking the test.
[[nodiscard]] Poll answerEachModal(const std::function<void(QWidget*)>& answer);

/// The same as answerModal() for the first popup widget (QApplication::activePopupWidget()), for menus.
[[nodiscard]] Poll answerPopup(const std::function<void(QWidget*)>& answer, bool* done = nullptr, int timeoutMs = 5000);

/// Reads a whole file; empty on failure.
QByteArray readFile(const QString& path);

/// Writes a whole file, creating its folder; false on failure.
bool writeFile(const QString& path, const QByteArray& data);

/// Sets (or, without a value, unsets) an environment variable for the lifetime of the object, then puts back
/// what was there before.
class EnvGuard
{
public:
    EnvGuard(const char* name, const QByteArray& value);
    explicit EnvGuard(const char* name);
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};
} // namespace TestUtil
