#include "skinpalette.h"

SkinPalette SkinPalette::forSkin(int number)
{
    SkinPalette p;
    switch (number) {
    case 2: // fresh green: meadow hills and leaves
        p.number = 2;
        p.headerTop = QColor(0x9c, 0xdc, 0xb4);
        p.headerBottom = QColor(0xd8, 0xf1, 0xe1);
        p.accent = QColor(0x22, 0xa0, 0x63);
        p.decorLight = QColor(0xf2, 0xfb, 0xf5);
        p.decorDeep = QColor(0x3f, 0xb5, 0x78);
        p.panelTop = QColor(0xf3, 0xfa, 0xf5);
        p.panelBottom = QColor(0xea, 0xf6, 0xee);
        p.footer = QColor(0xcf, 0xec, 0xda);
        break;
    case 3: // warm sunset: peach sky, low sun, coral waves
        p.number = 3;
        p.headerTop = QColor(0xff, 0xae, 0x86);
        p.headerBottom = QColor(0xff, 0xd9, 0xd3);
        p.accent = QColor(0xee, 0x5d, 0x6c);
        p.decorLight = QColor(0xff, 0xf4, 0xd6);
        p.decorDeep = QColor(0xf0, 0x6f, 0x86);
        p.panelTop = QColor(0xff, 0xf7, 0xf4);
        p.panelBottom = QColor(0xfd, 0xee, 0xea);
        p.footer = QColor(0xfb, 0xd9, 0xd2);
        break;
    case 4: // graphite night: slate sky, moon, dark ridges; the list sits on a pale panel, because the background is
        // stretched with the window and anything dark near its bottom would slide under the last rows
        p.number = 4;
        p.headerTop = QColor(0x8e, 0x9a, 0xb0);
        p.headerBottom = QColor(0xa9, 0xb3, 0xc5);
        p.accent = QColor(0x5b, 0x7c, 0xf0);
        p.decorLight = QColor(0xff, 0xf1, 0xbf);
        p.decorDeep = QColor(0x34, 0x3d, 0x4f);
        p.panelTop = QColor(0xef, 0xf1, 0xf6);
        p.panelBottom = QColor(0xe6, 0xe9, 0xf0);
        p.footer = QColor(0xc9, 0xd0, 0xdd);
        break;
    default: // sky blue: clear sky with clouds
        p.number = 1;
        p.headerTop = QColor(0x8c, 0xc4, 0xff);
        p.headerBottom = QColor(0xd3, 0xe9, 0xff);
        p.accent = QColor(0x2b, 0x7d, 0xe9);
        p.decorLight = QColor(0xff, 0xff, 0xff);
        p.decorDeep = QColor(0x4d, 0x9b, 0xf5);
        p.panelTop = QColor(0xf4, 0xf9, 0xff);
        p.panelBottom = QColor(0xea, 0xf2, 0xfc);
        p.footer = QColor(0xd4, 0xe6, 0xfb);
        break;
    }
    return p;
}
