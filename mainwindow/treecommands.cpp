// The context menus of the icon and site trees: adding, renaming, deleting and moving groups and items, and
// adding and editing sites.
#include "qqdialog.h"

void QQDialog::onTreeRClicked(int teamid, int itemid)
{
    rightClickTree(iconTree, en_team_icon, teamid, itemid);
}

void QQDialog::onSiteTreeRClicked(int teamid, int itemid)
{
    rightClickTree(siteTree, en_team_site, teamid, itemid);
}

void QQDialog::rightClickTree(QQTree* /*tree*/, tb_en_team_type /*type*/, int /*teamid*/, int /*itemid*/) { }

void QQDialog::addSite(int /*teamid*/, int /*itemid*/) { }
