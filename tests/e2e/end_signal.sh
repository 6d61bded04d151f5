#!/usr/bin/env bash
# A request to end from outside (SIGTERM from a session logout, SIGINT, SIGHUP) ends the program as the title
# bar's close does: a clean exit, the last change in data.db itself (no write-ahead log left beside it), no lock
# files left behind.
# Usage: end_signal.sh <TERM|INT|HUP> [box-open]: with box-open the signal comes while a message box is open.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
signal=${1:?signal name}
box_open=${2:-}
command -v sqlite3 >/dev/null 2>&1 || skip "sqlite3 is not installed (scripts/deps installs it)"
start_display

# A catalogue with one item whose file is gone: opening it stamps its last-open time (a write) and shows the
# open-failed message.
folder="$HOME/Documents/Brisko/Desktop"
db="$folder/data.db"
mkdir -p "$folder"
cp "$BRISKO_RUNTIME_DIR/data.db" "$db"
team=$(sqlite3 "$db" "select id from team where ttype = 1 order by order_num limit 1")
[ -n "$team" ] || fail "the template has no group of files"
item=$(sqlite3 "$db" "insert into icon_item(icon_name, file_name, team_id, last_time, order_num, ttype)
                      values('gone', '$WORK/gone.txt', $team, 0, 1, 1); select last_insert_rowid();")
[ -n "$item" ] || fail "could not seed the catalogue"

start_brisko app
w=$(wait_window "$app" "$TITLE") || fail "no window"
sleep 1 # let the first paint settle before clicking

# Open the first group (its header is the first row of the icon tree at y 160), then double-click its item.
error_box=""
for _ in 1 2 3 4 5; do
    xdotool mousemove --window "$w" 100 174 click 1 2>/dev/null || true
    sleep 0.5
    xdotool mousemove --window "$w" 100 208 click --repeat 2 --delay 80 1 2>/dev/null || true
    error_box=$(WAIT_SECONDS=3 wait_window "$app" '^错误$') && break
    # The click may have closed the group again: start over from a closed group.
    xdotool mousemove --window "$w" 100 174 click 1 2>/dev/null || true
    sleep 0.5
done
[ -n "$error_box" ] || fail "double-clicking the item showed no open-failed message"
stamp=$(sqlite3 "file:$db?mode=ro" "select last_time from icon_item where id = $item")
[ "${stamp:-0}" -gt 0 ] || fail "opening the item stamped no last-open time"
[ -s "$db-wal" ] || log "note: the change reached data.db before the signal"

if [ -z "$box_open" ]; then
    dismiss "$error_box" || fail "could not dismiss the message"
    sleep 0.5
fi

log "sending SIG$signal"
kill -s "$signal" "$app"
wait_exit "$app" || fail "the program did not end after SIG$signal"
[ "$EXIT_CODE" = 0 ] || fail "the program ended with exit code $EXIT_CODE after SIG$signal"

# Everything is in data.db itself: read it as one file, ignoring any log beside it.
[ ! -e "$db-wal" ] || fail "data.db-wal was left beside the catalogue"
[ ! -e "$db-shm" ] || fail "data.db-shm was left beside the catalogue"
stored=$(sqlite3 "file:$db?immutable=1" "select last_time from icon_item where id = $item")
[ "$stored" = "$stamp" ] || fail "data.db holds last_time '$stored', expected '$stamp'"
[ ! -e "$XDG_RUNTIME_DIR/Shelfmate_Object.lock" ] || fail "the instance lock was left behind"
[ ! -e "$XDG_RUNTIME_DIR/JAMKey.lock" ] || fail "the start-up gate was left behind"

start_brisko next
wait_window "$next" "$TITLE" >/dev/null || fail "no window at the next start"
log "ok"
