#!/usr/bin/env bash
# gallery.sh OUTDIR [SCENE...]
# Builds the gallery (win64 tree) and runs each of its scenes (every scene
# when none is named) under Wine at 96, 120, 144 and 192 DPI, saving one
# screenshot per scene and scale as OUTDIR/SCENE-DPI.png. Each scene opens
# one real window of the system (tools/gallery/scenes.h lists them and says
# how to add one). Uses a private prefix under the build root and an Xvfb
# display of its own (unless DISPLAY is set); stops both afterwards.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: gallery.sh OUTDIR [SCENE...]}
shift
mkdir -p "$out"
out=$(cd "$out" && pwd)
root=${PLOVE_BUILD_ROOT:-$top/build}
mkdir -p "$root" && root=$(cd "$root" && pwd)
if [ ! -f "$root/win64/build.ninja" ]; then
  cmake -S "$top" -B "$root/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$root/win64" --target gallery >/dev/null
exe=$root/win64/tools/gallery/gallery.exe
work=$root/gallery
mkdir -p "$work"
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  # Xvfb picks a free display itself: a test run beside never shares it.
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    grep -qE '^[0-9]+$' "$number" && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -qE '^[0-9]+$' "$number" && kill -0 "$xvfb_pid" 2>/dev/null && export DISPLAY=":$(cat "$number")"
  rm -f "$number"
  [ -n "${DISPLAY:-}" ] || { echo "gallery.sh: could not start Xvfb" >&2; exit 1; }
fi

if [ ! -f "$WINEPREFIX/.ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.ready"
fi
# What 64-bit Windows has in the 32-bit registry view and a wine64-only
# prefix lacks (the folder macros of the installer read it).
wow='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion'
wine reg add "$wow" /v ProgramFilesDir /t REG_SZ /d 'C:\Program Files (x86)' /f >/dev/null 2>&1
wine reg add "$wow" /v CommonFilesDir /t REG_SZ /d 'C:\Program Files (x86)\Common Files' /f >/dev/null 2>&1
wine reg add "$wow" /v ProgramW6432Dir /t REG_SZ /d 'C:\Program Files' /f >/dev/null 2>&1
# No window manager runs here: unmanaged windows are shown as they are.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

scenes=("$@")
if [ ${#scenes[@]} -eq 0 ]; then
  list=$work/scenes.txt
  rm -f "$list"
  wine "$exe" --list "$(winepath -w "$list")" >/dev/null 2>&1 || true
  [ -s "$list" ] || { echo "gallery.sh: the gallery gave no scene list" >&2; exit 1; }
  mapfile -t scenes < "$list"
fi

for dpi in 96 120 144 192; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  # The display scale is read when the wineserver session starts.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  for scene in "${scenes[@]}"; do
    ready=$work/ready-$scene-$dpi
    done_file=$work/done-$scene-$dpi
    rm -f "$ready" "$done_file"
    wine "$exe" "$scene" "$(winepath -w "$ready")" "$(winepath -w "$done_file")" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 300); do [ -s "$ready" ] && break; sleep 0.1; done
    if [ ! -s "$ready" ]; then
      echo "gallery.sh: scene $scene did not come up at $dpi DPI" >&2
      kill "$pid" 2>/dev/null || true
      exit 1
    fi
    # Room around the window for its drop shadow and a tool tip above it.
    read -r w h x y < <(tr "x+" "  " < "$ready"; echo) || true
    margin=40
    x0=$(( x > margin ? x - margin : 0 )); y0=$(( y > margin ? y - margin : 0 ))
    "$top/scripts/screenshot.sh" "$out/$scene-$dpi.png" "$((w + 2 * margin))x$((h + 2 * margin))+$x0+$y0"
    touch "$done_file"
    wait "$pid" || true
    echo "gallery.sh: $out/$scene-$dpi.png"
  done
done
