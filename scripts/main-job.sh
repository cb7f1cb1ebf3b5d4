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
