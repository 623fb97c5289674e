#!/usr/bin/env bash
# Installs a build into a scratch DESTDIR and checks what a package would hold: the programs run
# from there with the build and source folders hidden, and the desktop entry and AppStream
# metadata pass their validators.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source="$(cd "$2" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null
usr="$scratch/root/usr"
expected=(bin/plover-cli share/man/man1/plover-cli.1.gz
          share/bash-completion/completions/plover-cli share/doc/plover/README.md
          share/doc/plover/copyright share/doc/plover/sample.pdf share/doc/plover/changelog.gz)
gui=no
if [ -x "$build/app/plover" ]; then
  gui=yes
  expected+=(bin/plover share/man/man1/plover.1.gz
             share/applications/org.plover.Plover.desktop
             share/metainfo/org.plover.Plover.metainfo.xml
             share/icons/hicolor/scalable/apps/plover.svg)
  for size in 16 24 32 48 64 128 256 512; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/plover.png")
  done
fi
for file in "${expected[@]}"; do
  [ -f "$usr/$file" ] || fail "not installed: $file"
done
for program in "$usr"/bin/*; do
  if readelf -d "$program" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
    fail "$program keeps a library path into the build folder"
  fi
done

if [ "$gui" = yes ]; then
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$usr/share/applications/org.plover.Plover.desktop" ||
      fail "desktop entry"
  else
    echo "desktop-file-validate not installed: desktop entry not validated"
  fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$usr/share/metainfo/org.plover.Plover.metainfo.xml" >/dev/null ||
      fail "AppStream metadata"
  else
    echo "appstreamcli not installed: metadata not validated"
  fi
fi

# The installed programs, run where the build and source folders cannot be seen: under a private
# mount namespace that covers both with empty folders, where this system lets us make one.
mkdir -p "$scratch/in" "$scratch/out"
cp "$usr/share/doc/plover/sample.pdf" "$scratch/in/sample.pdf"
run_installed() {
  "$usr/bin/plover-cli" --format png --output "$scratch/out" "$scratch/in/sample.pdf"
  if [ "$gui" = yes ]; then
    QT_QPA_PLATFORM=offscreen "$usr/bin/plover" --version
  fi
}
if unshare --mount true 2>/dev/null; then
  export -f run_installed
  export usr scratch gui
  unshare --mount bash -c "mount -t tmpfs none '$build' && mount -t tmpfs none '$source' &&
                           run_installed"
else
  echo "no mount namespace here: the installed programs run with the build folder in place"
  run_installed
fi
[ -s "$scratch/out/sample/1.PNG" ] || fail "the installed plover-cli wrote no page"
echo "installed tree OK"
