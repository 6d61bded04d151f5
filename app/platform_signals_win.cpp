#include "platform.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <qt_windows.h>

// The console's control routine runs on a thread of its own: it only posts the request to the event loop.

namespace
{
std::function<void()>& terminationHandler()
{
    static std::function<void()> handler;
    return handler;
}

void deliver()
{
    const std::function<void()> handler = terminationHandler();
    if (handler) {
        handler();
    }
}

BOOL WINAPI onConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        return FALSE;
    }
    QMetaObject::invokeMethod(app, &deliver, Qt::QueuedConnection);
    return TRUE;
}
} // namespace

namespace Platform
{
bool onTerminationRequest(std::function<void()> handler)
{
    static bool registered = false;
    const bool catchThem = static_cast<bool>(handler);
    terminationHandler() = std::move(handler);
    if (!catchThem) {
        if (registered) {
            ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
            registered = false;
        }
        return true;
    }
    if (!registered) {
        registered = QCoreApplication::instance() && ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
    }
    return registered;
}
} // namespace Platform
