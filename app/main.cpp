#include "brisko-config.h"
#include "platform.h"
#include "qqdialog.h"
#include "qskinfun.h"
#include "singleinstance.h"
#include "skinpath.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

int main(int argc, char* argv[])
{
    // Every relative path of the program ("config.ocx", the template "data.db", "plugins", the Skins images)
    // names a file beside the executable, wherever the program was started from. A failure is ignored.
    QDir::setCurrent(Platform::executableDir());
    QCoreApplication::addLibraryPath(QStringLiteral("./plugins"));

    QApplication app(argc, argv);
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
    // holds it while its notice is open, so a further copy waits until then and is refused in turn.
    SingleInstance instance;
    instance.acquireGate();
    // A lock file that cannot be made at all (its folder full or not writable) proves no other copy: the
    // program then runs unguarded rather than claiming that it already runs.
    if (!instance.tryLockInstance() && instance.otherCopyRuns()) {
        QMessageBox::information(nullptr,
                                 QStringLiteral("提示"),
                                 QStringLiteral("程序已运行,请勿重复开启!"),
                                 QMessageBox::Ok,
                                 QMessageBox::NoButton);
        instance.releaseGate();
        return 0;
    }
    if (!instance.holdsInstance()) {
        qWarning("Cannot make the single-instance lock in %s; running without it.",
                 qPrintable(QDir::toNativeSeparators(SingleInstance::lockFolder())));
    }
    instance.releaseGate();

    // The program lives on while its window is hidden; only an explicit quit ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    QApplication::setFont(QSkinFun::appFont());

    // From a pixmap: an icon made from a file name has every image plugin probe the file's contents.
    QApplication::setWindowIcon(QIcon(SkinPath::pixmap(QStringLiteral("Skins/icon/default.png"))));
    Platform::setupIconTheme();

    // The window is not deleted here: it lives until the process ends.
    auto* window = new QQDialog(nullptr);
    window->show();

    return QApplication::exec();
}
