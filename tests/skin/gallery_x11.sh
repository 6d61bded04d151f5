#!/usr/bin/env bash
# The skin library on a real X server (no window manager): a BaseWindow moves when dragged by its title bar,
# resizes from its edges (also where a control covers the edge) but never below its minimum size, its close
# button ends a program whose only window it is, and the gallery renders its screenshot.
set -u

EXE="${BRISKO_RUNTIME_DIR:?}/brisko-gallery"
TITLE='^Brisko 皮肤控件一览$'
WORK=$(mktemp -d "${TMPDIR:-/tmp}/brisko-gallery.XXXXXX")
XVFB_PID=""
APP_PID=""

log() { echo "[$(date +%H:%M:%S)] $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

cleanup()
{
    if [ -n "$APP_PID" ]; then
        kill -9 "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -x "$EXE" ] || fail "no executable at $EXE"

# A display of our own, numbered away from the low numbers that other tests' servers take one after another
# (a server of theirs shutting down must not take our socket with it).
n=""
for _ in $(seq 20); do
    candidate=$((200 + RANDOM % 700))
    [ -e "/tmp/.X$candidate-lock" ] || [ -e "/tmp/.X11-unix/X$candidate" ] && continue
    Xvfb ":$candidate" -screen 0 1280x800x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    # Ours only when the display's lock names our server: another test may have taken the same number.
    ours() { [ -S "/tmp/.X11-unix/X$candidate" ] && [ "$(tr -dc '0-9' <"/tmp/.X$candidate-lock" 2>/dev/null)" = "$XVFB_PID" ]; }
    for _ in $(seq 100); do
        ours && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$XVFB_PID" 2>/dev/null && ours; then
        n=$candidate
        break
    fi
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
done
[ -n "$n" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
export DISPLAY=":$n" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# geometry <window>: prints "x y width height".
geometry()
{
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}

# drag <from x> <from y> <to x> <to y>, in screen coordinates, in a few steps.
drag()
{
    xdotool mousemove "$1" "$2"
    sleep 0.2
    xdotool mousedown 1
    xdotool mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2))
    sleep 0.1
    xdotool mousemove "$3" "$4"
    sleep 0.2
    xdotool mouseup 1
    sleep 0.4
}

"$EXE" --screenshot "$WORK/shot.png" >"$WORK/gallery.log" 2>&1 || fail "screenshot mode failed: $(cat "$WORK/gallery.log")"
[ -s "$WORK/shot.png" ] || fail "no screenshot written"
log "screenshot written"

"$EXE" >"$WORK/gallery.log" 2>&1 &
APP_PID=$!
w=""
for _ in $(seq 300); do
    w=$(xdotool search --all --onlyvisible --pid "$APP_PID" --name "$TITLE" 2>/dev/null | head -n 1)
    [ -n "$w" ] && break
    kill -0 "$APP_PID" 2>/dev/null || fail "the gallery ended early: $(cat "$WORK/gallery.log")"
    sleep 0.1
done
[ -n "$w" ] || fail "no gallery window"
sleep 0.5

read -r x y width height < <(geometry "$w")
log "window at $x,$y size ${width}x$height"

# Dragged by the title bar.
drag $((x + 150)) $((y + 12)) $((x + 250)) $((y + 92))
read -r x2 y2 _ _ < <(geometry "$w")
[ "$x2" -eq $((x + 100)) ] && [ "$y2" -eq $((y + 80)) ] || fail "title drag: expected $((x + 100)),$((y + 80)), got $x2,$y2"
x=$x2
y=$y2
log "title drag moved the window"

# Resized from the bottom-right corner, then from the right edge where the card covers it.
drag $((x + width - 2)) $((y + height - 2)) $((x + width + 48)) $((y + height + 38))
read -r x2 y2 w2 h2 < <(geometry "$w")
[ "$w2" -eq $((width + 50)) ] && [ "$h2" -eq $((height + 40)) ] || fail "corner resize: got ${w2}x$h2"
[ "$x2" -eq "$x" ] && [ "$y2" -eq "$y" ] || fail "corner resize moved the window to $x2,$y2"
drag $((x + w2 - 2)) $((y + 300)) $((x + w2 + 18)) $((y + 300))
read -r _ _ w3 _ < <(geometry "$w")
[ "$w3" -eq $((w2 + 20)) ] || fail "edge resize over a control: got width $w3"
log "edges resize the window"

# Shrunk from the left edge far beyond its minimum: it stops there and its right edge stays put.
drag $((x + 1)) $((y + 300)) $((x + 800)) $((y + 300))
read -r x4 _ w4 _ < <(geometry "$w")
[ "$w4" -eq "$width" ] || fail "minimum width not kept: $w4"
[ $((x4 + w4)) -eq $((x + w3)) ] || fail "the right edge moved while resizing from the left"
log "minimum size kept"

# The close button ends the program.
read -r x y width _ < <(geometry "$w")
xdotool mousemove $((x + width - 16)) $((y + 15))
sleep 0.3
xdotool click 1
for _ in $(seq 100); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$APP_PID" 2>/dev/null && fail "the close button did not end the gallery"
wait "$APP_PID"
code=$?
APP_PID=""
[ "$code" -eq 0 ] || fail "the gallery ended with exit code $code"
log "ok"
