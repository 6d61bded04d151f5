#!/usr/bin/env bash
# package_deb.sh <build folder> <version>: makes the Debian package from this build with cpack, unpacks it into
# a temporary root with dpkg-deb -x (nothing is installed on the machine) and checks it: its name and control
# fields, that it holds the program's whole layout and desktop integration and nothing of the build besides,
# that the desktop entry and the metainfo pass the desktop's validators, and that the unpacked program, started
# through the unpacked /usr/bin/brisko from another folder, runs on the files of the package and shows its
# window.
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
BUILD=${1:?build folder}
VERSION=${2:?version}
APP_ID=org.brisko.Brisko
for tool in cpack dpkg-deb dpkg dpkg-shlibdeps file readelf desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (scripts/deps installs it)"
done

# --- Make the package.
arch=$(dpkg --print-architecture)
log "making the package"
(cd "$WORK" && cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1) \
    || fail "cpack failed: $(tail -n 20 "$WORK/cpack.log")"
deb="$WORK/pkg/brisko_${VERSION}_${arch}.deb"
[ -f "$deb" ] || fail "no brisko_${VERSION}_${arch}.deb; cpack made: $(ls "$WORK/pkg")"
log "made $(basename "$deb") ($(stat -c %s "$deb") bytes)"

# --- Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = brisko ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$VERSION" ] || fail "Version is '$(field Version)', expected $VERSION"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', expected $arch"
for name in Maintainer Section Homepage Description; do
    [ -n "$(field "$name")" ] || fail "the control field $name is empty"
done
depends=$(field Depends)
recommends=$(field Recommends)
# Libraries as dpkg-shlibdeps read them from the executables, and what no library link shows. GIO, loaded at run
# time, comes with GLib's package (libglib2.0-0), which the link to GLib brings in. The network library is the
# download helper's (brisko-fetch): the program itself links none.
for wanted in 'libqt6core6 (>=' 'libqt6widgets6 (>=' 'libglib2.0-0 (>=' 'libqt6network6 (>=' 'libc6 (>=' libqt6sql6-sqlite libqt6svg6 \
    'fonts-wqy-microhei | fonts-noto-cjk'; do
    [[ "$depends" == *"$wanted"* ]] || fail "Depends lacks '$wanted': $depends"
done
for wanted in fonts-noto-color-emoji 'breeze-icon-theme | adwaita-icon-theme' qt6-qpa-plugins; do
    [[ "$recommends" == *"$wanted"* ]] || fail "Recommends lacks '$wanted': $recommends"
done

# --- The files.
ROOT="$WORK/root"
dpkg-deb -x "$deb" "$ROOT" || fail "dpkg-deb -x failed"
LIB="$ROOT/usr/lib/brisko"
expect_file() { [ -f "$ROOT/$1" ] || fail "the package lacks /$1"; }
# png_size <file>: "width height" from the PNG header (big-endian words at bytes 16 and 20).
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}'; }
for f in usr/lib/brisko/config.ocx usr/lib/brisko/data.db \
    usr/share/applications/$APP_ID.desktop usr/share/metainfo/$APP_ID.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/$APP_ID.svg usr/share/man/man1/brisko.1.gz \
    usr/share/doc/brisko/copyright usr/share/doc/brisko/changelog.gz; do
    expect_file "$f"
done
for size in 16 24 32 48 64 128 256; do
    expect_file "usr/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png"
    read -r w h < <(png_size "$ROOT/usr/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png")
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "the ${size}x${size} icon is ${w}x${h}"
done
[ -x "$LIB/brisko" ] && [ ! -L "$LIB/brisko" ] || fail "the package lacks the executable /usr/lib/brisko/brisko"
[ -x "$LIB/brisko-fetch" ] && [ ! -L "$LIB/brisko-fetch" ] \
    || fail "the package lacks the download helper /usr/lib/brisko/brisko-fetch"
if readelf -d "$LIB/brisko" | grep -q 'NEEDED.*libQt6Network'; then
    fail "the packaged program links the network library"
fi
[ -d "$LIB/plugins" ] || fail "the package lacks /usr/lib/brisko/plugins/"
[ -L "$ROOT/usr/bin/brisko" ] || fail "/usr/bin/brisko is not a symbolic link"
[ "$(readlink "$ROOT/usr/bin/brisko")" = ../lib/brisko/brisko ] \
    || fail "/usr/bin/brisko points at '$(readlink "$ROOT/usr/bin/brisko")', not the relative ../lib/brisko/brisko"

