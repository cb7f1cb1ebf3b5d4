#!/usr/bin/env bash
# run-pack-bench.sh: the packer benchmark (not run by CI).
# Builds the host-release tree, makes a ~200 MB corpus under the build root
# (text, binaries, already-compressed data; a thousand small files and a few
# large ones) and compares, in one run:
#   - pack time with 2 threads against xz --format=lzma -6 -T1 over the same files
#   - archive size against the sum of xz's outputs
#   - extraction time of every member against xz -d
#   - peak memory extracting one 1 GiB member (must stay < dictionary + 64 MiB)
#   - pack time of one 150 MiB member of random bytes (stored, never compressed)
# BENCH_MB=n scales the corpus (default 200).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${PLOVE_BUILD_ROOT:-$top/build}
# The host-release tree of scripts/build.sh; only the packer is needed.
if [ ! -f "$root/host-release/build.ninja" ]; then
  cmake -S "$top" -B "$root/host-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLOVE_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$root/host-release" --target plovepack >/dev/null
pack=$root/host-release/src/packer/plovepack
bench=$root/bench
corpus=$bench/corpus-${BENCH_MB:-200}
mkdir -p "$bench"
python3 "$top/bench/make-corpus.py" "$corpus" "${BENCH_MB:-200}"

# timed OUTPUT_VAR COMMAND...: runs the command after flushing dirty pages,
# and stores "wall cpu" (seconds; cpu = user + system) in OUTPUT_VAR.
timed() {
  local var=$1; shift
  sync
  /usr/bin/time -o "$bench/time.txt" -f '%e %U %S' "$@" >/dev/null
  printf -v "$var" '%s' "$(awk 'END { printf "%.2f %.2f", $1, $2 + $3 }' "$bench/time.txt")"
}
work=$bench/run
rm -rf "$work" && mkdir -p "$work"

# plovepack: pack with 2 threads, then extract everything.
timed pack_time "$pack" build "$corpus/setup.dat" --files "$corpus/files" --stub "$corpus/stub.exe" \
  -o "$work/setup.exe" --threads 2 --quiet
archive_size=$("$pack" list "$work/setup.exe" | awk 'END { print $10 }')
"$pack" verify "$work/setup.exe" >/dev/null
timed extract_time "$pack" extract "$work/setup.exe" -o "$work/extracted"
cmp -s "$corpus/files/large/manual.txt" "$work/extracted/large/manual.txt"
rm -rf "$work/extracted"

# xz over the same files: a copy of the corpus, compressed in place with
# few processes (xargs), then decompressed in place.
cp -r "$corpus/files" "$work/xz"
cd "$work/xz"
timed xz_time xargs -a "$corpus/files.txt" -d '\n' xz --format=lzma -6 -T1 -f
xz_size=$(sed 's/$/.lzma/' "$corpus/files.txt" | xargs -d '\n' stat -c %s | awk '{ s += $1 } END { print s }')
sed 's/$/.lzma/' "$corpus/files.txt" > "$work/lzma-files.txt"
timed xz_extract_time xargs -a "$work/lzma-files.txt" -d '\n' xz --format=lzma -d -f
cd "$bench"

# One member of 1 GiB: a 1 MiB random block repeated, packed at level 1 so
# that packing stays quick; what is measured is the memory of extraction.
big=$bench/big
if [ ! -f "$big/files/huge.bin" ]; then
  mkdir -p "$big/files"
  head -c $((1 << 20)) /dev/urandom > "$big/block"
  for i in $(seq 1024); do cat "$big/block"; done > "$big/files/huge.bin"
  printf '[Project Name]\r\nBig\r\n[Install To]\r\n<Program Files>Big\\\r\n[CopyFile]\r\nhuge.bin\r\n<Destination>huge.bin\r\n' > "$big/setup.dat"
fi
"$pack" build "$big/setup.dat" --files "$big/files" --stub "$corpus/stub.exe" -o "$work/big.exe" --level 1 --quiet
peak_kb=$(/usr/bin/time -f %M "$pack" extract "$work/big.exe" huge.bin -o "$work/big-out" 2>&1 >/dev/null | tail -n 1)
cmp -s "$big/files/huge.bin" "$work/big-out/huge.bin"
rm -rf "$work/big-out"

# One member of 150 MiB of random bytes, at the default level: the packer
# should see from its first megabyte that it will be stored.
random=$bench/random
if [ ! -f "$random/files/random.bin" ]; then
  mkdir -p "$random/files"
  head -c $((150 << 20)) /dev/urandom > "$random/files/random.bin"
  printf '[Project Name]\r\nRandom\r\n[Install To]\r\n<Program Files>Random\\\r\n[CopyFile]\r\nrandom.bin\r\n<Destination>random.bin\r\n' \
    > "$random/setup.dat"
fi
timed random_time "$pack" build "$random/setup.dat" --files "$random/files" --stub "$corpus/stub.exe" \
  -o "$work/random.exe" --quiet
"$pack" list "$work/random.exe" | grep -q ' stored .*random\.bin$'

corpus_mb=$(du -sm "$corpus/files" | cut -f1)
wall() { echo "${1% *}"; }
cpu() { echo "${1#* }"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", b / a }'; }
row() { printf '%-38s %14s %14s %10s  %s\n' "$@"; }
printf '\nPacker benchmark: %s MB in %s files, %s processors, load average %s\n\n' "$corpus_mb" \
  "$(wc -l < "$corpus/files.txt")" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
row "measure" "plovepack" "xz" "result" "target"
row "pack, wall s (2 threads / xz -T1)" "$(wall "$pack_time")" "$(wall "$xz_time")" \
  "$(ratio "$(wall "$pack_time")" "$(wall "$xz_time")")" ">= 1.80x faster"
row "pack, CPU s (user + system)" "$(cpu "$pack_time")" "$(cpu "$xz_time")" \
  "$(ratio "$(cpu "$pack_time")" "$(cpu "$xz_time")")" "(work done)"
row "archive size, bytes" "$archive_size" "$xz_size" \
  "$(awk -v a="$archive_size" -v b="$xz_size" 'BEGIN { printf "%+.2f%%", (a - b) * 100 / b }')" "within 1%"
row "extract all members, wall s" "$(wall "$extract_time")" "$(wall "$xz_extract_time")" \
  "$(ratio "$(wall "$extract_time")" "$(wall "$xz_extract_time")")" ">= 0.90x xz's speed"
row "extract all members, CPU s" "$(cpu "$extract_time")" "$(cpu "$xz_extract_time")" \
  "$(ratio "$(cpu "$extract_time")" "$(cpu "$xz_extract_time")")" "(work done)"
row "peak RSS extracting a 1 GiB member" "$((peak_kb / 1024)) MiB" "-" \
  "+$(( peak_kb / 1024 - 8 )) MiB" "< 64 MiB above the 8 MiB dictionary"
row "pack a 150 MiB random member, wall s" "$(wall "$random_time")" "-" "cpu $(cpu "$random_time") s" \
  "stored: < 0.1x the full pass"
rm -rf "$work"
