#pragma once

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
} // namespace TestUtil
