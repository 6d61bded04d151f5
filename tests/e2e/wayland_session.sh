#!/usr/bin/env bash
# Started in a Wayland session that offers XWayland (WAYLAND_DISPLAY, XDG_SESSION_TYPE=wayland and DISPLAY set)
# with no platform chosen, Brisko runs on the X display; its window's class is the one the desktop entry names,
# so task bars show the entry's icon and name.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
ENTRY="$(dirname "${BASH_SOURCE[0]}")/../../dist/org.brisko.Brisko.desktop"
command -v xprop >/dev/null 2>&1 || skip "xprop is not installed (scripts/deps installs it)"
start_display

# No compositor listens at this name. Left to itself, Qt tries Wayland first in such a session (and says so on
# its error output when that fails) before it falls back to the X display.
unset QT_QPA_PLATFORM
export WAYLAND_DISPLAY="brisko-test-no-compositor" XDG_SESSION_TYPE=wayland
start_brisko app
w=$(wait_window "$app" "$TITLE") || fail "no window on the X display in a Wayland session with XWayland"
log "window $w on $DISPLAY"
if grep -i wayland "$WORK/brisko.log"; then
    fail "Brisko tried the Wayland platform before the X display"
fi

class=$(xprop -id "$w" WM_CLASS) || fail "the window has no WM_CLASS"
wanted=$(sed -n 's/^StartupWMClass=//p' "$ENTRY")
[ -n "$wanted" ] || fail "the desktop entry names no StartupWMClass"
[ "$class" = "WM_CLASS(STRING) = \"brisko\", \"$wanted\"" ] || fail "window class $class, desktop entry: $wanted"
log "ok: $class"
