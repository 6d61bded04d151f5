#!/usr/bin/env bash
# Type-ahead search in the real program: click the search strip, type part of a name, walk down to the second
# result and press Return: the file opens and is stamped as opened. Opening goes through a stand-in default
# application that only notes what it was asked to open.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
command -v sqlite3 >/dev/null 2>&1 || skip "sqlite3 is not installed (scripts/deps installs it)"
start_display

# The catalogue: the template with three files in its file group.
db="$HOME/Documents/Brisko/Desktop/data.db"
mkdir -p "$(dirname "$db")" "$WORK/files" "$WORK/bin"
cp "$BRISKO_RUNTIME_DIR/data.db" "$db"
for name in report plan notes; do
    echo "$name" >"$WORK/files/$name.txt"
done
sqlite3 "$db" "insert into icon_item(icon_name, file_name, team_id, last_time, order_num, ttype)
               select n, '$WORK/files/' || f, (select id from team where ttype=1), 0, o, 1
               from (select 'quarterly report' n, 'report.txt' f, 1 o union all
                     select 'Quarterly plan', 'plan.txt', 2 union all
                     select 'meeting notes', 'notes.txt', 3)" || fail "cannot fill the catalogue"

# The person's default application for text files, as the desktop finds it through mimeapps.list: a stand-in
# that writes down what it was asked to open and opens nothing.
cat >"$WORK/bin/viewer" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >>"$WORK/opened"
EOF
chmod +x "$WORK/bin/viewer"
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
cat >"$XDG_DATA_HOME/applications/brisko-e2e-viewer.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Viewer
Exec=$WORK/bin/viewer %u
MimeType=text/plain;
EOF
printf '[Default Applications]\ntext/plain=brisko-e2e-viewer.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"

start_brisko app
w=$(wait_window "$app" "$TITLE") || fail "no window"
sleep 1 # let the first paint settle before clicking

# The search strip lies across the window at y 100 to 130; the edit takes the keyboard once it is clicked.
xdotool mousemove --window "$w" 135 115 click 1
xdotool windowfocus --sync "$w"
sleep 0.5
xdotool type --delay 50 "quart"
sleep 0.5
xdotool key Down
sleep 0.2
xdotool key Return

for _ in $(seq $((WAIT_SECONDS * 10))); do
    [ -s "$WORK/opened" ] && break
    sleep 0.1
done
[ -s "$WORK/opened" ] || fail "nothing was opened"
opened=$(cat "$WORK/opened")
log "opened: $opened"
[ "$opened" = "$WORK/files/plan.txt" ] || [ "$opened" = "file://$WORK/files/plan.txt" ] || fail "opened $opened instead of the second result, plan.txt"
stamp=$(sqlite3 "$db" "select last_time from icon_item where icon_name='Quarterly plan'")
[ "${stamp:-0}" -gt 0 ] || fail "the opened item was not stamped (last_time $stamp)"
expect_running "$app" "brisko"
log "ok"
