// Type-ahead search over the catalogue, the recent page's menu and putting items on the desktop.
#include "qqdialog.h"

void QQDialog::onBtnSearch() { }

void QQDialog::onBtnSearchDel() { }

void QQDialog::onSearchTextChanged(const QString& /*text*/) { }

void QQDialog::showSearchEdit(bool /*show*/) { }

void QQDialog::showSearchResult(bool /*show*/) { }

void QQDialog::onRecentTreeRClicked(int /*teamid*/, int /*itemid*/) { }

void QQDialog::putOnDesktop(const QString& /*name*/, const QString& /*filePath*/) { }
