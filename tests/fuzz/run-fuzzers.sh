#!/usr/bin/env bash
# run-fuzzers.sh SECONDS [target ...]
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan in their own
# tree and runs each for SECONDS (default: every target). The corpus grows
# in build/fuzz-corpus/<target>, seeded from the targets' built-in seeds and
# tests/fuzz/corpus/<target>/; crashes land in build/fuzz-crashes/.
# Not run by CI.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
shift || true
root=${PLOVE_BUILD_ROOT:-$top/build}

if ! command -v clang++ >/dev/null 2>&1; then
  sudo apt-get install -y clang || apt-get install -y clang
fi

sanitize="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
replay=$root/fuzz-replay
fuzz=$root/fuzz
# The plain replay programs write the built-in seeds.
cmake -S "$top" -B "$replay" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake -S "$top" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPLOVE_FUZZ_LIBFUZZER=ON \
  "-DCMAKE_C_FLAGS=$sanitize -fsanitize=fuzzer-no-link" \
  "-DCMAKE_CXX_FLAGS=$sanitize -fsanitize=fuzzer-no-link" \
  "-DCMAKE_EXE_LINKER_FLAGS=$sanitize" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(grep -ho 'plove_fuzz_target([a-z0-9_]*' "$top"/tests/fuzz/CMakeLists.txt \
                         | grep -v '(name' | sed 's/plove_fuzz_target(//')
fi

cmake --build "$replay" --target "${targets[@]}"
cmake --build "$fuzz" --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
  corpus=$root/fuzz-corpus/$target
  crashes=$root/fuzz-crashes/$target
  mkdir -p "$corpus" "$crashes"
  "$replay/tests/fuzz/$target" --write-seeds "$corpus"
  extra=()
  [ -d "$top/tests/fuzz/corpus/$target" ] && extra=("$top/tests/fuzz/corpus/$target")
  echo "== $target for ${seconds}s"
  if ! "$fuzz/tests/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
         -artifact_prefix="$crashes/" "$corpus" "${extra[@]}"; then
    status=1
  fi
done
exit $status
