#pragma once

#include "qscrollwidget.h"

#include <QPixmap>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QDropEvent;
class QMimeData;

/// Groups of items, ids given by the caller. Painted row by row (only visible rows are painted); ids are
/// found through hashes. Group header rows show the name and an open/closed marker; item rows a 32 x 32 icon
/// and the elided name.
class QQTree : public QScrollWidget
{
    Q_OBJECT

public:
    /// Gives the icon of an item the first time its row is painted, when the item was added with a null
    /// pixmap. The tree caches the answer per item.
    using IconSource = std::function<QPixmap(int itemId)>;

    explicit QQTree(QWidget* parent = nullptr);
    ~QQTree() override;

    void setIconSource(IconSource source);

    /// Dropped files become references to the files, never moves: a source that finishes a move deletes its
    /// originals. Sets the drop action to copy (or link when the source offers no copy) and returns true; returns
    /// false when the source offers neither. Every drop handler decides with this one routine.
    static bool takeAsReference(QDropEvent* event);

    /// Adds a group at the end. `reserved` is unused (0). A group already added keeps its place and takes the
    /// new name and open state. Id 0 is refused: the signals use it for "no group".
    void addTeam(int id, const QString& name, int reserved, bool open);
    /// Adds an item at the end of its group, or, with `toTop`, at the top of its group after removing any row
    /// with the same id (so an opened item shows once, newest first). A null `icon` asks the icon source later.
    /// An id is shown once in a tree: a row with the same id elsewhere makes way. Items of a group that has not
    /// been added are kept out of sight and show once it is added. Item id 0 is refused.
    void addItem(int itemId, int teamId, const QString& name, const QPixmap& icon, bool toTop = false);
    void updateTeam(int id, const QString& name);
    /// Renames an item; `extra` is unused.
    void updateItem(int itemId, const QString& name, const QString& extra = QString());
    /// Removes a group with its items.
    void delTeam(int id);
    /// Removes an item; an unknown id does nothing.
    void delItem(int itemId);
    /// Removes every item of a group, keeping the group.
    void clearTeam(int id);
    void setTeamOpen(int id, bool open);
    /// Height of the group's header row (28 by default, at most 256); 0 removes the header, and the group's
    /// items then always show.
    void setTeamHeight(int id, int height);
    int getTeamCount() const;
    /// Id of the last group; 0 when the tree has none.
    int getLastTeamId() const;
    /// Move calls return the id of the group/item traded places with, 0 when it cannot move (an end reached,
    /// an unknown id, an item not in `teamId`).
    int moveTeamUp(int id);
    int moveTeamDown(int id);
    int moveItemUp(int teamId, int itemId);
    int moveItemDown(int teamId, int itemId);
    /// Selects an item of `teamId`, opening its group and scrolling the row into view; an unknown item or a
    /// wrong group leaves the selection as it is.
    void selectItem(int teamId, int itemId);
    /// Walk the selection over the rows shown (closed groups are skipped); at either end it stays. With
    /// nothing selected, selectNext() takes the first row and selectUp() the last.
    void selectUp();
    void selectNext();
    /// (0, 0) when nothing is selected; (group, 0) while the keyboard's cursor is on a group header.
    void getSelectItem(int& teamId, int& itemId) const;

    /// Number of items in a group (0 for an unknown group).
    int itemCount(int teamId) const;
    /// Item ids of a group in display order.
    QList<int> itemIds(int teamId) const;
    /// Group ids in display order.
    QList<int> teamIds() const;
    bool isTeamOpen(int teamId) const;
    QString itemName(int itemId) const;
    QString teamName(int teamId) const;
    bool hasItem(int itemId) const;
    /// Rectangle of a row in tree (viewport) coordinates, for tests and drop placement; empty when not shown.
    QRect teamRect(int teamId) const;
    QRect itemRect(int itemId) const;

