// brisko-skingen: draws Brisko's images.
//
//   brisko-skingen <outdir>                 writes <outdir>/Skins, the run-time image folder
//   brisko-skingen --res <resdir>           writes <resdir>/image, the compiled-in images
//   brisko-skingen --review <outdir> <resdir>
//                                           writes the Skins folder into <outdir> and, beside it, a contact sheet
//                                           and mock-ups of the main window for people checking the look

#include "canvas.h"
#include "reviewsheet.h"
#include "skingenerator.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

namespace
{
int usage()
{
    std::fprintf(stderr,
                 "usage: brisko-skingen <outdir>\n"
                 "       brisko-skingen --res <resdir>\n"
                 "       brisko-skingen --review <outdir> <resdir>\n");
    return 2;
}
} // namespace

int main(int argc, char* argv[])
{
    // A GUI application (offscreen is enough) so that text can be drawn on the review sheets.
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    SkinGenerator generator;

    if (args.size() == 2 && args[0] == QLatin1String("--res"))
        return generator.writeResources(args[1]) ? 0 : 1;

    if (args.size() == 3 && args[0] == QLatin1String("--review")) {
        if (!generator.writeSkins(args[1]))
            return 1;
        const ReviewSheet sheet(QDir(args[1]).filePath(QStringLiteral("Skins")), args[2]);
        bool ok = Canvas::save(sheet.contactSheet(), QDir(args[1]).filePath(QStringLiteral("contact-sheet.png")));
        for (int n = 1; n <= 4; ++n) {
            ok = Canvas::save(sheet.mockWindow(n, 270, 580),
                              QDir(args[1]).filePath(QStringLiteral("mock-%1.png").arg(n)))
                && ok;
        }
        ok = Canvas::save(sheet.mockOverview(), QDir(args[1]).filePath(QStringLiteral("mock-overview.png"))) && ok;
        return ok ? 0 : 1;
    }

    if (args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return usage();
    return generator.writeSkins(args[0]) ? 0 : 1;
}
