#!/usr/bin/env bash
# Takes pictures of every tab of the window, at 800 x 600 and at 1280 x 800, after a run on a
# generated log: doc/screenshots/<tab>-<size>.png, and the 800 x 600 ones for the manual in
# doc/manual/images/. The Trends tab is taken last, after a run of the third of three weekly
# logs of one post office (the first two recorded by batch runs into the same history).
# Needs a build (build/src), Xvfb, xdotool and ImageMagick's import.
#   tools/take_screenshots.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build}/src
work=$(mktemp -d)
trap 'kill $prog $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=:93
Xvfb $DISPLAY -screen 0 1600x1200x24 >/dev/null 2>&1 & xvfb=$!
sleep 1
export KESTRAMA32_SETTINGS=$work/Kestrama32.ini QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
export XDG_DATA_HOME=$work/data
weeks=$root/tests/trends/logs
for week in 1 2; do
    "$bin/kestrama32" "/IN:$weeks/harbour-$week.log" "/OUT:$work/harbour-$week" "/OPTIONS:5130;." \
        /HISTORY: >/dev/null
done
"$bin/kestrama32-dummylog" "$work/po1.log" 40 4 --problems >/dev/null
"$bin/kestrama32" >/dev/null 2>&1 & prog=$!
sleep 4
xdotool key Return  # the first-run message
sleep 2
wid=$(xdotool search --name "Velloran Software" | head -1)
xdotool windowmove "$wid" 0 0
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
type_into() { click "$1" "$2"; xdotool key ctrl+a; xdotool type --delay 2 "$3"; }
type_into 400 28 "$work/po1.log"
type_into 400 63 "$work/po1-report"
click 88 98   # Go
sleep 4

# Tab captions' centres (x) on the strip at y 145.
declare -A tab=([log]=47 [html]=118 [csv]=212 [settings]=291 [advanced]=365 [help]=430)
declare -A manual=([log]=window-log [html]=tab-html [csv]=tab-csv [settings]=tab-settings
                   [advanced]=tab-advanced [help]=tab-help)
for size in 800x600 1280x800; do
    xdotool windowsize "$wid" "${size%x*}" "${size#*x}"
    sleep 1
    for name in log html csv settings advanced help; do
        click "${tab[$name]}" 145
        sleep 2
        import -window root -crop "${size}+0+0" "$root/doc/screenshots/$name-$size.png"
        if [ "$size" = 800x600 ]; then
            cp "$root/doc/screenshots/$name-$size.png" "$root/doc/manual/images/${manual[$name]}.png"
        fi
    done
done
type_into 400 28 "$weeks/harbour-3.log"
type_into 400 63 "$work/harbour-3"
for size in 800x600 1280x800; do
    xdotool windowsize "$wid" "${size%x*}" "${size#*x}"
    sleep 1
    [ "$size" = 800x600 ] && { click 88 98; sleep 4; }  # Go
    click 488 145
    sleep 2
    import -window root -crop "${size}+0+0" "$root/doc/screenshots/trends-$size.png"
    [ "$size" = 800x600 ] && cp "$root/doc/screenshots/trends-$size.png" "$root/doc/manual/images/tab-trends.png"
done
echo "Pictures in doc/screenshots/ and doc/manual/images/"
