#!/usr/bin/env bash
# A person builds up the catalogue from the menus: a right click on the empty space of the icon tree adds a
# group through the group dialog, one on the site tree adds a site through the site dialog. After the title
# bar's close button and a new start, both are in the catalogue file and in the window.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
command -v sqlite3 >/dev/null 2>&1 || skip "sqlite3 is not installed (scripts/deps installs it)"
start_display

db="$HOME/Documents/Brisko/Desktop/data.db"
GROUP="e2e group"
SITE_NAME="Example"
SITE_ADDRESS="example.org/e2e"

# The layout of the main window: the trees start 160 pixels down, a group header is 28 high, an item row 40,
# and the tab bar's three tabs share the width at 130 to 160.
TREE_TOP=160
HEADER=28

# wait_popup <pid> <known window...>: waits for a visible window of the program that is none of the known ones
# (a menu) and prints its id.
wait_popup()
{
    local pid=$1 id known
    shift
    for _ in $(seq $((WAIT_SECONDS * 10))); do
        for id in $(xdotool search --all --onlyvisible --pid "$pid" '' 2>/dev/null); do
            for known in "$@"; do
                [ "$id" = "$known" ] && continue 2
            done
            echo "$id"
            return 0
        done
        sleep 0.1
    done
    return 1
}

# wait_closed <window>: waits until the window is no longer shown.
wait_closed()
{
    for _ in $(seq $((WAIT_SECONDS * 10))); do
        xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
        sleep 0.1
    done
    fail "window $1 stayed open"
}

# menu_rows <menu window>: how many entries the menu shows (5 pixels above and below, 30 per entry).
menu_rows()
{
    local height
    read -r _ height _ _ < <(geometry "$1")
    echo $(((height - 10) / 30))
}

# right_click_menu <pid> <window> <x> <y>: right-clicks the window at (x, y) and prints the menu's id.
right_click_menu()
{
    xdotool mousemove --window "$2" "$3" "$4" click 3
    wait_popup "$1" "$2"
}

# choose_row <menu> <row>: clicks the row (from 1) of the menu.
choose_row()
{
    xdotool mousemove --window "$1" 40 $((5 + 30 * ($2 - 1) + 15)) click 1
}

# fill_dialog <pid> <title regex> <text...>: types the texts into the dialog's fields (Tab between them) and
# presses Return.
fill_dialog()
{
    local pid=$1 title=$2 d first=1
    shift 2
    d=$(wait_window "$pid" "$title") || fail "no dialog titled $title"
    xdotool windowfocus --sync "$d" 2>/dev/null || true
    sleep 0.3
    for text in "$@"; do
        [ "$first" = 1 ] || xdotool key --clearmodifiers Tab
        first=0
        xdotool type --delay 20 "$text"
    done
    xdotool key --clearmodifiers Return
    for _ in $(seq $((WAIT_SECONDS * 10))); do
        [ -z "$(find_window "$pid" "$title")" ] && return 0
        sleep 0.1
    done
    fail "the dialog $title did not close on Return"
}

# close_and_wait <pid> <window>: the title bar's close button, and the process ends.
close_and_wait()
{
    local width
    read -r width _ _ _ < <(geometry "$2")
    for _ in 1 2 3 4 5; do
        running "$1" && xdotool mousemove --window "$2" $((width - 30 + 12)) 15 click 1 2>/dev/null
        WAIT_SECONDS=6 wait_exit "$1" && return 0
    done
    fail "the close button did not end the program"
}

start_brisko app
w=$(wait_window "$app" "$TITLE") || fail "no window"
sleep 1 # let the first paint settle before clicking

# The icon tree holds the template's one group: below it is empty space.
menu=$(right_click_menu "$app" "$w" 135 450) || fail "no menu on the empty space of the icon tree"
[ "$(menu_rows "$menu")" = 1 ] || fail "the empty-space menu of the icon tree has $(menu_rows "$menu") entries"
choose_row "$menu" 1
wait_closed "$menu"
fill_dialog "$app" '^添加分组$' "$GROUP"

# The site tab, then its empty space: "添加分组", "添加网址".
xdotool mousemove --window "$w" 134 145 click 1
sleep 0.5
menu=$(right_click_menu "$app" "$w" 135 450) || fail "no menu on the empty space of the site tree"
[ "$(menu_rows "$menu")" = 2 ] || fail "the empty-space menu of the site tree has $(menu_rows "$menu") entries"
choose_row "$menu" 2
wait_closed "$menu"
fill_dialog "$app" '^添加网址$' "$SITE_NAME" "$SITE_ADDRESS"

close_and_wait "$app" "$w"
[ "$EXIT_CODE" = 0 ] || fail "the program ended with exit code $EXIT_CODE"

# The catalogue file holds both, the site under the template's site group.
groups=$(sqlite3 "$db" "select name from team where ttype=1 order by order_num") || fail "cannot read $db"
[ "$groups" = "$(printf '常用软件\n%s' "$GROUP")" ] || fail "icon groups in the file: $groups"
site=$(sqlite3 "$db" "select i.icon_name, i.file_name, i.ttype, t.name from icon_item i join team t on t.id=i.team_id")
[ "$site" = "$SITE_NAME|$SITE_ADDRESS|2|常用网址" ] || fail "items in the file: $site"

# A new start shows them: a right click on the second header of the icon tree opens the group menu (five
# entries), and the site tree's group, opened, holds an item (its menu has five entries; a group's has six).
start_brisko next
w=$(wait_window "$next" "$TITLE") || fail "no window at the next start"
sleep 1
menu=$(right_click_menu "$next" "$w" 135 $((TREE_TOP + HEADER + HEADER / 2))) || fail "no menu on the new group"
[ "$(menu_rows "$menu")" = 5 ] || fail "the added group is not shown (a menu of $(menu_rows "$menu") entries)"
xdotool key Escape
wait_closed "$menu"
xdotool mousemove --window "$w" 134 145 click 1
sleep 0.5
xdotool mousemove --window "$w" 135 $((TREE_TOP + HEADER / 2)) click 1
sleep 0.5
menu=$(right_click_menu "$next" "$w" 135 $((TREE_TOP + HEADER + 20))) || fail "no menu on the added site"
[ "$(menu_rows "$menu")" = 5 ] || fail "the added site is not shown (a menu of $(menu_rows "$menu") entries)"
xdotool key Escape
wait_closed "$menu"
close_and_wait "$next" "$w"
[ "$(sqlite3 "$db" "select count(*) from icon_item")" = 1 ] || fail "the second run changed the items"
log "ok"
