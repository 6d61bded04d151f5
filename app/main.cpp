#include "brisko-config.h"
#include "icondatabase.h"
#include "platform.h"
#include "qqdialog.h"
#include "qskinfun.h"
#include "singleinstance.h"
#include "skinpath.h"
#include "startupnotice.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QScopeGuard>
#include <QTranslator>

int main(int argc, char* argv[])
{
    // Every relative path of the program ("config.ocx", the template "data.db", "plugins", the Skins images)
    // names a file beside the executable, wherever the program was started from. A failure is ignored.
    QDir::setCurrent(Platform::executableDir());
    QCoreApplication::addLibraryPath(QStringLiteral("./plugins"));

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(BRISKO_APP_ID)); // org.brisko.Brisko

    // The window's images are decoded on the second core while this thread checks for a running copy, sets up
    // the fonts and opens the catalogue. A copy that is refused only waits for the thread as it ends.
    SkinPath::preload(QStringList { QStringLiteral("Skins/icon/default.png") } + QQDialog::startupImages());

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
    SingleInstance instance;
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

    switch (instance.tryLockInstance()) {
    case SingleInstance::Outcome::RunningCopy:
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
    if (gate == SingleInstance::Outcome::CannotMake) {
        qWarning("Cannot make the start-up gate %s (%s); starting without it.",
                 qUtf8Printable(QDir::toNativeSeparators(instance.gatePath())),
                 qUtf8Printable(instance.gateProblem()));
    }
    instance.releaseGate();

    // The program lives on while its window is hidden; only an explicit quit ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    QApplication::setFont(QSkinFun::appFont());

    // From a pixmap: an icon made from a file name has every image plugin probe the file's contents.
    QApplication::setWindowIcon(QIcon(SkinPath::pixmap(QStringLiteral("Skins/icon/default.png"))));
    Platform::setupIconTheme();

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
