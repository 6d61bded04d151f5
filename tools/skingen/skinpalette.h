#pragma once

#include <QColor>

/// The colours of one background skin. Every skin keeps the list area pale, because the list text colour is fixed.
struct SkinPalette
{
    int number = 1;
    QColor headerTop; ///< sky of the header band, at its top edge
    QColor headerBottom; ///< sky of the header band, behind the search strip
    QColor accent; ///< the skin's one accent colour (waves, hairlines)
    QColor decorLight; ///< pale shapes in the header
    QColor decorDeep; ///< strong shapes in the header, kept away from the clock text
    QColor panelTop; ///< list area just under the tab bar
    QColor panelBottom; ///< list area near the bottom buttons
    QColor footer; ///< the strip behind the bottom buttons

    /// The palette of skin 1 to 4; other numbers give skin 1.
    static SkinPalette forSkin(int number);
};
