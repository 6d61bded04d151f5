#include "commandline.h"

#include "brisko-config.h"

#include <QFileInfo>

namespace
{
// Qt's own options, which the application object takes out of the arguments (QGuiApplication, QApplication
// and the X11 platform plugin). Qt accepts each with one dash or two.
const char* const QtFlags[] = { "reverse", "widgetcount", "testability", "nograb", "dograb" };
const char* const QtOptionsWithValue[] = {
    "platform",
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "qwindowgeometry",
    "geometry",
    "qwindowtitle",
    "title",
    "qwindowicon",
    "icon",
    "session",
    "style",
    "stylesheet",
    "display",
    "name",
    "visual",
    "qmljsdebugger",
};
// Options Qt also takes in the form -option=value.
const char* const QtOptionsWithInlineValue[] = { "style", "stylesheet", "qmljsdebugger" };

/// The option's name without its dashes (one or two), or empty when `argument` is no option.
QString optionName(const QString& argument)
{
    if (argument.startsWith(QLatin1String("--"))) {
        return argument.mid(2);
    }
    if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
        return argument.mid(1);
    }
    return QString();
}

template <size_t N>
bool listed(const char* const (&names)[N], const QString& name)
{
    for (const char* known : names) {
        if (name == QLatin1String(known)) {
            return true;
        }
    }
    return false;
}

bool inlineQtValue(const QString& name)
{
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    return equals > 0 && listed(QtOptionsWithInlineValue, name.left(equals));
}

CommandLine failure(const QString& error)
{
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.error = error;
    return line;
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine line;
    bool help = false;
    bool version = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            help = true;
            continue;
        }
        if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            version = true;
            continue;
        }
        if (argument == QLatin1String("--toggle") || argument == QLatin1String("--show")) {
            const Action wanted = argument == QLatin1String("--toggle") ? Action::Toggle : Action::Show;
            if (line.action != Action::Run && line.action != wanted) {
                return failure(QStringLiteral("--toggle and --show cannot be given together"));
            }
            line.action = wanted;
            continue;
        }
        const QString name = optionName(argument);
        if (name.isEmpty()) {
            return failure(QStringLiteral("unexpected argument '%1'").arg(argument));
        }
        if (listed(QtFlags, name) || inlineQtValue(name)) {
            continue;
        }
        if (listed(QtOptionsWithValue, name)) {
            ++i; // its value, whatever it looks like
            continue;
        }
        return failure(QStringLiteral("unknown option '%1'").arg(argument));
    }
    // Asking for help or the version wins over everything else that is right.
    if (help) {
        line.action = Action::Help;
    } else if (version) {
        line.action = Action::Version;
    }
    return line;
}

QString CommandLine::usage(const QString& program)
{
    const QString name = program.isEmpty() ? QStringLiteral("brisko") : QFileInfo(program).fileName();
    return QStringLiteral(
               "Usage: %1 [--toggle | --show] [Qt options]\n"
               "A desktop organiser: programs, documents, folders and web sites in named groups.\n"
               "\n"
               "Options:\n"
               "  --toggle       Show the window of the running Brisko, or hide it when it is shown;\n"
               "                 start Brisko when it is not running. Bind it to a key of the desktop.\n"
               "  --show         Show the window of the running Brisko; start Brisko when it is not running.\n"
               "  -h, --help     Print this help and exit.\n"
               "  -v, --version  Print the version and exit.\n"
               "\n"
               "Without options Brisko starts; when it runs already, it says so and ends.\n"
               "Qt's own options are accepted too (-platform xcb, -style fusion, -display :0, ...).\n")
        .arg(name);
}

QString CommandLine::version()
{
    return QStringLiteral("Brisko %1\n").arg(QLatin1String(BRISKO_VERSION));
}
