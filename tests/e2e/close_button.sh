#!/usr/bin/env bash
# The title bar's close button ends the process.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
start_display

start_brisko app
w=$(wait_window "$app" "$TITLE") || fail "no window"
read -r width _ _ _ < <(geometry "$w")
sleep 1 # let the first paint settle before clicking
expect_running "$app" "brisko"

# The close button: 24 x 24 at the right end of the title bar; click its middle.
x=$((width - 30 + 12))
y=$((3 + 12))
# A busy machine may not have the button ready at the first click: click again while the program runs.
ended=0
for _ in 1 2 3 4 5; do
    if running "$app"; then
        xdotool mousemove --window "$w" "$x" "$y" click 1 2>/dev/null || true
    fi
    if WAIT_SECONDS=6 wait_exit "$app"; then
        ended=1
        break
    fi
done
[ "$ended" = 1 ] || fail "the close button did not end the process"
[ "$EXIT_CODE" = 0 ] || fail "the program ended with exit code $EXIT_CODE"

# A clean end closes the catalogue: no write-ahead log is left beside data.db.
db="$HOME/Documents/Brisko/Desktop/data.db"
[ -f "$db" ] || fail "no catalogue at $db"
[ ! -e "$db-wal" ] || fail "data.db-wal was left beside the catalogue"

# A clean end leaves no single-instance mark behind, and the next start runs.
[ ! -e "$XDG_RUNTIME_DIR/Shelfmate_Object.lock" ] || fail "the instance lock was left behind"
[ ! -e "$XDG_RUNTIME_DIR/JAMKey.lock" ] || fail "the start-up gate was left behind"
start_brisko next
wait_window "$next" "$TITLE" >/dev/null || fail "no window at the next start"
log "ok"
