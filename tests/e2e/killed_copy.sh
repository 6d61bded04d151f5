#!/usr/bin/env bash
# After kill -9 of the running copy, the next start runs normally.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
start_display

start_brisko first
wait_window "$first" "$TITLE" >/dev/null || fail "the first copy showed no window"
kill -9 "$first"
wait_exit "$first" || fail "the killed copy did not end"
ls "$XDG_RUNTIME_DIR"/*.lock >/dev/null 2>&1 || log "note: the killed copy left no lock file behind"

start_brisko next
wait_window "$next" "$TITLE" >/dev/null || fail "the start after a killed copy showed no window"
[ -z "$(find_window "$next" "$NOTICE")" ] || fail "the start after a killed copy was refused"
sleep 1
expect_running "$next" "the new copy"
log "ok"
