#!/usr/bin/env bash
# Screenshots of the desktop window under a virtual X display:
#   scripts/screenshot.sh OUTDIR
# Writes OUTDIR/1-start-overlay.png (the window at start with the "Getting Started" overlay),
# 2-list-english.png, 3-list-chinese.png and 4-progress.png (a conversion under way).
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
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number, and a server that is ready before anything connects.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

python3 "$root/scripts/make-demo-pdfs.py" "$work/pdfs" 40
pdfs=("$work/pdfs/annual-report.pdf" "$work/pdfs/report.final.pdf")
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
