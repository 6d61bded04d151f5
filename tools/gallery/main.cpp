// brisko-gallery: every widget of the skin library in one window.
//
//   brisko-gallery                         shows the window
//   brisko-gallery --screenshot <file.png> renders it (with its menu open) into the file and exits

#include "gallerywindow.h"
#include "qskinfun.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The Skins images lie beside the program, as they do beside Brisko itself.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    QFont font = QApplication::font();
    font.setPointSize(9);
    if (QSkinFun::hasMSFont()) {
        font.setFamilies({ QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei") });
    } else {
        font.setFamilies({ QStringLiteral("宋体"),
                           QStringLiteral("SimSun"),
                           QStringLiteral("WenQuanYi Micro Hei"),
                           QStringLiteral("Noto Sans CJK SC") });
    }
    QApplication::setFont(font);

    const QStringList args = app.arguments().mid(1);
    QString screenshot;
    if (args.size() == 2 && args.at(0) == QLatin1String("--screenshot")) {
        screenshot = args.at(1);
    } else if (!args.isEmpty()) {
        std::fprintf(stderr, "usage: brisko-gallery [--screenshot <file.png>]\n");
        return 2;
    }

    auto* window = new GalleryWindow;
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
