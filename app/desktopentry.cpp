#include "desktopentry.h"

#include "brisko-config.h"

#include <QFileInfo>

namespace
{
// Characters that make an argument of an Exec line need quotes.
const QString ReservedInExec = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
// Characters escaped with a backslash inside the quotes.
const QString EscapedInQuotes = QStringLiteral("\"`$\\");
} // namespace

namespace DesktopEntry
{
QString escapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\')) {
            out += QLatin1String("\\\\");
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else if (c == QLatin1Char('\t')) {
            out += QLatin1String("\\t");
        } else if (c == QLatin1Char('\r')) {
            out += QLatin1String("\\r");
        } else if (c == QLatin1Char(' ') && i == 0) {
            out += QLatin1String("\\s");
        } else {
            out += c;
        }
    }
    return out;
}

QString execArgument(const QString& argument)
{
    bool quote = argument.isEmpty();
    for (const QChar c : argument) {
        quote = quote || ReservedInExec.contains(c);
    }
    QString out;
    for (const QChar c : argument) {
        if (c == QLatin1Char('%')) {
            out += QLatin1String("%%");
            continue;
        }
        if (quote && EscapedInQuotes.contains(c)) {
            out += QLatin1Char('\\');
        }
        out += c;
    }
    return quote ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}

QString autostartProgram(const QString& executable, const QString& onPath)
{
    if (!onPath.isEmpty()) {
        const QFileInfo found(onPath);
        const QString target = found.canonicalFilePath();
        if (!target.isEmpty() && target == QFileInfo(executable).canonicalFilePath()) {
            return found.absoluteFilePath();
        }
    }
    return QFileInfo(executable).absoluteFilePath();
}

QByteArray autostartEntry(const QString& program, bool hidden)
{
    // Started with --show: where a copy runs already at log-in (a session that restores its programs started
    // one), it is shown instead of a notice that it runs.
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Brisko\n"
                                  "Name[zh_CN]=Brisko桌面\n"
                                  "Comment=Starts Brisko when you log in\n"
                                  "Comment[zh_CN]=登录时启动 Brisko\n"
                                  "Exec=%1 --show\n"
                                  "TryExec=%2\n"
                                  "Icon=%3\n"
                                  "Terminal=false\n"
                                  "StartupNotify=false\n")
                       .arg(escapeValue(execArgument(program)), escapeValue(program), QStringLiteral(BRISKO_APP_ID));
    text += hidden ? QStringLiteral("Hidden=true\nX-GNOME-Autostart-enabled=false\n")
                   : QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}
} // namespace DesktopEntry
