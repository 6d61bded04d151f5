// brisko-bench: prints the project's speed and memory figures, one "name: value unit" line each.
#include "benchutil.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // Widget suites need an application object; suites that measure on a real display pick the platform
    // through QT_QPA_PLATFORM themselves.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString wanted = args.isEmpty() ? QString() : args.takeFirst();
    for (const Bench::Entry& e : Bench::suites()) {
        if (e.name == wanted) {
            return e.suite(args);
        }
    }
    std::fprintf(stderr, "usage: brisko-bench <suite> [options]\nsuites:\n");
    for (const Bench::Entry& e : Bench::suites()) {
        std::fprintf(stderr, "  %-10s %s\n", qPrintable(e.name), qPrintable(e.summary));
    }
    return wanted.isEmpty() ? 0 : 2;
}
