#pragma once

#include <QWidget>

/// The tab bar over the pages: items share the bar evenly, each with its icon (grey while not selected) and
/// title, hover and selected backgrounds. A click selects an item and shows its page, hiding the others.
class QQTab : public QWidget
{
    Q_OBJECT

public:
    explicit QQTab(QWidget* parent = nullptr);
    ~QQTab() override;

    /// Adds an item; image paths may be design-style (backslashes, "skins"). Returns its number (from 1).
    int addItem(QWidget* page,
                const QString& hoverBg,
                const QString& checkedBg,
                const QString& icon,
                const QString& greyIcon,
                const QString& title);
    /// Selects item n (counted from 1) and shows its page; out-of-range numbers do nothing.
    void selectItem(int n);
    /// Number of the selected item, 0 when none.
    int currentItem() const;
    int count() const;
    QWidget* page(int n) const;
    /// Rectangle of item n in the bar's coordinates (empty for an unknown item).
    QRect itemRect(int n) const;

    /// Hiding the bar hides it (the pages stay as they are); showing it shows the bar and the selected item's
    /// page again.
    void setVisible(bool visible) override;

signals:
    void currentChanged(int n);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Private;
    Private* d;
};
