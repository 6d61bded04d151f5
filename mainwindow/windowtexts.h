#pragma once

// Texts of the main window that more than one of its command files shows.
namespace WindowTexts
{
/// Menu entry of the icon tree's item menu and of the recent page's menu.
inline const char* const PutOnDesktop = "放到桌面";
/// Said when something needs a group and the tree has none (a drop, adding a site).
inline const char* const NeedGroup = "请先添加分组";
} // namespace WindowTexts
