#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

/// A styled popup menu in the look of the skin. pop() shows it and waits (the event loop keeps running, so
/// timers still fire) and returns the chosen id, or -1 when dismissed (Escape, a click outside).
class QSkinMenu : public QObject
{
    Q_OBJECT

public:
    explicit QSkinMenu(QObject* parent = nullptr);
    ~QSkinMenu() override;

    /// `icon` is an image path, or empty for none.
    void addItem(int id, const QString& text, const QString& icon = QString());
    /// Makes the entry `id` one that shows a state: a check mark in front of its text while `checked`.
    void setChecked(int id, bool checked);
    /// Whether the entry `id` shows its check mark.
    bool isChecked(int id) const;
    /// Shows the menu with its top-left at the screen point (x, y); (0, 0) means at the mouse pointer.
    int pop(int x, int y);
    int count() const;
    /// Ids and texts of the entries, in the order they were added.
    QList<int> ids() const;
    QStringList texts() const;

    /// While one of these lives, a menu asked to open at the mouse pointer (pop(0, 0)) opens at `at` (screen
    /// coordinates) instead: a menu opened from the keyboard opens beside what it is for, wherever the pointer
    /// was left.
    class KeyboardPlace
    {
    public:
        explicit KeyboardPlace(const QPoint& at);
        ~KeyboardPlace();
        KeyboardPlace(const KeyboardPlace&) = delete;
        KeyboardPlace& operator=(const KeyboardPlace&) = delete;

    private:
        const KeyboardPlace* m_outer;
        QPoint m_at;
        friend class QSkinMenu;
    };

    /// Where a menu of `size` asked for at `at` opens on a screen with the available area `screen`: to the
    /// right of and below the point, flipped where it would not fit, and always on the screen.
    static QPoint placement(const QPoint& at, const QSize& size, const QRect& screen);

private:
    struct Private;
    Private* d;
};
