#include "qskinfun.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

bool QSkinFun::hasMSFont()
{
    const QStringList families = QFontDatabase::families();
    for (QString family : families) {
        // A family installed by several foundries is listed as "Name [Foundry]".
        const qsizetype bracket = family.indexOf(QLatin1String(" ["));
        if (bracket > 0) {
            family.truncate(bracket);
        }
        if (family == QStringLiteral("微软雅黑")
            || family.compare(QLatin1String("Microsoft YaHei"), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

QFont QSkinFun::appFont()
{
    QFont font = QGuiApplication::font();
    font.setPointSize(9);
    if (hasMSFont()) {
        font.setFamilies({ QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei") });
    } else {
        font.setFamilies({ QStringLiteral("宋体"),
                           QStringLiteral("SimSun"),
                           QStringLiteral("WenQuanYi Micro Hei"),
                           QStringLiteral("Noto Sans CJK SC") });
    }
    return font;
}
