// The context menus of the icon and site trees: adding, renaming, deleting and moving groups and items, and
// adding and editing sites.
//
// Each command changes the tree and the catalogue in a fixed order. When the catalogue refuses a change (a
// read-only or busy file), the trees are left showing what the catalogue holds and the person is told once.
#include "qqdialog.h"
#include "qqtree.h"
#include "qskinmenu.h"
#include "qskinmessagebox.h"
#include "siteeditdailog.h"
#include "teameditdialog.h"
#include "windowtexts.h"

#include <QHash>
#include <QMessageBox>
#include <QScreen>

namespace
{
/// The menu on an item.
enum ItemMenuId
{
    ItemDelete = 1,
    ItemMoveUp = 2,
    ItemMoveDown = 3,
    ItemPutOnDesktop = 4,
    ItemAddSite = 5,
    ItemEditSite = 6,
};

/// The menu on a group header.
enum GroupMenuId
{
    GroupAdd = 1,
    GroupRename = 2,
    GroupDelete = 3,
    GroupMoveUp = 4,
    GroupMoveDown = 5,
    GroupAddSite = 6,
};

/// The menu on the empty space below the groups.
enum EmptyMenuId
{
    EmptyAddGroup = 1,
    EmptyAddSite = 2,
};

// Menu entries (the two "修改" texts are also the titles of the dialogs they open).
const char* const AddSiteText = "添加网址";
const char* const EditSiteText = "修改网址";
const char* const DeleteItemText = "删除图标";
const char* const MoveItemUpText = "上移图标";
const char* const MoveItemDownText = "下移图标";
const char* const AddGroupText = "添加分组";
const char* const RenameGroupText = "修改分组";
const char* const DeleteGroupText = "删除分组";
const char* const MoveGroupUpText = "上移分组";
const char* const MoveGroupDownText = "下移分组";

// Notices and the question before deleting a group.
const char* const LastGroupText = "当前只有一个分组不能删除!";
const char* const DeleteGroupTitle = "提示";
const char* const DeleteGroupQuestion = "是否删除本分组?";
const char* const SaveFailedText = "保存失败,数据库不可写";

/// The single group of the recent page.
constexpr int RecentGroup = 1;

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

void addEntry(QSkinMenu& menu, int id, const char* entry)
{
    menu.addItem(id, text(entry), QString());
}
} // namespace

void QQDialog::onTreeRClicked(int teamid, int itemid)
{
    rightClickTree(iconTree, en_team_icon, teamid, itemid);
}

void QQDialog::onSiteTreeRClicked(int teamid, int itemid)
{
    rightClickTree(siteTree, en_team_site, teamid, itemid);
}

void QQDialog::rightClickTree(QQTree* tree, tb_en_team_type type, int teamid, int itemid)
{
    if (!tree || (teamid == 0 && itemid != 0)) {
        return; // an item without a group is no place to act on
    }
    const bool sites = type == en_team_site;
    QSkinMenu menu(this);

    if (itemid != 0) {
        if (sites) {
            addEntry(menu, ItemAddSite, AddSiteText);
            addEntry(menu, ItemEditSite, EditSiteText);
        }
        addEntry(menu, ItemDelete, DeleteItemText);
        addEntry(menu, ItemMoveUp, MoveItemUpText);
        addEntry(menu, ItemMoveDown, MoveItemDownText);
        if (!sites) {
            addEntry(menu, ItemPutOnDesktop, WindowTexts::PutOnDesktop);
        }
        switch (menu.pop(0, 0)) {
        case ItemAddSite:
            addSite(teamid, itemid);
            break;
        case ItemEditSite:
            editSite(itemid);
            break;
        case ItemDelete:
            deleteTreeItem(tree, itemid);
            break;
        case ItemMoveUp:
            moveTreeItem(tree, teamid, itemid, true);
            break;
        case ItemMoveDown:
            moveTreeItem(tree, teamid, itemid, false);
            break;
        case ItemPutOnDesktop: {
            IconItemInfo info;
            if (database.getItem(info, itemid)) {
                putOnDesktop(info.icon_name, info.file_name);
            }
            break;
        }
        default:
            break;
        }
        return;
    }

    if (teamid != 0) {
        addEntry(menu, GroupAdd, AddGroupText);
        if (sites) {
            addEntry(menu, GroupAddSite, AddSiteText);
        }
        addEntry(menu, GroupRename, RenameGroupText);
        addEntry(menu, GroupDelete, DeleteGroupText);
        addEntry(menu, GroupMoveUp, MoveGroupUpText);
        addEntry(menu, GroupMoveDown, MoveGroupDownText);
        switch (menu.pop(0, 0)) {
        case GroupAdd:
            addGroup(tree, type);
            break;
        case GroupAddSite:
            addSite(teamid, 0);
            break;
        case GroupRename:
            renameGroup(tree, teamid);
            break;
        case GroupDelete:
            deleteGroup(tree, type, teamid);
            break;
        case GroupMoveUp:
            moveGroup(tree, teamid, true);
            break;
        case GroupMoveDown:
            moveGroup(tree, teamid, false);
            break;
        default:
            break;
        }
        return;
    }

    addEntry(menu, EmptyAddGroup, AddGroupText);
    if (sites) {
        addEntry(menu, EmptyAddSite, AddSiteText);
    }
    switch (menu.pop(0, 0)) {
    case EmptyAddGroup:
        addGroup(tree, type);
        break;
    case EmptyAddSite:
        addSite(tree->getLastTeamId(), 0);
        break;
    default:
        break;
    }
}

