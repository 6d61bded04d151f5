#!/usr/bin/env bash
# toggle.sh <wm|tray>: `brisko --toggle` and `--show` reach the running copy, which puts its window away and
# brings it back, and end at once with exit code 0 and without a word; with no copy running they start one.
#   wm:   a window manager and no tray: the window is minimised (iconified) and restored, a tool window again.
#   tray: a tray and no window manager: the window is hidden into the tray and shown.
# A plain start still shows the notice, and a copy that was killed leaves nothing that stops the next.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
MODE=${1:?wm or tray}
start_display

case "$MODE" in
wm)
    command -v twm >/dev/null 2>&1 || skip "twm is not installed (scripts/deps installs it)"
    # Windows are placed where they ask, without title bars, and iconified by unmapping them (no icons); the
    # one font the virtual display has built in ("fixed") everywhere, as twm ends without its fonts.
    {
        printf 'RandomPlacement\nUsePPosition "on"\nNoTitle\nIconifyByUnmapping\n'
        for font in TitleFont ResizeFont MenuFont IconFont IconManagerFont; do
            printf '%s "fixed"\n' "$font"
        done
    } >"$WORK/twmrc"
    twm -display "$DISPLAY" -f "$WORK/twmrc" >/dev/null 2>&1 &
    wm=$!
    STARTED_PIDS+=("$wm")
    ;;
tray)
    start_tray
    ;;
*) fail "unknown mode $MODE" ;;
esac

# ask <option>: runs `brisko <option>` against the running copy; it must end with exit code 0, print nothing
# and show nothing.
ask()
{
    local asking out="$WORK/ask.out"
    : >"$out"
    BRISKO_OUTPUT=$out start_brisko asking "" "$1"
    wait_exit "$asking" || fail "brisko $1 did not end while a copy runs"
    [ "$EXIT_CODE" = 0 ] || fail "brisko $1 ended with exit code $EXIT_CODE: $(cat "$out")"
    [ ! -s "$out" ] || fail "brisko $1 printed: $(cat "$out")"
}

window_type() { xprop -id "$(find_window "$app" "$TITLE")" _NET_WM_WINDOW_TYPE 2>/dev/null; }
is_tool_window() { shown && window_type | grep -q _NET_WM_WINDOW_TYPE_UTILITY; }
iconic()
{
    local x
    for x in $(xdotool search --all --pid "$app" --name "$TITLE" 2>/dev/null); do
        xprop -id "$x" WM_STATE 2>/dev/null | grep -qi iconic && return 0
    done
    return 1
}
# put_away <what> / brought_back <what>: wait until the window is away (with a window manager: iconified, an
# ordinary window in the task bar) or back (a tool window again), as a person sees it before pressing the key
# again; fail with <what> otherwise.
put_away()
{
    wait_for "$1" hidden
    if [ "$MODE" = wm ]; then
        wait_for "$1: the window manager did not iconify it" iconic
    fi
}
brought_back()
{
    wait_for "$1" shown
    if [ "$MODE" = wm ]; then
        wait_for "$1: the restored window is no tool window again: $(window_type)" is_tool_window
    fi
}
managed()
{
    running "$wm" || fail "twm ended"
    local w
    w=$(find_window "$app" "$TITLE") && [ -n "$w" ] && reparented "$w"
}

# No copy runs: --toggle starts one, which shows its window.
start_brisko app "" --toggle
wait_window "$app" "$TITLE" >/dev/null || fail "brisko --toggle with no copy running showed no window"
[ -e "$XDG_RUNTIME_DIR/brisko-control" ] || fail "the running copy made no control socket"
if [ "$MODE" = wm ]; then
    wait_for "the window manager did not take the window" managed
fi
sleep 1 # let the first paint settle
log "brisko --toggle started a copy (pid $app)"

# Two toggles: away, and back.
ask --toggle
put_away "the first toggle did not put the window away"
expect_running "$app" "the running copy"
log "the first toggle put the window away"
ask --toggle
brought_back "the second toggle did not bring the window back"
log "the second toggle brought it back"

# --show leaves a shown window shown, and brings a hidden one back.
ask --show
sleep 0.5
shown || fail "brisko --show hid the window"
ask --toggle
put_away "the third toggle did not put the window away"
ask --show
brought_back "brisko --show did not bring the window back"
log "--show shows"

# A plain start still says that a copy runs.
start_brisko plain
n=$(wait_window "$plain" "$NOTICE") || fail "a plain second start showed no notice"
dismiss_expect_exit "$n" "$plain" "the plain second start"
expect_running "$app" "the running copy"

# A copy that was killed leaves its socket file behind: --toggle starts a new copy, which answers the next.
kill -9 "$app"
wait_exit "$app" || fail "the killed copy did not end"
[ -S "$XDG_RUNTIME_DIR/brisko-control" ] || fail "the killed copy left no socket file (the case is not shown)"
start_brisko app "" --toggle
wait_window "$app" "$TITLE" >/dev/null || fail "brisko --toggle after a killed copy showed no window"
if [ "$MODE" = wm ]; then
    wait_for "the window manager did not take the new window" managed
fi
sleep 1
ask --toggle
put_away "the new copy did not put its window away"
ask --toggle
brought_back "the new copy did not bring its window back"
log "ok"
