// brisko-gallery: every widget of the skin library in one window.
//
//   brisko-gallery                         shows the window
//   brisko-gallery --screenshot <file.png> renders it (with its menu open) into the file and exits
//   brisko-gallery --skin <1-4>            starts with that background skin

#include "gallerywindow.h"
#include "qskinfun.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The Skins images lie beside the program, as they do beside Brisko itself.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    QApplication::setFont(QSkinFun::appFont());

    // Options: --screenshot <file.png> renders and exits; --skin <1-4> starts with that background skin.
    const QStringList args = app.arguments().mid(1);
    QString screenshot;
    int skin = 1;
    for (int i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args.at(i) == QLatin1String("--screenshot") && hasValue) {
            screenshot = args.at(++i);
        } else if (args.at(i) == QLatin1String("--skin") && hasValue) {
            bool ok = false;
            skin = args.at(++i).toInt(&ok);
            if (!ok || skin < 1 || skin > 4) {
                std::fprintf(stderr, "--skin takes a number from 1 to 4\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: brisko-gallery [--skin <1-4>] [--screenshot <file.png>]\n");
            return 2;
        }
    }

    auto* window = new GalleryWindow;
    window->selectSkin(skin);
    // The window frees itself when closed; the program ends with it.
    QObject::connect(window, &QObject::destroyed, &app, &QCoreApplication::quit);
    window->show();
    if (screenshot.isEmpty()) {
        return app.exec();
    }

    int result = 1;
    QTimer::singleShot(300, window, [window, &screenshot, &result] {
        result = window->saveScreenshot(screenshot) ? 0 : 1;
        if (result != 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(screenshot));
        }
        QCoreApplication::exit(result);
    });
    app.exec();
    return result;
}
