#!/usr/bin/env bash
# A third start while the second copy's notice is open waits without a window, then shows its own notice.
# A copy killed while it held the start-up gate does not block the next one.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
start_display

start_brisko first
wait_window "$first" "$TITLE" >/dev/null || fail "the first copy showed no window"

start_brisko second
n2=$(wait_window "$second" "$NOTICE") || fail "the second copy showed no notice"

start_brisko third
sleep 3
expect_running "$third" "the third copy"
[ -z "$(xdotool search --all --onlyvisible --pid "$third" --name '.*' 2>/dev/null)" ] \
    || fail "the third copy showed a window while the second copy's notice was open"

dismiss_expect_exit "$n2" "$second" "the second copy"

n3=$(wait_window "$third" "$NOTICE") || fail "the third copy showed no notice after the second ended"
[ -z "$(find_window "$third" "$TITLE")" ] || fail "the third copy opened a main window"

# Kill the third copy while its notice (and so the gate) is held: the next copy is not blocked.
kill -9 "$third"
wait_exit "$third" || fail "the killed copy did not end"
start_brisko fourth
n4=$(wait_window "$fourth" "$NOTICE") || fail "a copy started after a killed notice showed no notice"
dismiss_expect_exit "$n4" "$fourth" "the fourth copy"
expect_running "$first" "the first copy"
log "ok"
