#!/usr/bin/env bash
# Screenshots of the desktop window under a virtual X display:
#   scripts/screenshot.sh OUTDIR
# Writes OUTDIR/1-start-overlay.png (the window at start with the "Getting Started" overlay),
# 2-list-english.png, 3-list-chinese.png, 4-progress.png (a conversion under way),
# 5-enlarged.png (the window resized to 1100 x 760 after a run on a good and a damaged file)
# 6-list-switched.png (rows added in English, then the language switched to Chinese),
# 7-thumbnails.png (first-page thumbnails in the rows, one shown large under the mouse) and
# 8-cancelled.png (a run of three files cancelled with Escape during the first).
# Uses $PLOVER as the program when set, else builds build/release with the window.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "${1:?usage: scripts/screenshot.sh OUTDIR}" && cd "$1" && pwd)"

"$root/scripts/install-deps.sh" "$root/scripts/debian-packages-gui.txt"
plover="${PLOVER:-}"
if [ -z "$plover" ]; then
  build="$root/build/release"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPLOVER_BUILD_TESTS=OFF \
        -DPLOVER_BUILD_BENCH=OFF -DPLOVER_BUILD_GUI=ON >/dev/null
  cmake --build "$build" --target plover -j"$(nproc)" >/dev/null
  plover="$build/app/plover"
fi

work="$(mktemp -d)"
xvfb=""
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number, and a server that is ready before anything connects.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"
# A window manager, so that the window has its frame and can be resized and maximised.
openbox >/dev/null 2>&1 &
wm=$!

python3 "$root/scripts/make-demo-pdfs.py" "$work/pdfs" 40
pdfs=("$work/pdfs/annual-report.pdf" "$work/pdfs/report.final.pdf")
printf '%%PDF-1.4\nthe rest is missing\n' >"$work/pdfs/damaged.pdf"
mkdir -p "$work/xdg"

# snap NAME: the screen, cut to the window (the rest of the screen is black).
snap() {
  import -window root "$work/screen.png"
  convert "$work/screen.png" -trim +repage "$out/$1"
  echo "$out/$1"
}

# run LANG ARGS...: starts the window in the background; its id is in $app.
run() {
  local lang="$1"; shift
  LANG="$lang" LC_ALL="" XDG_CONFIG_HOME="$work/xdg" XDG_RUNTIME_DIR="$work" \
    "$plover" "$@" >"$work/plover.log" 2>&1 &
  app=$!
}

# shown: waits until the window has been drawn (the empty screen is black).
shown() {
  for _ in $(seq 150); do
    import -window root "$work/screen.png"
    [ "$(convert "$work/screen.png" -format '%[fx:mean>0.05]' info:)" = 1 ] && break
    sleep 0.2
  done
  sleep 0.5
}

# window: the id of the program's main window.
window() { xdotool search --sync --onlyvisible --name "Plover" | head -1; }

stop() {
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
}

run en_US.UTF-8
shown
snap 1-start-overlay.png
stop

run en_US.UTF-8 "${pdfs[@]}"
shown
snap 2-list-english.png
stop

# The language files exist now, so the Language menu is shown too.
run zh_CN.UTF-8 "${pdfs[@]}"
shown
snap 3-list-chinese.png
stop

run en_US.UTF-8 --convert "${pdfs[@]}"
for _ in $(seq 300); do [ -e "$work/pdfs/annual-report/3.JPEG" ] && break; sleep 0.1; done
snap 4-progress.png
stop

# A short run on a good and a damaged file, then the window enlarged.
rm -rf "$work/pdfs/annual-report"
run en_US.UTF-8 --convert "$work/pdfs/annual-report.pdf" "$work/pdfs/damaged.pdf"
shown
for _ in $(seq 600); do [ -e "$work/pdfs/annual-report/40.JPEG" ] && break; sleep 0.1; done
sleep 1
id="$(window)"
xdotool windowmove "$id" 0 0 windowsize "$id" 1100 760
sleep 1
snap 5-enlarged.png
stop

# Rows added in English, then Language > 简体中文 from the menu bar.
run en_US.UTF-8 "${pdfs[@]}" "$work/pdfs/damaged.pdf"
shown
id="$(window)"
xdotool windowmove "$id" 0 0
sleep 0.5
xdotool mousemove --window "$id" 115 10 click 1
sleep 0.5
xdotool mousemove --window "$id" 135 52 click 1
sleep 0.5
xdotool mousemove --window "$id" 400 300
sleep 0.5
snap 6-list-switched.png
stop

# The rows' first pages, drawn in the background; the mouse rests on the first row's name.
# Back to English, which the last run switched away from.
sed -i 's/^Y=0/Y=1/' "$work/xdg/plover/plover.ini"
run en_US.UTF-8 "${pdfs[@]}" "$work/pdfs/damaged.pdf"
shown
id="$(window)"
xdotool windowmove "$id" 0 0
sleep 3
xdotool mousemove --window "$id" 120 146
sleep 2
snap 7-thumbnails.png
stop

# Escape during the first of three files, answered Yes: the row being converted is cancelled,
# the two never started are skipped, and the line below the list counts them apart.
rm -rf "$work/pdfs/annual-report" "$work/pdfs/report.final"
cp "$work/pdfs/report.final.pdf" "$work/pdfs/third.pdf"
run en_US.UTF-8 --convert "$work/pdfs/annual-report.pdf" "$work/pdfs/report.final.pdf" "$work/pdfs/third.pdf"
shown
for _ in $(seq 300); do [ -e "$work/pdfs/annual-report/2.JPEG" ] && break; sleep 0.1; done
id="$(window)"
xdotool windowactivate --sync "$id" key Escape
sleep 1
xdotool key alt+y
sleep 3
xdotool mousemove --window "$id" 430 120
sleep 2
snap 8-cancelled.png
stop
