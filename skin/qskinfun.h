#pragma once

#include <QFont>
#include <QString>

class QSkinFun
{
public:
    /// True when the font "微软雅黑" (Microsoft YaHei) is installed.
    static bool hasMSFont();
    /// The application font of the skinned windows: the default font at 9 points in 微软雅黑 when it is installed,
    /// else in 宋体 followed by CJK fonts found on Linux, which keep Chinese text legible where 宋体 is missing.
    static QFont appFont();
};
