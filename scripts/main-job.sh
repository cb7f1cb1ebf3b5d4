#!/usr/bin/env bash
# main-job.sh: prepares the machine, builds the host, win64 and win32 trees,
# then packs the example product (examples/hello) into one installer per
# target with the host packer, verifies and lists each, and says where they
# are. Safe to run again: every step redoes only what is out of date.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${PLOVE_BUILD_ROOT:-$top/build}

"$top/scripts/setup.sh"
"$top/scripts/build.sh" host win64 win32

pack=$root/host/src/packer/plovepack
out=$root/examples
mkdir -p "$out"
made=()
for target in x64:win64 x86:win32; do
  arch=${target%%:*}
  tree=${target##*:}
  setup=$out/plove-hello-setup-$arch.exe
  "$pack" build "$top/examples/hello/setup.dat" \
    --files "$top/examples/hello/files" \
    --add "hello-app.exe=$root/$tree/examples/hello/hello-app.exe" \
    --stub "$root/$tree/src/app/setup-stub-$arch.exe" \
    -o "$setup" --quiet
  "$pack" verify "$setup"
  "$pack" list "$setup"
  made+=("$setup")
done

echo
echo "main-job: the example installers are ready:"
for setup in "${made[@]}"; do echo "  $setup"; done

# Install the example silently into a fresh Wine prefix, as an
# administrator's script would, and show what it left behind: the x86
# installer, the one publishers ship, where this machine and its Wine run
# 32-bit programs, else the x64 one.
wine_dir=$root/main-job-wine
"$top/scripts/wine/environment.sh" start "$wine_dir" >/dev/null
stop_wine() { "$top/scripts/wine/environment.sh" stop "$wine_dir" >/dev/null 2>&1 || true; }
trap stop_wine EXIT
prefix=$wine_dir/run-example
rm -rf "$prefix"
cp -a "$wine_dir/template/." "$prefix/"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
[ -n "${DISPLAY:-}" ] || export DISPLAY=$(cat "$wine_dir/display")
arch=x64
if bash "$top/scripts/wine/runs-32bit.sh" && [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  arch=x86
fi
status=0
wine "$out/plove-hello-setup-$arch.exe" --silent || status=$?
wineserver -w
echo
echo "main-job: 'plove-hello-setup-$arch.exe --silent' ended with exit code $status"
echo "main-job: installed files:"
(cd "$prefix/drive_c" && find "Program Files (x86)/Plove Hello" "Program Files (x86)/PloveUninstall" \
   "ProgramData/Microsoft/Windows/Start Menu/Programs/Plove Hello" -type f 2>/dev/null | sed 's/^/  C:\\/; s/\//\\/g')
echo "main-job: Apps & Features entry:"
wine reg query 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Plove Hello' 2>/dev/null |
  tr -d '\r' | sed -n 's/^ \{4\}/  /p'
[ "$status" = 0 ] || exit 1
