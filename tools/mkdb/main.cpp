// brisko-mkdb <path>: writes a new template catalogue to <path>, holding the catalogue tables and one group of
// each kind, so that a new user can drop files and add sites at once.
#include "icondatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: brisko-mkdb <path>\n");
        return 2;
    }
    const QString target = QFileInfo(args.at(1)).absoluteFilePath();
    // Built under a temporary name and renamed at the end, so a failed run never leaves half a template.
    const QString work = target + QStringLiteral(".new");
    for (const QString& suffix :
         { QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal") }) {
        QFile::remove(work + suffix);
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        std::fprintf(stderr, "brisko-mkdb: cannot create the folder of %s\n", qPrintable(target));
        return 1;
    }
    bool ok = false;
    {
        IconDatabase db;
        db.openDatabaseAt(work, QString());
        ok = db.isUsable() && db.addTeam(QStringLiteral("常用软件"), en_team_icon) > 0
            && db.addTeam(QStringLiteral("常用网址"), en_team_site) > 0
            // The template is a single self-contained file with a rollback journal; each copy switches itself
            // to write-ahead logging when it is opened.
            && db.execSql(QStringLiteral("pragma journal_mode=delete")) && db.execSql(QStringLiteral("vacuum"));
        if (!ok) {
            std::fprintf(stderr, "brisko-mkdb: %s\n", qPrintable(db.errorText()));
        }
    }
    if (!ok) {
        QFile::remove(work);
        return 1;
    }
    QFile::remove(target);
    if (!QFile::rename(work, target)) {
        std::fprintf(stderr, "brisko-mkdb: cannot write %s\n", qPrintable(target));
        QFile::remove(work);
        return 1;
    }
    return 0;
}
