#!/usr/bin/env bash
# Started from another working directory, the program still uses Skins/, the template data.db and
# config.ocx beside the executable, and leaves the directory it was started from alone.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
start_display

elsewhere="$WORK/elsewhere"
mkdir -p "$elsewhere"
start_brisko app "$elsewhere"
wait_window "$app" "$TITLE" >/dev/null || fail "no window when started from another directory"

# The working directory of the running program is the executable's folder, where the files are.
cwd=$(readlink "/proc/$app/cwd")
runtime=$(cd "$BRISKO_RUNTIME_DIR" && pwd -P)
[ "$cwd" = "$runtime" ] || fail "working directory is $cwd, expected $runtime"
for f in config.ocx data.db Skins/icon/default.png; do
    [ -e "$runtime/$f" ] || fail "$f is missing beside the executable"
done

# The catalogue came from the template beside the executable.
db="$HOME/Documents/Brisko/Desktop/data.db"
grep -aq '常用软件' "$db" || fail "the catalogue was not made from the template"

[ -z "$(ls -A "$elsewhere")" ] || fail "files appeared in the start directory: $(ls -A "$elsewhere")"
log "ok"
