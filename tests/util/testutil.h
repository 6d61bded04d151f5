#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <functional>

namespace TestUtil
{
/// Calls `answer` with the first modal widget that appears (QApplication::activeModalWidget()), polling from
/// a timer, so a test can queue the answer before it runs a blocking exec(). `done` (if given) is set to true
/// once the answer has run. Gives up after `timeoutMs`.
void answerModal(const std::function<void(QWidget*)>& answer, bool* done = nullptr, int timeoutMs = 5000);

/// The same for the first popup widget (QApplication::activePopupWidget()), for menus.
void answerPopup(const std::function<void(QWidget*)>& answer, bool* done = nullptr, int timeoutMs = 5000);

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
