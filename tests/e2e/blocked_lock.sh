#!/usr/bin/env bash
# A lock file that no running copy holds and that cannot be removed (here a folder in its place) never makes a
# start wait for ever, nor say "already running".
#   gate:     the start-up gate: after a few seconds an error names the file, and the program ends non-zero.
#   instance: the instance lock: an error names the file, and the program then runs without it.
# Usage: blocked_lock.sh <gate|instance>
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
which=${1:?gate or instance}
case "$which" in
    gate) lock="$XDG_RUNTIME_DIR/JAMKey.lock" ;;
    instance) lock="$XDG_RUNTIME_DIR/Shelfmate_Object.lock" ;;
    *) fail "unknown lock $which" ;;
esac
start_display
mkdir -p "$lock/inside"

start_brisko app
box=$(wait_window "$app" '^错误$') || fail "no error window named the blocked $which lock"
[ -z "$(find_window "$app" "$NOTICE")" ] || fail "the start was refused as if a copy were running"
grep -qF "$lock" "$WORK/brisko.log" || fail "the output does not name $lock"

if [ "$which" = gate ]; then
    [ -z "$(find_window "$app" "$TITLE")" ] || fail "the main window opened although the start was blocked"
    dismiss_and_wait "$box" "$app" '^错误$' || fail "the program did not end after its error was dismissed"
    [ "$EXIT_CODE" != 0 ] || fail "a blocked start ended with exit code 0"
else
    dismiss "$box" || fail "could not dismiss the error"
    wait_window "$app" "$TITLE" >/dev/null || fail "the program did not run on after the error"
    expect_running "$app" "brisko"
fi
[ -d "$lock/inside" ] || fail "the folder in the lock's place was changed"
log "ok"
