#!/usr/bin/env bash
# On a screen of twice the density (QT_SCALE_FACTOR=2) the window is twice as many device pixels, and its skin
# images are drawn from their "@2x" files one to one: the logo and the close button on the screen are the 2x
# files laid over the 2x skin, not the 1x files scaled up. At scale 1 the same places show the 1x files. The
# window icon comes in the size for the scale too.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
for tool in import convert compare; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool (ImageMagick) is not installed (scripts/deps installs it)"
done
SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SKINS="$BRISKO_RUNTIME_DIR/Skins"
RES="$SOURCE_DIR/res/image"
# Tall enough for the whole window at scale 2 (540 x 1160 device pixels).
start_display 1600x1400x24

# shot <scale> <file>: starts a copy at that scale, saves its window and stops it again.
shot()
{
    local scale=$1 file=$2 app w width height
    QT_SCALE_FACTOR=$scale start_brisko app
    w=$(wait_window "$app" "$TITLE") || fail "no window titled Brisko桌面 at scale $scale"
    read -r width height _ _ < <(geometry "$w")
    [ "$width" = $((270 * scale)) ] && [ "$height" = $((580 * scale)) ] \
        || fail "at scale $scale the window is ${width}x${height} device pixels, expected $((270 * scale))x$((580 * scale))"
    sleep 1 # let it paint
    import -window "$w" "$file" || fail "could not capture the window at scale $scale"
    # The window icon (task bars, window switchers) comes in the size for the scale: the 64 px mark, or the
    # 128 px one drawn for scale 2.
    if command -v xprop >/dev/null 2>&1; then
        local icon=$((64 * scale))
        xprop -id "$w" _NET_WM_ICON | grep -q "Icon ($icon x $icon)" \
            || fail "at scale $scale the window has no ${icon}x${icon} icon: $(xprop -id "$w" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)')"
    fi
    kill "$app"
    wait_exit "$app" || fail "the copy at scale $scale did not end"
}

shot 1 "$WORK/scale1.png"
shot 2 "$WORK/scale2.png"

# expected <scale> <image> <x> <y> <w> <h> <file>: the start skin (number 1) with the image laid over it at the
# logical place (x, y), cut to that place, all in the device pixels of the scale.
expected()
{
    local scale=$1 image=$2 x=$(($3 * $1)) y=$(($4 * $1)) w=$(($5 * $1)) h=$(($6 * $1)) file=$7
    convert "$(density "$SKINS/main_bg/1/main_bg_bottom.png" "$scale")" \
        "$(density "$SKINS/main_bg/1/main_bg_top.png" "$scale")" -composite \
        "$image" -geometry "+$x+$y" -composite -crop "${w}x${h}+$x+$y" +repage -alpha off "$file"
}

# density <file.png> <scale>: the file drawn for that scale.
density()
{
    if [ "$2" = 1 ]; then echo "$1"; else echo "${1%.png}@${2}x.png"; fi
}

# differing <a> <b>: the number of pixels that differ by more than rounding.
differing()
{
    compare -metric AE -fuzz 3% "$1" "$2" null: 2>&1 | awk '{print int($1)}'
}

# check <name> <1x image> <x> <y> <w> <h>
check()
{
    local name=$1 image=$2 x=$3 y=$4 w=$5 h=$6 scale area shown want upscaled bad worse
    for scale in 1 2; do
        area=$((w * h * scale * scale))
        shown="$WORK/$name-$scale-shown.png"
        want="$WORK/$name-$scale-want.png"
        convert "$WORK/scale$scale.png" -crop "$((w * scale))x$((h * scale))+$((x * scale))+$((y * scale))" +repage \
            -alpha off "$shown"
        expected "$scale" "$(density "$image" "$scale")" "$x" "$y" "$w" "$h" "$want"
        bad=$(differing "$shown" "$want")
        log "$name at scale $scale: $bad of $area pixels differ from the $(basename "$(density "$image" "$scale")") file"
        [ "$bad" -le $((area / 100)) ] || fail "$name at scale $scale is not its image drawn one to one ($bad of $area pixels differ)"
    done
    # The comparison tells the two apart: the 1x image scaled up differs clearly from what scale 2 shows.
    upscaled="$WORK/$name-upscaled.png"
    convert "$image" -filter Triangle -resize 200% "$upscaled"
    expected 2 "$upscaled" "$x" "$y" "$w" "$h" "$WORK/$name-upscaled-want.png"
    worse=$(differing "$WORK/$name-2-shown.png" "$WORK/$name-upscaled-want.png")
    log "$name at scale 2: $worse pixels differ from the 1x file scaled up"
    [ "$worse" -gt $((w * h * 4 / 20)) ] || fail "$name at scale 2 looks like its 1x image scaled up ($worse pixels differ)"
}

check logo "$SKINS/icon/office.png" 14 36 50 50
check close "$RES/SysBtn/btn_close_normal.png" 242 3 24 24
log "ok"
