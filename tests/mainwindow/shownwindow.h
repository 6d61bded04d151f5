#pragma once

#include "qqdialog.h"

#include <QTest>

#include <memory>

/// A main window shown and exposed, owned by the test: closing it does not free it.
inline std::unique_ptr<QQDialog> showMainWindow()
{
    auto w = std::make_unique<QQDialog>();
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get())) {
        qWarning("window not exposed");
    }
    return w;
}
