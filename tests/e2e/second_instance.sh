#!/usr/bin/env bash
# A second start shows the notice and exits 0 once it is dismissed; the first copy is untouched.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
start_display

start_brisko first
w1=$(wait_window "$first" "$TITLE") || fail "the first copy showed no window"

start_brisko second
n2=$(wait_window "$second" "$NOTICE") || fail "the second copy showed no notice"
[ -z "$(find_window "$second" "$TITLE")" ] || fail "the second copy opened a main window"
# The first copy's window stays on top; the notice asks to stay on top as well, so that it never opens
# underneath it.
for w in "$w1" "$n2"; do
    xprop -id "$w" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE \
        || fail "window $w does not ask to stay on top: $(xprop -id "$w" _NET_WM_STATE)"
done
expect_running "$first" "the first copy"

dismiss_expect_exit "$n2" "$second" "the second copy"

# The first copy runs on with its window.
sleep 1
expect_running "$first" "the first copy"
[ "$(find_window "$first" "$TITLE")" = "$w1" ] || fail "the first copy lost its window"

# A later start is refused in the same way.
start_brisko again
n3=$(wait_window "$again" "$NOTICE") || fail "a later copy showed no notice"
dismiss_expect_exit "$n3" "$again" "the later copy"
expect_running "$first" "the first copy"

# A request to end (a session logout's SIGTERM) while a refused copy shows its notice closes the notice and
# ends that copy cleanly, giving the start-up gate back.
start_brisko ended
wait_window "$ended" "$NOTICE" >/dev/null || fail "the copy to be ended showed no notice"
kill -s TERM "$ended"
wait_exit "$ended" || fail "a copy showing its notice did not end after SIGTERM"
[ "$EXIT_CODE" = 0 ] || fail "a copy showing its notice ended with exit code $EXIT_CODE after SIGTERM"
[ ! -e "$XDG_RUNTIME_DIR/JAMKey.lock" ] || fail "the start-up gate was left behind"
expect_running "$first" "the first copy"
log "ok"
