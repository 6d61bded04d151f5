#pragma once

#include <QString>

class QSkinFun
{
public:
    /// True when the font "微软雅黑" (Microsoft YaHei) is installed.
    static bool hasMSFont();
};