# Every run-time file of the build is in the package: each image of the Skins folder (both densities) and any
# page or settings file beside the executable.
count=0
while IFS= read -r -d '' f; do
    rel=${f#"$BUILD"/}
    [ -f "$LIB/$rel" ] || fail "the package lacks /usr/lib/brisko/$rel"
    count=$((count + 1))
done < <(find "$BUILD/Skins" -path "$BUILD/Skins/icon/hicolor" -prune -o -type f -print0)
log "the package holds the $count files of the Skins folder"
[ -f "$LIB/Skins/icon/office@2x.png" ] || fail "the package lacks the 2x images"
while IFS= read -r -d '' f; do
    [ -f "$LIB/$(basename "$f")" ] || fail "the package lacks /usr/lib/brisko/$(basename "$f") of the run-time folder"
done < <(find "$BUILD" -maxdepth 1 -type f \( -name '*.html' -o -name '*.htm' -o -name '*.ocx' -o -name '*.db' \) -print0)

# Nothing of the build besides: every file lies in one of the program's folders and no test, benchmark or tool
# comes along.
while IFS= read -r f; do
    case "$f" in
    usr/bin/brisko | usr/lib/brisko/* | usr/share/applications/$APP_ID.desktop | \
        usr/share/metainfo/$APP_ID.metainfo.xml | usr/share/icons/hicolor/*/apps/$APP_ID.* | \
        usr/share/man/man1/brisko.1.gz | usr/share/doc/brisko/*) ;;
    *) fail "the package holds /$f, which is not part of the program" ;;
    esac
    case "$(basename "$f")" in
    tst_* | *bench* | *gallery* | *skingen* | *mkdb* | *.a | *.o | *.cmake | CMake* | Makefile | *.log)
        fail "the package holds the build artefact /$f" ;;
    esac
done < <(cd "$ROOT" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)

# --- The desktop's checks on what it installs.
desktop-file-validate "$ROOT/usr/share/applications/$APP_ID.desktop" >"$WORK/validate.log" 2>&1 \
    || fail "desktop-file-validate: $(cat "$WORK/validate.log")"
grep -qx "Icon=$APP_ID" "$ROOT/usr/share/applications/$APP_ID.desktop" || fail "the desktop entry names another icon"
grep -qx "Exec=brisko" "$ROOT/usr/share/applications/$APP_ID.desktop" || fail "the desktop entry starts another program"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/$APP_ID.metainfo.xml" >"$WORK/validate.log" 2>&1 \
    || fail "appstreamcli validate: $(cat "$WORK/validate.log")"
appstreamcli validate-tree --no-net "$ROOT" >"$WORK/validate.log" 2>&1 \
    || fail "appstreamcli validate-tree: $(cat "$WORK/validate.log")"
grep -q "<release version=\"$VERSION\"" "$ROOT/usr/share/metainfo/$APP_ID.metainfo.xml" \
    || fail "the metainfo has no release notes for $VERSION"
grep -q '<screenshot type="default">' "$ROOT/usr/share/metainfo/$APP_ID.metainfo.xml" \
    || fail "the metainfo names no screenshot"

# --- The unpacked program starts through /usr/bin/brisko, from another folder, on the package's own files.
EXE="$ROOT/usr/bin/brisko"
start_display
start_brisko app "$HOME"
w=$(wait_window "$app" "$TITLE") || fail "the unpacked program showed no window titled Brisko桌面 within ${WAIT_SECONDS}s"
read -r width height _ _ < <(geometry "$w")
[ "$width" = 270 ] && [ "$height" = 580 ] || fail "window is ${width}x${height}, expected 270x580"
[ "$(readlink "/proc/$app/cwd")" = "$LIB" ] \
    || fail "the program works in $(readlink "/proc/$app/cwd"), not in the package's folder $LIB"
db="$HOME/Documents/Brisko/Desktop/data.db"
[ -f "$db" ] && grep -aq '常用软件' "$db" || fail "no catalogue made from the package's template at $db"
expect_running "$app" "the unpacked brisko"
log "ok"
