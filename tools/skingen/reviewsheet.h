#pragma once

#include <QImage>
#include <QString>

/// Review pictures for people checking the images: a contact sheet of every image of a Skins folder on light and
/// dark ground, and mock-ups of the main window in each skin, with the controls placed where the window puts
/// them. Not installed; written by `brisko-skingen --review`.
class ReviewSheet
{
public:
    /// `skinsDir` is the Skins folder written by SkinGenerator::writeSkins; `resDir` the res folder.
    ReviewSheet(const QString& skinsDir, const QString& resDir);

    QImage contactSheet() const;
    /// The main window in skin `number` at the given size.
    QImage mockWindow(int number, int width, int height) const;
    /// All four skins side by side at 270 x 580, plus one at the smallest size and one larger.
    QImage mockOverview() const;

private:
    QImage load(const QString& relative) const;
    QImage loadRes(const QString& relative) const;

    QString m_skins;
    QString m_res;
};
