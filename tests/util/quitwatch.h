#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <functional>

namespace TestUtil
{
/// Counts the program's requests to end (QCoreApplication::quit() while the main loop runs) and keeps them
/// from ending the test.
class QuitWatch : public QObject
{
public:
    int quits = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
            ++quits;
            return true;
        }
        return false;
    }
};

/// Runs `work` inside the application's main loop, where quit() requests take effect, and returns how many
/// quit requests it made.
inline int quitsDuring(const std::function<void()>& work)
{
    QuitWatch watch;
    QCoreApplication::instance()->installEventFilter(&watch);
    QTimer::singleShot(0, QCoreApplication::instance(), [&] {
        work();
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    QCoreApplication::instance()->removeEventFilter(&watch);
    return watch.quits;
}
} // namespace TestUtil
