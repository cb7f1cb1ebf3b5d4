#!/usr/bin/env bash
# reproducible.sh WINE_DIR PLOVEPACK_EXE STUB HOST_PLOVEPACK DATA WORK
# The Windows build of plovepack, run under Wine, and the Linux build make
# the same installer from the same inputs, byte for byte, whatever the
# thread count of either. Exit 77 (skipped) when the sibling host tree has
# not built its plovepack.
set -uo pipefail
wine_dir=$1 tool=$2 stub=$3 host_tool=$4 data=$5 work=$6
[ -x "$host_tool" ] || { echo "no host plovepack at $host_tool: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
run_test=$here/../../../scripts/wine/run-test.sh
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
cp -r "$data/setup.dat" "$data/setup.lic" "$data/files" . && cp "$stub" stub.exe || exit 1
fail() { echo "FAIL: $*"; exit 1; }
# The file's name is in its version resource: every build writes setup.exe.
mkdir linux-1 linux-2 windows-1 windows-2 || exit 1

"$host_tool" build setup.dat --files files --stub stub.exe -o linux-1/setup.exe --threads 1 --quiet || fail "Linux build"
"$host_tool" build setup.dat --files files --stub stub.exe -o linux-2/setup.exe --threads 2 --quiet || fail "Linux build"
# Wine starts the program in the working folder (Z:\...), so relative paths reach the files.
"$run_test" "$wine_dir" 120 "$tool" build setup.dat --files files --stub stub.exe -o windows-1/setup.exe --threads 1 --quiet ||
  fail "Windows build"
TZ=Asia/Kolkata "$run_test" "$wine_dir" 120 "$tool" build setup.dat --files files --stub stub.exe -o windows-2/setup.exe --quiet ||
  fail "Windows build"
for made in linux-2 windows-1 windows-2; do
  cmp linux-1/setup.exe "$made/setup.exe" || fail "$made/setup.exe differs from linux-1/setup.exe"
done
echo "four builds, Linux and Windows, one installer of $(stat -c %s linux-1/setup.exe) bytes"