    /// Where the items of groups added with addTeamUnread() come from. A group's item ids are read the first
    /// time the tree needs them (the group opens or loses its header, an item is added to it, moved or selected
    /// in it, its ids are asked for, or one of its items is asked for by id), and an item's name when its row is
    /// first painted or its name is asked for. So a closed group costs its header, however many items it holds.
    class TeamSource
    {
    public:
        virtual ~TeamSource() = default;
        /// Appends the ids of the items of `teamId` in display order; false when they could not be read (the ids
        /// appended before the failure are shown).
        virtual bool readItemIds(int teamId, std::vector<int>& ids) = 0;
        /// The name of an item; empty when it has none (or it is gone).
        virtual QString readItemName(int itemId) = 0;
        /// The group that holds an item for this tree; 0 when there is none.
        virtual int readItemTeam(int itemId) = 0;
        /// The number of items a group holds now.
        virtual int readItemCount(int teamId) = 0;
    };
    void setTeamSource(std::shared_ptr<TeamSource> source);
    /// Adds a closed group at the end, showing `itemCount` as its number of items until its items are read from
    /// the team source (see TeamSource). Ids read that the tree already shows elsewhere are left out. A group
    /// already added, or holding items, takes the name and is closed, as with addTeam(). Removing an item that
    /// the team source no longer holds (removed there first) asks the source again for the counts of the groups
    /// not read yet.
    void addTeamUnread(int id, const QString& name, int itemCount);

    /// Rows that the caller lists instead of adding them one by one (a long search result): the tree asks for
    /// a row's id and name only when it paints, hits or walks to it, so a group of 100,000 rows costs no more
    /// than the rows on screen. Ids must be non-zero and not shown elsewhere in the tree; rowOf() should be
    /// quick (it is asked for the selection).
    class RowSource
    {
    public:
        virtual ~RowSource() = default;
        virtual int rowCount() const = 0;
        virtual int rowId(int row) const = 0;
        virtual QString rowName(int row) const = 0;
        /// The row of an id, -1 when it is not listed.
        virtual int rowOf(int id) const = 0;
    };
    /// Shows the rows of `source` as the items of group `teamId`, in place of the items it had. Listed rows
    /// take their icons from the icon source. They behave as added items do; changing one of them (addItem to
    /// the group, updateItem, delItem, a move) first turns the whole list into added items. A null source
    /// leaves the group empty.
    void setTeamRows(int teamId, std::shared_ptr<const RowSource> source);
    /// The source of `teamId` lists more rows at its end: they are shown; the rows before stay as they are.
    void teamRowsAppended(int teamId);
    /// A line shown in grey near the top of the tree while it shows no row at all (an empty result list says
    /// so instead of showing nothing); empty for none.
    void setEmptyText(const QString& text);

signals:
    /// (group, item) under a double click, or for Return/Enter on the selected row; item 0 on a header,
    /// both 0 on empty space.
    void DbClicked(int teamId, int itemId);
    /// The same ids for a right click (sent when the button is released), or for the Menu key or Shift+F10 on
    /// the current row.
    void RClicked(int teamId, int itemId);
    /// Files dropped at the ids' row. Drags are accepted only when they carry at least one local file, their
    /// source offers a copy or a link, and something is connected to this signal; the drop action is copy (or
    /// link), never move (see takeAsReference).
    void sig_dragEvent(QDropEvent* event, int teamId, int itemId);
    /// The items of a group could not all be read from the team source when it was first shown; the tree shows
    /// those read. Sent from the event loop, never from inside a paint or a call on the tree.
    void teamReadFailed(int teamId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    /// Up and Down walk the rows shown (headers included), Home and End jump to the first and last; Left closes
    /// the current row's group, Right opens it (then goes to its first item); Return opens the selected item
    /// (DbClicked) or opens or closes the group under the cursor; the Menu key and Shift+F10 ask for the
    /// current row's context menu (RClicked, with the menu placed beside the row).
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void scrollOffsetChanged(int offset) override;

private:
    bool takesDrop(const QMimeData* mime) const;

    struct Private;
    Private* d;
};