void QQDialog::addGroup(QQTree* tree, tb_en_team_type type)
{
    TeamEditDialog dialog(nullptr);
    placeDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString name = dialog.getName();
    const int id = database.addTeam(name, type);
    if (id == 0) {
        reportSaveFailure();
        return;
    }
    tree->addTeam(id, name, 0, false);
}

void QQDialog::renameGroup(QQTree* tree, int teamid)
{
    TeamInfo info;
    if (!database.getTeam(info, teamid)) {
        return;
    }
    TeamEditDialog dialog(nullptr);
    dialog.setWindowTitle(text(RenameGroupText));
    dialog.setName(info.name);
    placeDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString name = dialog.getName();
    if (!database.renameTeam(teamid, name)) {
        reportSaveFailure();
        return;
    }
    tree->updateTeam(teamid, name);
}

void QQDialog::deleteGroup(QQTree* tree, tb_en_team_type type, int teamid)
{
    if (tree->getTeamCount() == 1) {
        QSkinMessageBox::showMessage(text(LastGroupText), 0);
        return;
    }
    if (QMessageBox::question(this,
                              text(DeleteGroupTitle),
                              text(DeleteGroupQuestion),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Yes)
        != QMessageBox::Yes) {
        return;
    }

    // What the two trees show now, to be put back should the catalogue refuse the deletion.
    QHash<int, bool> open;
    for (const int id : tree->teamIds()) {
        open.insert(id, tree->isTeamOpen(id));
    }
    const QList<int> recent = recentTree->itemIds(RecentGroup);

    tree->delTeam(teamid);
    QList<IconItemInfo> items;
    database.getTeamItems(items, teamid);
    for (const IconItemInfo& item : std::as_const(items)) {
        recentTree->delItem(item.id);
    }
    // The group goes only once its items are gone: a group is never deleted from under items that stay.
    if (database.deleteTeamItems(teamid) && database.deleteTeam(teamid)) {
        return;
    }
    showCatalogue(tree, type, open);
    recentTree->clearTeam(RecentGroup);
    for (const int id : recent) {
        IconItemInfo info;
        if (database.getItem(info, id)) {
            recentTree->addItem(id, RecentGroup, info.icon_name, QPixmap(), false);
        }
    }
    reportSaveFailure();
}

void QQDialog::moveGroup(QQTree* tree, int teamid, bool up)
{
    const int partner = up ? tree->moveTeamUp(teamid) : tree->moveTeamDown(teamid);
    if (partner == 0 || database.swapTeamOrder(teamid, partner)) {
        return;
    }
    if (up) {
        tree->moveTeamDown(teamid);
    } else {
        tree->moveTeamUp(teamid);
    }
    reportSaveFailure();
}

void QQDialog::deleteTreeItem(QQTree* tree, int itemid)
{
    if (!database.deleteItem(itemid)) {
        reportSaveFailure();
        return;
    }
    tree->delItem(itemid);
    recentTree->delItem(itemid);
}

void QQDialog::moveTreeItem(QQTree* tree, int teamid, int itemid, bool up)
{
    const int partner = up ? tree->moveItemUp(teamid, itemid) : tree->moveItemDown(teamid, itemid);
    if (partner == 0 || database.swapItemOrder(itemid, partner)) {
        return;
    }
    if (up) {
        tree->moveItemDown(teamid, itemid);
    } else {
        tree->moveItemUp(teamid, itemid);
    }
    reportSaveFailure();
}

void QQDialog::addSite(int teamid, int /*itemid*/)
{
    // Only a site tree without any group passes no group (a catalogue emptied by another tool): a site stored
    // there would be shown nowhere.
    if (teamid == 0) {
        QSkinMessageBox::showMessage(text(WindowTexts::NeedGroup), 0);
        return;
    }
    SiteEditDailog dialog(nullptr);
    placeDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString name = dialog.getName();
    const QString site = dialog.getSite();
    const int id = database.addItem(name, site, teamid, en_team_site);
    if (id == 0) {
        reportSaveFailure();
        return;
    }
    siteTree->addItem(id, teamid, name, siteIcon(), false);
}

void QQDialog::editSite(int itemid)
{
    IconItemInfo info;
    if (!database.getItem(info, itemid)) {
        return;
    }
    SiteEditDailog dialog(nullptr);
    dialog.setWindowTitle(text(EditSiteText));
    dialog.setName(info.icon_name);
    dialog.setSite(info.file_name);
    placeDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (!database.updateItem(info.id, dialog.getName(), dialog.getSite())) {
        reportSaveFailure();
        return;
    }
    // The recent page and the search results keep the old name until they are filled again.
    siteTree->updateItem(info.id, dialog.getName(), QString());
}

void QQDialog::showCatalogue(QQTree* tree, tb_en_team_type type, const QHash<int, bool>& open)
{
    for (const int id : tree->teamIds()) {
        tree->delTeam(id);
    }
    addGroups(tree, type, open, readTeamCounts());
}

void QQDialog::placeDialog(QWidget* dialog) const
{
    // Over the middle of this window, which may sit anywhere on the screen, and wholly on the screen.
    QRect place(frameGeometry().center() - dialog->rect().center(), dialog->size());
    if (const QScreen* shown = screen()) {
        const QRect area = shown->availableGeometry();
        place.moveLeft(qBound(area.left(), place.left(), qMax(area.left(), area.right() + 1 - place.width())));
        place.moveTop(qBound(area.top(), place.top(), qMax(area.top(), area.bottom() + 1 - place.height())));
    }
    dialog->move(place.topLeft());
}

void QQDialog::reportSaveFailure()
{
    QSkinMessageBox::showMessage(text(SaveFailedText), 0);
}
