#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

/// Vector drawings of every pictogram. Each one is laid out on its own design grid (given in the comment) and
/// scaled into the box it is given, so the same drawing serves every size; at the design size the lines fall on
/// whole or half pixels and come out crisp.
namespace Glyphs
{
/// Brand colours shared by the application icon, the tab icons and the dialogs' buttons.
QColor brandBlue();
QColor brandIndigo();
QColor iconGrey();
QColor glyphDark();

/// The application mark (grid 64): a blue-to-indigo rounded tile holding three white tiles and an amber dot.
/// `withShadow` adds a soft drop shadow inside the box (the body shrinks to make room).
void appMark(QPainter& p, const QRectF& box, bool withShadow);

/// Line icons (grid 20) in one colour with a light tint of the same colour inside.
void desktop(QPainter& p, const QRectF& box, const QColor& color);
void globeLine(QPainter& p, const QRectF& box, const QColor& color);
void history(QPainter& p, const QRectF& box, const QColor& color);

/// Search strip pictograms (grid 20).
void magnifier(QPainter& p, const QRectF& box, const QColor& color);
void clearBadge(QPainter& p, const QRectF& box, const QColor& disc, const QColor& cross);

/// Web-site item icon (grid 32): a filled blue globe.
void globeBadge(QPainter& p, const QRectF& box);

/// Skin button pictogram (grid 20 x 14): a T-shirt.
void shirt(QPainter& p, const QRectF& box, const QColor& color);

/// Bottom row buttons (grid 24): coloured rounded tiles with a white pictogram.
void settingsTile(QPainter& p, const QRectF& box);
void calculatorTile(QPainter& p, const QRectF& box);
void notepadTile(QPainter& p, const QRectF& box);

/// Title bar pictograms (grid 24).
void minimiseSign(QPainter& p, const QRectF& box, const QColor& color);
void maximiseSign(QPainter& p, const QRectF& box, const QColor& color);
void restoreSign(QPainter& p, const QRectF& box, const QColor& color);
void closeSign(QPainter& p, const QRectF& box, const QColor& color);

/// Scroll bar arrow (grid 10 x 9), pointing up or down.
void scrollArrow(QPainter& p, const QRectF& box, bool up, const QColor& color);
} // namespace Glyphs
