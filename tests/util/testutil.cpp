#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace TestUtil
{
struct Poll::State
{
    std::function<QWidget*()> find;
    std::function<void(QWidget*)> answer;
    bool* done = nullptr;
    bool repeat = false;
    int answered = 0;
    QPointer<QWidget> last;
    QElapsedTimer clock;
    int timeoutMs = 0;
    std::unique_ptr<QTimer> timer;

    ~State()
    {
        // May go while its own timer's signal is being delivered: the timer goes once that is over.
        if (timer) {
            timer->stop();
            timer.release()->deleteLater();
        }
    }
};

Poll makePoll(const std::function<QWidget*()>& find,
              const std::function<void(QWidget*)>& answer,
              bool* done,
              int timeoutMs,
              bool repeat)
{
    Poll poll;
    auto state = std::make_shared<Poll::State>();
    state->find = find;
    state->answer = answer;
    state->done = done;
    state->repeat = repeat;
    state->timeoutMs = timeoutMs;
    state->clock.start();
    state->timer = std::make_unique<QTimer>();
    state->timer->setInterval(10);
    // The timer holds the state weakly: once the poll is gone, nothing of it runs.
    std::weak_ptr<Poll::State> weak = state;
    QObject::connect(state->timer.get(), &QTimer::timeout, [weak] {
        const std::shared_ptr<Poll::State> s = weak.lock();
        if (!s) {
            return;
        }
        QWidget* w = s->find();
        if (w && w->isVisible() && (w != s->last || !s->repeat)) {
            if (!s->repeat) {
                s->timer->stop();
            }
            s->last = w;
            ++s->answered;
            // A dialog found before the window system has made it the active window would have the answer's keys
            // go to the window underneath, and the dialog would wait for ever: on a slow machine (a sanitizer
            // build) that moment is long enough to be hit.
            if (w->isWindow() && w->windowType() != Qt::Popup && !w->isActiveWindow()) {
                const QPointer<QWidget> alive(w);
                // Answered either way: where nothing is ever made active the answer is all there is to try.
                [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(w, 2000);
                if (!alive) {
                    return;
                }
            }
            s->answer(w);
            if (s->done) {
                *s->done = true;
            }
            return;
        }
        if (!s->repeat && s->clock.elapsed() > s->timeoutMs) {
            s->timer->stop();
        }
    });
    state->timer->start();
    poll.m_state = std::move(state);
    return poll;
}

Poll::Poll() = default;
Poll::Poll(Poll&& other) noexcept = default;
Poll& Poll::operator=(Poll&& other) noexcept = default;

Poll::~Poll()
{
    stop();
}

int Poll::answered() const
{
    return m_state ? m_state->answered : 0;
}

void Poll::stop()
{
    if (m_state && m_state->timer) {
        m_state->timer->stop();
    }
}

Poll answerModal(const std::function<void(QWidget*)>& answer, bool* done, int timeoutMs)
{
    return makePoll([] { return QApplication::activeModalWidget(); }, answer, done, timeoutMs, false);
}

Poll answerEachModal(const std::function<void(QWidget*)>& answer)
{
    return makePoll([] { return QApplication::activeModalWidget(); }, answer, nullptr, 0, true);
}

Poll answerPopup(const std::function<void(QWidget*)>& answer, bool* done, int timeoutMs)
{
    return makePoll([] { return QApplication::activePopupWidget(); }, answer, done, timeoutMs, false);
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
