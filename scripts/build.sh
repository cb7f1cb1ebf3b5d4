#!/usr/bin/env bash
# build.sh [host] [win64] [win32] [host-release]   (default: host win64 win32)
# Configures (once) and builds each tree under build/ (or $PLOVE_BUILD_ROOT).
#   host          host g++, sanitizers on, tests
#   host-release  host g++, optimised, no tests (packer for benchmarks)
#   win64         x86_64-w64-mingw32, its Windows test suites
#   win32         i686-w64-mingw32, the shipped installer, its Windows test
#                 suites (run under Wine's WoW64)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(host win64 win32)
jobs=$(nproc)

configure() {
  local dir=$1; shift
  # Configured every time, with the options of the tree (a tree configured
  # before an option changed gets the new value): suite folders are picked
  # up when they appear.
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$top" -B "$dir" -G Ninja "$@" >/dev/null
  else
    cmake "$dir" "$@" >/dev/null
  fi
}

for tree in "${trees[@]}"; do
  dir="${PLOVE_BUILD_ROOT:-$top/build}/$tree"
  start=$(date +%s)
  case $tree in
    host) configure "$dir" -DCMAKE_BUILD_TYPE=Debug -DPLOVE_SANITIZE=ON ;;
    host-release) configure "$dir" -DCMAKE_BUILD_TYPE=Release -DPLOVE_BUILD_TESTS=OFF ;;
    win64) configure "$dir" -DCMAKE_BUILD_TYPE=Release \
             -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" ;;
    win32) configure "$dir" -DCMAKE_BUILD_TYPE=Release -DPLOVE_BUILD_TESTS=ON \
             -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-w64-mingw32.cmake" ;;
    *) echo "build.sh: unknown tree '$tree'" >&2; exit 2 ;;
  esac
  cmake --build "$dir" -j "$jobs"
  echo "build.sh: $tree built in $(( $(date +%s) - start ))s"
done
