# Shared by the end-to-end tests: a private virtual X display, the real executable, window look-ups.
# Every process is started here and stopped by its pid; HOME and the XDG folders are the temporary ones that
# hermetic.sh made for this test.
set -u

EXE="${BRISKO_RUNTIME_DIR:?}/brisko"
TITLE='^Brisko桌面$'
NOTICE='^提示$'
WAIT_SECONDS=${BRISKO_E2E_WAIT:-30}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/brisko-e2e.XXXXXX")
STARTED_PIDS=()
XVFB_PID=""

log() { echo "[$(date +%H:%M:%S)] $*"; }

fail()
{
    echo "FAIL: $*" >&2
    if [ -s "$WORK/brisko.log" ]; then
        echo "--- output of the program (last lines):" >&2
        tail -n 30 "$WORK/brisko.log" >&2
    fi
    if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null 2>&1; then
        import -window root "$WORK/failure.png" 2>/dev/null && echo "screen at failure: $WORK/failure.png" >&2
        # Keep the screenshot where it can be looked at after the temporary folders are gone.
        if [ -f "$WORK/failure.png" ] && [ -n "${BRISKO_RUNTIME_DIR:-}" ]; then
            cp "$WORK/failure.png" "$BRISKO_RUNTIME_DIR/e2e-failure-$(basename "$0" .sh).png" 2>/dev/null || true
        fi
    fi
    exit 1
}

skip() { echo "SKIP: $*"; exit 77; }

cleanup()
{
    local pid
    for pid in "${STARTED_PIDS[@]}"; do
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

for tool in Xvfb xdotool xwininfo; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (scripts/deps installs it)"
done
[ -x "$EXE" ] || fail "no executable at $EXE"

# start_display [WIDTHxHEIGHTxDEPTH]: starts Xvfb (1280x800x24 unless given) on a display number it picks itself
# (-displayfd), so tests running side by side never collide.
# -noreset: by default the server resets whenever its last client leaves (each xdotool call, a copy of the
# program that ended), and a copy starting during that reset cannot connect and aborts.
start_display()
{
    local fifo="$WORK/displayfd" n="" screen=${1:-1280x800x24}
    : >"$fifo"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fifo" >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq $((WAIT_SECONDS * 10))); do
        n=$(tr -dc '0-9' <"$fifo")
        [ -n "$n" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
        sleep 0.1
    done
    [ -n "$n" ] || fail "Xvfb named no display"
    export DISPLAY=":$n"
    unset WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=xcb
    log "virtual display $DISPLAY"
}

# start_tray: starts a small tray host (trayer) in the bottom right corner of the screen and waits until it shows;
# its pid in TRAY_PID. Skips the test when trayer is not installed.
TRAY_PID=""
start_tray()
{
    command -v trayer >/dev/null 2>&1 || skip "trayer is not installed (scripts/deps installs it)"
    trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel --height 28 \
        --SetDockType true --transparent false >"$WORK/trayer.log" 2>&1 &
    TRAY_PID=$!
    STARTED_PIDS+=("$TRAY_PID")
    for _ in $(seq $((WAIT_SECONDS * 10))); do
        [ -n "$(xdotool search --all --onlyvisible --pid "$TRAY_PID" --class trayer 2>/dev/null)" ] && return 0
        running "$TRAY_PID" || fail "trayer ended: $(cat "$WORK/trayer.log")"
        sleep 0.1
    done
    fail "the tray host showed no window"
}

# start_brisko <variable> [working directory] [arguments...]: starts the program (with the arguments) in the
# background and stores its pid. An empty working directory is the run-time folder. Its output is added to
# $WORK/brisko.log, or to the file BRISKO_OUTPUT names.
start_brisko()
{
    local __var=$1 __dir=${2:-$BRISKO_RUNTIME_DIR} __output=${BRISKO_OUTPUT:-$WORK/brisko.log} __pid
    shift $(($# > 1 ? 2 : 1))
    # Started as a desktop session starts it: no signal ignored (a background job of a script would ignore
    # SIGINT).
    (cd "$__dir" && exec env --default-signal "$EXE" "$@") >>"$__output" 2>&1 &
    __pid=$!
    STARTED_PIDS+=("$__pid")
    printf -v "$__var" '%s' "$__pid"
    log "started brisko pid $__pid in $__dir${*:+ with $*}"
}

running() { kill -0 "$1" 2>/dev/null; }

# shown: the main window of the program whose pid is in $app is on screen; hidden: it is not.
shown() { [ -n "$(find_window "$app" "$TITLE")" ]; }
hidden() { ! shown; }

# reparented <window>: the window's parent is not the root window (a window manager's frame, a tray host).
reparented() { ! xwininfo -id "$1" -children 2>/dev/null | grep -q 'Parent window id: .*(the root window)'; }

# find_window <pid> <title regex>: prints the first visible window of that process with that title.
find_window()
{
    xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n 1
}

# wait_window <pid> <title regex>: waits (up to WAIT_SECONDS) for the window and prints its id.
wait_window()
{
    local w=""
    for _ in $(seq $((WAIT_SECONDS * 10))); do
        w=$(find_window "$1" "$2")
        if [ -n "$w" ]; then
            echo "$w"
            return 0
        fi
        running "$1" || return 1
        sleep 0.1
    done
    return 1
}

# wait_exit <pid>: waits (up to WAIT_SECONDS) for the process to end and sets EXIT_CODE; false on time-out.
# Not to be called in $(...): only this shell can collect the exit code of its own child.
EXIT_CODE=""
wait_exit()
{
    EXIT_CODE=""
    for _ in $(seq $((WAIT_SECONDS * 10))); do
        if ! running "$1"; then
            wait "$1" && EXIT_CODE=0 || EXIT_CODE=$?
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# wait_for <what> <command...>: waits (up to WAIT_SECONDS) until the command succeeds, and fails the test
# with <what> otherwise.
wait_for()
{
    local what=$1
    shift
    for _ in $(seq $((WAIT_SECONDS * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    fail "$what"
}

# dismiss <window>: presses Return in a notice window (works with or without a window manager).
dismiss()
{
    xdotool keyup Return 2>/dev/null || true
    xdotool windowfocus --sync "$1" key Return
}

# dismiss_and_wait <window> <pid> [title regex]: dismisses the notice (or the box of that title) and waits for
# its process to end (EXIT_CODE); presses Return again if a busy machine lost the first key press. False when
# the process never ends.
dismiss_and_wait()
{
    local title=${3:-$NOTICE}
    for _ in 1 2 3 4 5; do
        if running "$2" && [ -n "$(xdotool search --all --onlyvisible --pid "$2" --name "$title" 2>/dev/null)" ]; then
            dismiss "$1" 2>/dev/null || true
        fi
        if WAIT_SECONDS=6 wait_exit "$2"; then
            return 0
        fi
    done
    return 1
}

# dismiss_expect_exit <window> <pid> <who>: dismisses the notice and fails unless the process then ends with
# exit code 0.
dismiss_expect_exit()
{
    dismiss_and_wait "$1" "$2" || fail "$3 did not end after its notice was dismissed"
    [ "$EXIT_CODE" = 0 ] || fail "$3 ended with exit code $EXIT_CODE"
}

# geometry <window>: prints "width height x y" of the window.
geometry()
{
    xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} /Absolute upper-left X:/ {x=$4}
                             /Absolute upper-left Y:/ {y=$4} END {print w, h, x, y}'
}

# Asserts that a process is still running.
expect_running() { running "$1" || fail "$2 (pid $1) ended: $(tail -n 20 "$WORK/brisko.log")"; }
