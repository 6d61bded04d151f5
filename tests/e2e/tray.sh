#!/usr/bin/env bash
# With a system tray on the display: minimising hides the window, a click on the tray icon brings it back, and the
# tray menu's "退出" ends the program while the window is hidden.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
start_display

start_tray
log "tray host pid $TRAY_PID"

start_brisko app
w=$(wait_window "$app" "$TITLE") || fail "no window"
# The icon is the program's window embedded in the tray host: the one window of the program whose parent is
# not the root window.
tray_icon()
{
    local x
    for x in $(xdotool search --all --onlyvisible --pid "$app" 2>/dev/null); do
        if reparented "$x"; then
            echo "$x"
            return 0
        fi
    done
    return 1
}
icon=""
for _ in $(seq $((WAIT_SECONDS * 10))); do
    icon=$(tray_icon) && break
    expect_running "$app" "brisko"
    sleep 0.1
done
[ -n "$icon" ] || fail "no tray icon appeared"
read -r iw ih _ _ < <(geometry "$icon")
log "tray icon $icon (${iw}x${ih})"
sleep 1 # let the first paint settle before clicking

# minimise: the title bar's minimise button (24 x 24, left of the close button); a busy machine may miss the
# first click.
minimise()
{
    local width
    read -r width _ _ _ < <(geometry "$w")
    for _ in 1 2 3 4 5; do
        shown && xdotool mousemove --window "$w" $((width - 28 - 24 + 12)) 15 click 1 2>/dev/null
        for _ in $(seq 30); do
            hidden && return 0
            sleep 0.1
        done
    done
    fail "minimising did not hide the window"
}

minimise
expect_running "$app" "brisko"

# A click on the tray icon brings the window back.
for _ in 1 2 3 4 5; do
    hidden && xdotool mousemove --window "$icon" $((iw / 2)) $((ih / 2)) click 1 2>/dev/null
    for _ in $(seq 30); do
        shown && break 2
        sleep 0.1
    done
done
wait_for "a click on the tray icon did not bring the window back" shown
log "the tray icon brought the window back"

# Hidden again, the tray menu's "退出" (its second entry) ends the program.
minimise
ended=0
for _ in 1 2 3 4 5; do
    xdotool keyup Down Return 2>/dev/null || true
    xdotool mousemove --window "$icon" $((iw / 2)) $((ih / 2)) click 3 2>/dev/null
    sleep 0.5
    xdotool key Down Down Return 2>/dev/null
    if WAIT_SECONDS=6 wait_exit "$app"; then
        ended=1
        break
    fi
done
[ "$ended" = 1 ] || fail "the tray menu's 退出 did not end the program"
[ "$EXIT_CODE" = 0 ] || fail "the program ended with exit code $EXIT_CODE"
log "ok"
