#!/usr/bin/env bash
# The window appears with its title at 270 x 580, and the catalogue is made from the template.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
start_display

db="$HOME/Documents/Brisko/Desktop/data.db"
[ ! -e "$HOME/Documents" ] || fail "the temporary home already has a Documents folder"

start_brisko app
w=$(wait_window "$app" "$TITLE") || fail "no window titled Brisko桌面 within ${WAIT_SECONDS}s"
read -r width height _ _ < <(geometry "$w")
log "window $w: ${width}x${height}"
[ "$width" = 270 ] && [ "$height" = 580 ] || fail "window is ${width}x${height}, expected 270x580"

# The live catalogue is a copy of the template beside the executable, with its two starter groups.
[ -f "$db" ] || fail "no catalogue at $db"
head -c 16 "$db" | grep -q '^SQLite format 3' || fail "$db is not an SQLite database"
grep -aq '常用软件' "$db" || fail "$db lacks the group 常用软件 of the template"
grep -aq '常用网址' "$db" || fail "$db lacks the group 常用网址 of the template"

# It keeps running with its window shown.
sleep 1
expect_running "$app" "brisko"
[ -n "$(find_window "$app" "$TITLE")" ] || fail "the window went away"
# GIO and GObject (with GModule, libffi, libmount, ...) are loaded the first time something is opened or
# started, never to show the window.
maps=$(grep -E 'lib(gio|gobject)-2\.0\.so' "/proc/$app/maps" | awk '{print $6}' | sort -u)
[ -z "$maps" ] || fail "the shown window has GIO loaded: $maps"
log "ok"
