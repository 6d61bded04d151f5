#include "qskinfun.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace
{
/// The installed font families. A family installed by several foundries is listed as "Name [Foundry]": the
/// name alone is kept.
QStringList installedFamilies()
{
    QStringList families = QFontDatabase::families();
    for (QString& family : families) {
        const qsizetype bracket = family.indexOf(QLatin1String(" ["));
        if (bracket > 0) {
            family.truncate(bracket);
        }
    }
    return families;
}

bool isInstalled(const QStringList& installed, const QString& family)
{
    return installed.contains(family, Qt::CaseInsensitive);
}

bool msFontIn(const QStringList& installed)
{
    return isInstalled(installed, QStringLiteral("微软雅黑"))
        || isInstalled(installed, QStringLiteral("Microsoft YaHei"));
}
} // namespace

bool QSkinFun::hasMSFont()
{
    return msFontIn(installedFamilies());
}

QFont QSkinFun::appFont()
{
    QFont font = QGuiApplication::font();
    font.setPointSize(9);
    const QStringList installed = installedFamilies();
    const QStringList wanted = msFontIn(installed)
        ? QStringList { QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei") }
        : QStringList { QStringLiteral("宋体"),
                        QStringLiteral("SimSun"),
                        QStringLiteral("WenQuanYi Micro Hei"),
                        QStringLiteral("Noto Sans CJK SC") };
    // Only the installed ones are named: every family named that is not installed costs a look through the font
    // configuration for an alias whenever a font is resolved. When none is installed, all are named, and the
    // font configuration's substitutes apply as before.
    QStringList present;
    for (const QString& family : wanted) {
        if (isInstalled(installed, family)) {
            present.append(family);
        }
    }
    font.setFamilies(present.isEmpty() ? wanted : present);
    return font;
}
