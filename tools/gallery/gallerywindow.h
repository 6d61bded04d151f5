#pragma once

#include "basewindow.h"
#include "qresizehelper.h"

class QQTab;
class QQTree;
class QSkinButton;
class QSkinLabel;
class QWidget;

/// One window showing every skin widget with sample content: the main window's controls at the left, the
/// button styles, labels, input fields under the shared style sheet and the popup menu at the right.
class GalleryWindow : public BaseWindow
{
    Q_OBJECT

public:
    explicit GalleryWindow(QWidget* parent = nullptr);

    /// Renders the window with its menu open and saves it; returns false when the file cannot be written.
    bool saveScreenshot(const QString& path);

    /// The button that opens the sample menu, and the menu's screen position.
    QSkinButton* menuButton() const { return m_menuButton; }
    QPoint menuPoint() const;
    /// Runs the sample menu at the menu button.
    int popMenu();

public slots:
    void applySkin(QSkinButton* button);
    /// Applies background skin n (1 to 4) as a click on its preview does.
    void selectSkin(int n);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QSkinLabel* heading(QWidget* parent, const QString& text, int x, int y);
    void buildMainColumn();
    void buildCard();
    void fillTrees();
    void followResizes();

    QQTab* m_tab = nullptr;
    QQTree* m_iconTree = nullptr;
    QQTree* m_siteTree = nullptr;
    QQTree* m_recentTree = nullptr;
    QSkinLabel* m_dateLabel = nullptr;
    QSkinLabel* m_timeLabel = nullptr;
    QSkinButton* m_menuButton = nullptr;
    QSkinButton* m_textButton = nullptr;
    QSkinButton* m_previews[4] = {};
    QWidget* m_card = nullptr;
    QSkinButton* m_skinButton = nullptr;
    QList<QWidget*> m_bottomRow;
    QResizeHelper m_resizeHelper;
};
