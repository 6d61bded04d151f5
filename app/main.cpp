#include "brisko-config.h"
#include "commandline.h"
#include "icondatabase.h"
#include "localcontrol.h"
#include "platform.h"
#include "qqdialog.h"
#include "qskinfun.h"
#include "sessionplatform.h"
#include "singleinstance.h"
#include "skinpath.h"
#include "startupnotice.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QThread>
#include <QTranslator>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char* argv[])
{
    // The command line is read before anything else, so --help, --version and a mistyped option need no
    // display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(CommandLine::usage(arguments.value(0)).toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(CommandLine::version().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fprintf(stderr,
                     "brisko: %s\n\n%s",
                     line.error.toLocal8Bit().constData(),
                     CommandLine::usage(arguments.value(0)).toLocal8Bit().constData());
        return 2;
    case CommandLine::Action::Run:
    case CommandLine::Action::Toggle:
    case CommandLine::Action::Show:
        break;
    }

    // Every relative path of the program ("config.ocx", the template "data.db", "plugins", the Skins images)
    // names a file beside the executable, wherever the program was started from. A failure is ignored.
    QDir::setCurrent(Platform::executableDir());
    QCoreApplication::addLibraryPath(QStringLiteral("./plugins"));

    // --toggle and --show: a copy that runs does what is asked, and this start ends without a word. When none
    // answers, the start goes on as a plain one (and, should a copy run after all, says so).
    const QString lockFolder = SingleInstance::lockFolder();
    const QString controlPath = LocalControl::socketPath(lockFolder);
    const LocalControl::Request request
        = line.action == CommandLine::Action::Toggle ? LocalControl::Request::Toggle : LocalControl::Request::Show;
    const auto askRunningCopy = [&] {
        const LocalControl::Answer answer = LocalControl::ask(controlPath, request);
        if (answer == LocalControl::Answer::NotOurs) {
            qWarning("The control socket %s belongs to another user; it was not used.", qUtf8Printable(controlPath));
        }
        return answer;
    };
    LocalControl::Answer firstAnswer = LocalControl::Answer::NoCopy;
    if (line.asksRunningCopy()) {
        firstAnswer = askRunningCopy();
        if (firstAnswer == LocalControl::Answer::Done) {
            return 0;
        }
    }

    // A Wayland session runs Brisko through XWayland where it can (see SessionPlatform::choose). The choice
    // goes to Qt as an argument rather than through QT_QPA_PLATFORM, so the programs Brisko opens do not
    // inherit it.
    const QByteArray platform = SessionPlatform::choose(QProcessEnvironment::systemEnvironment(), arguments).toLatin1();
    QByteArray platformOption("-platform");
    QByteArray platformName = platform;
    std::vector<char*> qtArguments(argv, argv + argc);
    if (!platform.isEmpty()) {
        qtArguments.push_back(platformOption.data());
        qtArguments.push_back(platformName.data());
    }
    qtArguments.push_back(nullptr);
    int qtArgumentCount = int(qtArguments.size()) - 1;

    // The application name gives X11 windows their class (WM_CLASS "brisko", "org.brisko.Brisko"), which task
    // bars match with the desktop entry of that name, as the desktop file name does on Wayland.
    QCoreApplication::setApplicationName(QStringLiteral(BRISKO_APP_ID));
    QApplication app(qtArgumentCount, qtArguments.data());
    QGuiApplication::setDesktopFileName(QStringLiteral(BRISKO_APP_ID)); // org.brisko.Brisko

    // The interface is Chinese: Qt's own buttons (the standard message boxes' "OK") speak it too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China),
                          QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtTranslator);
    }

    // The gate makes the check for a running copy atomic between copies starting together; a refused copy
    // holds it while its notice is open, so a further copy waits until then and is refused in turn. Something
    // else in the gate's place that cannot be removed would block every start: it is named, and the start ends.
    SingleInstance instance(lockFolder);
    const SingleInstance::Outcome gate = instance.acquireGate();
    if (gate == SingleInstance::Outcome::Blocked) {
        StartupNotice::startBlocked(instance.gatePath(), instance.gateProblem());
        return 1;
    }

    // From here on a request to end from outside (a session logout's SIGTERM, Ctrl+C, a closed terminal) ends
    // the program as the title bar's close does: the notice or the main window closes, the event loops end, and
    // the teardown below runs. While waiting for the gate above the default action applies: nothing is held
    // then.
    QPointer<QQDialog> window;
    bool endRequested = false;
    Platform::onTerminationRequest([&window, &endRequested] {
        endRequested = true;
        if (window) {
            window->onCloseWin();
        }
        // Ends every event loop: a dialog or notice open at that moment returns as if cancelled.
        QCoreApplication::exit(0);
    });
    // The handler refers to the locals above: it goes before they do.
    const auto dropHandler = qScopeGuard([] { Platform::onTerminationRequest({}); });

    const SingleInstance::Outcome held = instance.tryLockInstance();
    switch (held) {
    case SingleInstance::Outcome::RunningCopy:
        // A copy that was starting when this one first asked listens by now: it listens before it gives the
        // gate back. A copy that was there and did not answer, or is not ours, is not asked again.
        if (line.asksRunningCopy() && firstAnswer == LocalControl::Answer::NoCopy
            && askRunningCopy() == LocalControl::Answer::Done) {
            instance.releaseGate();
            return 0;
        }
        StartupNotice::alreadyRunning();
        instance.releaseGate();
        return 0;
    case SingleInstance::Outcome::Taken:
        break;
    case SingleInstance::Outcome::Blocked:
    case SingleInstance::Outcome::CannotMake:
        // No running copy holds the lock; it just cannot be made. The lock only keeps a second window out (the
        // catalogue is safe with two copies: SQLite locks it), so the person is told which file and why, and
        // the program runs rather than being refused over a file the person may not be able to remove.
        instance.releaseGate();
        StartupNotice::runsUnguarded(instance.instancePath(), instance.instanceProblem());
        if (endRequested) {
            return 0;
        }
        break;
    }
    // The channel for `brisko --toggle` and `--show`, open before the gate is given back. Holding the instance
    // lock, this copy replaces a socket file left by one that was killed; running unguarded, it leaves alone
    // whatever is there.
    ControlServer control;
    if (!control.listen(controlPath, held == SingleInstance::Outcome::Taken)) {
        qWarning("Cannot listen at %s (%s); brisko --toggle and --show cannot reach this copy.",
                 qUtf8Printable(QDir::toNativeSeparators(controlPath)),
                 qUtf8Printable(control.errorString()));
    }
    QObject::connect(&control, &ControlServer::requested, &control, [&window](LocalControl::Request asked) {
        // Before the window exists (a start-up notice is open) there is nothing to do: it is shown when made.
        if (!window) {
            return;
        }
        if (asked == LocalControl::Request::Toggle) {
            window->toggleOnRequest();
        } else {
            window->showOnRequest();
        }
    });

    if (gate == SingleInstance::Outcome::CannotMake) {
        qWarning("Cannot make the start-up gate %s (%s); starting without it.",
                 qUtf8Printable(QDir::toNativeSeparators(instance.gatePath())),
                 qUtf8Printable(instance.gateProblem()));
    }
    instance.releaseGate();

    // The list of installed fonts is read on a thread of its own (QFontDatabase may be used from any thread), and
    // the window's images on another, while this thread connects the accessibility bridge below and builds the
    // window; a copy that was refused above does neither.
    const std::unique_ptr<QThread> fontList(QThread::create([] { QFontDatabase::families(); }));
    fontList->setObjectName(QStringLiteral("font list"));
    fontList->start();
    const auto joinFontList = qScopeGuard([&fontList] { fontList->wait(); });
    const QString windowIcon = QStringLiteral("Skins/icon/default.png");
    SkinPath::preload(QStringList { windowIcon } + QQDialog::startupImages());

    // The program lives on while its window is hidden; only an explicit quit ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    // The accessibility bridge is made on the first question to it, which the window's first control asks. Made
    // now, its wait for the session bus (several milliseconds, with this thread idle) is spent while the font
    // list is read; the application font needs that list.
    QAccessible::isActive();
    QApplication::setFont(QSkinFun::appFont());

    // From a pixmap: an icon made from a file name has every image plugin probe the file's contents.
    QApplication::setWindowIcon(QIcon(SkinPath::pixmap(windowIcon)));

    window = new QQDialog(nullptr);
    window->show();

    const int result = QApplication::exec();

    // The catalogue closes before the single-instance lock is given back, so a copy started next finds data.db
    // closed: the window's copy of the handle goes with the window, and the last handle, the process-wide one,
    // is replaced by an unopened one. Closing folds the write-ahead log into data.db and leaves one
    // self-contained file.
    delete window;
    IconDatabase::instance() = IconDatabase();
    return result;
}
