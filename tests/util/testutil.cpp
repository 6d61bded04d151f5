#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

namespace
{
void pollFor(const std::function<QWidget*()>& find,
             const std::function<void(QWidget*)>& answer,
             bool* done,
             int remainingMs)
{
    QWidget* w = find();
    if (w && w->isVisible()) {
        answer(w);
        if (done) {
            *done = true;
        }
        return;
    }
    if (remainingMs <= 0) {
        return;
    }
    QTimer::singleShot(10, qApp, [=] { pollFor(find, answer, done, remainingMs - 10); });
}
} // namespace

namespace TestUtil
{
void answerModal(const std::function<void(QWidget*)>& answer, bool* done, int timeoutMs)
{
    pollFor([] { return QApplication::activeModalWidget(); }, answer, done, timeoutMs);
}

void answerPopup(const std::function<void(QWidget*)>& answer, bool* done, int timeoutMs)
{
    pollFor([] { return QApplication::activePopupWidget(); }, answer, done, timeoutMs);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return f.write(data) == data.size();
}
} // namespace TestUtil

TestUtil::EnvGuard::EnvGuard(const char* name, const QByteArray& value)
    : EnvGuard(name)
{
    qputenv(name, value);
}

TestUtil::EnvGuard::EnvGuard(const char* name)
    : m_name(name)
    , m_had(qEnvironmentVariableIsSet(name))
    , m_old(qgetenv(name))
{
    qunsetenv(name);
}

TestUtil::EnvGuard::~EnvGuard()
{
    if (m_had) {
        qputenv(m_name, m_old);
    } else {
        qunsetenv(m_name);
    }
}
