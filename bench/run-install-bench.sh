#!/usr/bin/env bash
# run-install-bench.sh: the install benchmark against NSIS (not run by CI).
#
# In one run, for each of two corpora - "mixed" (make-corpus.py, the mix of
# run-pack-bench.sh: text, slices of Linux binaries, some compressed data)
# and "media" (make-media-corpus.py: files of the machine's own packages
# with a realistic share of compressed data - Java archives, zip and gzip
# files, PNG and JPEG pictures - beside signed Windows programs and text):
#   - builds it into one installer with plovepack (x64 stub) and one with
#     makensis (NSIS from Debian, non-solid LZMA, amd64-unicode stub when the
#     package has it, with an uninstaller and an Uninstall entry, as ours
#     leaves), and the 32-bit ones: plovepack with the x86 stub (the one it
#     ships), makensis with its x86-unicode stub, and Inno Setup (npm
#     "innosetup", its ISCC.exe run under Wine; the defaults of its script
#     wizard: solid LZMA, its uninstaller and Uninstall entry), timing every
#     build;
#   - under one Wine display, for each try a fresh prefix copied from a
#     template prefix, with its wineserver started persistently and warmed
#     up before the clock starts: BENCH_RUNS (default 3) silent installs of
#     each installer, minimum and median of the time the first process takes
#     (what a user or a script waits for), the size of the uninstaller each
#     leaves, and one more install of each with the peak memory of every
#     installing process (ours: the first process and its elevated copy,
#     which does the work);
#   - in the same turns, Windows' own copy of the installed tree (xcopy /E
#     of the corpus, placed in the prefix as another installer left it,
#     into a new folder under Program Files): the floor of an install, each
#     install reported against it;
#   - checks that every installed tree equals the corpus (SHA-256 of every file);
# and once:
#   - times the open of installers of 10 MB, 200 MB and 1 GiB: from process
#     start to the first window, and to the start of the silent install (the
#     first file placed);
#   - times writing out a 100 MB stored member against CopyFileW of the same
#     bytes, under Wine (stored_decode_bench.cpp);
#   - measures the integrity sums natively (checksum_bench.cpp).
# and prints one table. BENCH_KINDS picks the installers (default "plove
# nsis plove32 nsis32 inno xcopy"). BENCH_MB=n scales both corpora (default 200);
# BENCH_CORPORA picks them (default "mixed media"); BENCH_OPEN=0 leaves out
# the open times (their 1 GiB installer takes a while to pack once; it is
# kept under build/bench for later runs).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${PLOVE_BUILD_ROOT:-$top/build}
runs=${BENCH_RUNS:-3}
mb=${BENCH_MB:-200}
read -r -a corpora <<< "${BENCH_CORPORA:-mixed media}"
bench=$root/bench
work=$bench/install
mkdir -p "$work"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# --- Setup: NSIS and xwininfo come from Debian, for the benchmark only.
need=()
command -v makensis >/dev/null || need+=(nsis)
command -v xwininfo >/dev/null || need+=(x11-utils)
if [ ${#need[@]} -gt 0 ]; then
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}" ||
    { as_root apt-get update -q && as_root env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "${need[@]}"; }
fi

# --- Build: the packer (host-release) and the x64 installer stub (win64).
echo "install-bench: building" >&2
if [ ! -f "$root/host-release/build.ninja" ]; then
  cmake -S "$top" -B "$root/host-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLOVE_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$root/host-release" --target plovepack checksum_bench >/dev/null
if [ ! -f "$root/win64/build.ninja" ]; then
  cmake -S "$top" -B "$root/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$root/win64" --target setup_stub stored_decode_bench >/dev/null
if [ ! -f "$root/win32/build.ninja" ]; then
  cmake -S "$top" -B "$root/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$root/win32" --target setup_stub >/dev/null
pack=$root/host-release/src/packer/plovepack
stub=$root/win64/src/app/setup-stub-x64.exe
stub32=$root/win32/src/app/setup-stub-x86.exe
# Inno Setup from npm, for the benchmark only (nothing is compiled, no
# install scripts run).
inno_dir=$bench/innosetup
iscc=$inno_dir/node_modules/innosetup/bin/ISCC.exe
if [ ! -f "$iscc" ]; then
  mkdir -p "$inno_dir"
  (cd "$inno_dir" && npm install --no-save --ignore-scripts --no-audit --no-fund --loglevel=error innosetup@6)
fi
# A Linux path as Wine's drive Z: shows it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# --- The corpora. Both name some files ".dll": the mixed one its slices of
# Linux binaries, which are no Windows DLLs; the media one Windows DLLs that
# register nothing. Plove Install hands every placed .dll to LoadLibrary and
# then to regsvr32 at the end of the install, as it must; NSIS's File does
# nothing of the kind. Installed as ".so", both installers do the same
# work. BENCH_DLLS=1 keeps the names.
prepare_corpus() {
  local name=$1 made=$bench/corpus-$1-$mb corpus=$work/$1/corpus
  case $name in
    mixed) python3 "$top/bench/make-corpus.py" "$made" "$mb" ;;
    media) python3 "$top/bench/make-media-corpus.py" "$made" "$mb" ;;
    *) echo "install-bench: unknown corpus '$name'" >&2; exit 2 ;;
  esac
  rm -rf "$corpus" && mkdir -p "$corpus"
  cp -al "$made/files" "$corpus/files"
  if [ "${BENCH_DLLS:-0}" = 1 ]; then
    cp "$made/setup.dat" "$corpus/setup.dat"
  else
    find "$corpus/files" -name '*.dll' -exec sh -c 'mv "$1" "${1%.dll}.so"' _ {} \;
    sed 's/\.dll\r$/.so\r/' "$made/setup.dat" > "$corpus/setup.dat"
  fi
}

# --- The probe: runs one command and watches it (wall time, first file,
# first window, peak memory of the processes whose command line names the
# installer).
probe=$bench/install-probe.py
cat > "$probe" <<'EOF'
import os, subprocess, sys, time

def status(pid):
    fields = {}
    try:
        with open("/proc/%s/status" % pid) as f:
            for line in f:
                key, _, value = line.partition(":")
                fields[key] = value.split()
    except OSError:
        pass
    return fields

def processes(name):
    found = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmd = f.read().replace(b"\0", b" ").decode("latin-1")
        except OSError:
            continue
        if name.lower() in cmd.lower() and "install-probe" not in cmd:
            found[pid] = cmd
    return found

def windows():
    out = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True).stdout
    return {line.split()[0] for line in out.splitlines() if line.strip().startswith("0x")}

def viewable(window):
    out = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    return "IsViewable" in out

mode, arg, command = sys.argv[1], sys.argv[2], sys.argv[3:]
before = windows() if mode == "window" else set()
start = time.monotonic()
child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
seen, peak, anon = {}, {}, {}
result = None
while child.poll() is None:
    if mode == "file" and any(os.path.exists(path) for path in arg.split("|")):
        result = time.monotonic() - start
        break
    if mode == "window":
        new = [w for w in windows() - before if viewable(w)]
        if new:
            result = time.monotonic() - start
            break
    if mode == "memory":
        for pid, cmd in processes(arg).items():
            fields = status(pid)
            if "VmHWM" in fields:
                seen[pid] = cmd
                peak[pid] = max(peak.get(pid, 0), int(fields["VmHWM"][0]))
                anon[pid] = max(anon.get(pid, 0), int(fields.get("RssAnon", ["0"])[0]))
        time.sleep(0.02)
    else:
        # Files are cheap to look for; each look at the windows starts a program.
        time.sleep(0.002 if mode == "file" else 0.02)
if mode in ("file", "window"):
    print("%.3f" % result if result is not None else "none")
    sys.exit(0)
code = child.wait()
wall = time.monotonic() - start
if mode == "memory":
    for pid in sorted(seen, key=int):
        role = "elevated" if "--selfrun" in seen[pid] else "first"
        print("%s %d %d" % (role, peak[pid], anon[pid]))
else:
    print("%.3f %d" % (wall, code))
EOF

# timed VAR COMMAND...: "wall cpu" in seconds, after flushing dirty pages.
timed() {
  local var=$1; shift
  sync
  /usr/bin/time -o "$work/time.txt" -f '%e %U %S' "$@" >/dev/null
  printf -v "$var" '%s' "$(awk 'END { printf "%.2f %.2f", $1, $2 + $3 }' "$work/time.txt")"
}
# --- Wine: one display, a template prefix, a fresh copy per try.
wine_dir=$root/bench-wine
"$top/scripts/wine/environment.sh" start "$wine_dir" >/dev/null
stop_wine() { "$top/scripts/wine/environment.sh" stop "$wine_dir" >/dev/null 2>&1 || true; }
trap stop_wine EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -n "${DISPLAY:-}" ] || export DISPLAY=$(cat "$wine_dir/display")

# fresh_prefix NAME: a copy of the template with its wineserver running for
# good and the usual background programs started, so that the try measures
# the installer alone.
fresh_prefix() {
  end_prefix
  export WINEPREFIX=$wine_dir/run-$1
  rm -rf "$WINEPREFIX"
  cp -a "$wine_dir/template/." "$WINEPREFIX/"
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
  sleep 1
}
end_prefix() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
}
drive_c() { echo "$WINEPREFIX/drive_c"; }
# found PATTERN: the first path under drive C: that the glob matches.
found() {
  local IFS=$'\n' match
  for match in $(drive_c)/$1; do [ -e "$match" ] && { echo "$match"; return 0; }; done
  return 1
}

# The files of a tree with their hashes, in a stable order.
tree_hashes() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }

# --- The two installers of a corpus; their build times go to results[].
declare -A results
nsis_target=""
[ -d /usr/share/nsis/Stubs ] && ls /usr/share/nsis/Stubs | grep -q 'amd64-unicode' && nsis_target="Target amd64-unicode"
pack_corpus() {
  local name=$1 dir=$work/$1 t
  echo "install-bench: packing $name" >&2
  timed t "$pack" build "$dir/corpus/setup.dat" --files "$dir/corpus/files" --stub "$stub" -o "$dir/plove-setup.exe" \
    --quiet
  results[$name:plove:build]=$t
  if [ -n "$baseline_stub" ]; then
    "$baseline_pack" build "$dir/corpus/setup.dat" --files "$dir/corpus/files" --stub "$baseline_stub" \
      -o "$dir/base-setup.exe" --quiet
  fi
  cat > "$dir/bench.nsi" <<EOF
Unicode true
$nsis_target
SetCompressor lzma
Name "Bench"
OutFile "$dir/nsis-setup.exe"
InstallDir "\$PROGRAMFILES32\\BenchNSIS"
RequestExecutionLevel admin
Section
  SetOutPath "\$INSTDIR"
  File /r "$dir/corpus/files/*"
  CreateDirectory "\$PROGRAMFILES32\\BenchNSISUninstall"
  WriteUninstaller "\$PROGRAMFILES32\\BenchNSISUninstall\\uninstall.exe"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\BenchNSIS" "DisplayName" "Bench"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\BenchNSIS" "UninstallString" \
    "\$PROGRAMFILES32\\BenchNSISUninstall\\uninstall.exe"
SectionEnd
Section "Uninstall"
  RMDir /r "\$PROGRAMFILES32\\BenchNSIS"
SectionEnd
EOF
  if has_kind nsis; then
    timed t makensis -V1 "$dir/bench.nsi"
    results[$name:nsis:build]=$t
  fi
  # The 32-bit installers.
  if has_kind plove32; then
    timed t "$pack" build "$dir/corpus/setup.dat" --files "$dir/corpus/files" --stub "$stub32" \
      -o "$dir/plove32-setup.exe" --quiet
    results[$name:plove32:build]=$t
  fi
  grep -v '^Target ' "$dir/bench.nsi" | sed 's|nsis-setup\.exe|nsis32-setup.exe|' > "$dir/bench32.nsi"
  if has_kind nsis32; then
    timed t makensis -V1 "$dir/bench32.nsi"
    results[$name:nsis32:build]=$t
  fi
  cat > "$dir/bench.iss" <<ISS
[Setup]
AppName=BenchInno
AppVersion=1.0
DefaultDirName={autopf}\BenchInno
UninstallFilesDir={autopf}\BenchInnoUninstall
DisableProgramGroupPage=yes
OutputDir=$(winpath "$dir")
OutputBaseFilename=inno-setup
Compression=lzma
SolidCompression=yes
WizardStyle=modern
[Files]
Source: "$(winpath "$dir/corpus/files")\*"; DestDir: "{app}"; Flags: ignoreversion recursesubdirs createallsubdirs
ISS
  if has_kind inno; then
    fresh_prefix inno-compile
    timed t wine "$iscc" /Q "$(winpath "$dir/bench.iss")"
    end_prefix
    results[$name:inno:build]=$t
  fi
  local kind
  for kind in plove nsis plove32 nsis32 inno; do
    if has_kind "$kind"; then results[$name:$kind:size]=$(stat -c %s "$dir/$kind-setup.exe"); fi
  done
  tree_hashes "$dir/corpus/files" > "$dir/corpus.sha256"
}

# install CORPUS KIND TRY [memory]: one silent install; prints "wall
# exit-code uninstaller-bytes" (or the memory lines), and leaves the hashes
# of the installed tree in CORPUS/KIND.sha256.
install() {
  local name=$1 kind=$2 try=$3 mode=${4:-time} dir=$work/$1
  # A script that places no program or DLL counts as a 64-bit product: it
  # goes to "Program Files" then.
  local exe=$dir/$kind-setup.exe args=(--silent) tree="Program Files*/Bench"
  local uninstaller="Program Files*/PloveUninstall/Uninstall-Bench.exe"
  case $kind in
    nsis|nsis32)
      args=(/S) tree="Program Files (x86)/BenchNSIS"
      uninstaller="Program Files (x86)/BenchNSISUninstall/uninstall.exe" ;;
    inno)
      args=(/VERYSILENT /SUPPRESSMSGBOXES /NORESTART) tree="Program Files (x86)/BenchInno"
      uninstaller="Program Files (x86)/BenchInnoUninstall/unins000.exe" ;;
    xcopy)
      exe=xcopy args=(/E /I /Q /Y 'C:\BenchPlaced' 'C:\Program Files\BenchCopy') tree="Program Files/BenchCopy"
      uninstaller=none ;;
  esac
  fresh_prefix "$name-$kind-$try"
  # The plain copy's source: the tree as another installer left it, its
  # bytes in the page cache as the installers' are.
  [ "$kind" != xcopy ] || cp -a "$dir/corpus/files" "$(drive_c)/BenchPlaced"
  [ "$kind" = xcopy ] || cat "$exe" > /dev/null  # in the page cache for every try alike
  sync  # the copied prefix and the last try's files on disk, not written during this try
  local out
  if [ "$mode" = memory ]; then
    out=$(python3 "$probe" memory "$(basename "$exe")" wine "$exe" "${args[@]}")
  else
    out=$(python3 "$probe" time - wine "$exe" "${args[@]}")
    local copy; copy=$(found "$uninstaller") || true
    out="$out $(stat -c %s "$copy" 2>/dev/null || echo 0)"
    local installed; installed=$(found "$tree") || true
    tree_hashes "$installed" > "$dir/$kind.sha256" 2>/dev/null || true
  fi
  end_prefix
  echo "$out"
}

# BENCH_BASELINE_STUB=PATH: also an installer of each corpus with that stub
# (the product before a change), installed in turn with the others;
# BENCH_BASELINE_PACKER=PATH packs it with that plovepack (the packer before
# a change) instead of the one built here.
baseline_stub=${BENCH_BASELINE_STUB:-}
baseline_pack=${BENCH_BASELINE_PACKER:-$pack}
read -r -a kinds <<< "${BENCH_KINDS:-plove nsis plove32 nsis32 inno xcopy}"
[ -z "$baseline_stub" ] || kinds=(plove base "${kinds[@]:1}")
has_kind() { [[ " ${kinds[*]} " == *" $1 "* ]]; }
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for name in "${corpora[@]}"; do
  prepare_corpus "$name"
  pack_corpus "$name"
  echo "install-bench: installing $name ($runs tries each)" >&2
  # The tries of the installers take turns, so that a change in the
  # machine's load falls on each alike.
  declare -A walls=()
  for try in $(seq "$runs"); do
    for kind in "${kinds[@]}"; do
      read -r wall code uninstaller < <(install "$name" "$kind" "$try")
      [ "$code" = 0 ] || echo "install-bench: $name $kind try $try ended with exit code $code" >&2
      cmp -s "$work/$name/corpus.sha256" "$work/$name/$kind.sha256" ||
        { echo "install-bench: the $name $kind tree differs from the corpus" >&2; exit 1; }
      walls[$kind]+="$wall "
      results[$name:$kind:uninstaller]=$uninstaller
    done
  done
  for kind in "${kinds[@]}"; do
    results[$name:$kind:times]=$(printf '%s\n' ${walls[$kind]} | sort -n |
      awk '{ v[NR] = $1 } END { printf "%s %s", v[1], v[int((NR + 1) / 2)] }')
    # Peak memory of the 64-bit pair (Inno's work is done by a process of
    # another name).
    case $kind in plove|nsis) install "$name" "$kind" memory memory > "$work/$name/$kind.memory" ;; esac
  done
  unset walls
  results[$name:files]="$(du -sm "$work/$name/corpus/files" | cut -f1) MB in $(find "$work/$name/corpus/files" -type f | wc -l) files"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- Open times: one member of a few bytes placed first, then incompressible
# data, so that the installer is as large as its payload.
open_rows=()
if [ "${BENCH_OPEN:-1}" != 0 ]; then
  echo "install-bench: open times" >&2
  for size in 10 200 1024; do
    src=$bench/open-$size
    if [ ! -f "$src/setup.exe" ]; then
      rm -rf "$src" && mkdir -p "$src/files"
      printf 'first\r\n' > "$src/files/first.txt"
      lines='[Project Name]\r\nOpen\r\n[Install To]\r\n<Program Files>Open\\\r\n'
      lines+='[CopyFile]\r\nfirst.txt\r\n<Destination>first.txt\r\n'
      parts=$(( size >= 64 ? size / 64 : 1 ))
      for i in $(seq "$parts"); do
        head -c $(( size * 1024 * 1024 / parts )) /dev/urandom > "$src/files/data$i.bin"
        lines+="[CopyFile]\r\ndata$i.bin\r\n<Destination>data$i.bin\r\n"
      done
      printf "$lines" > "$src/setup.dat"
      "$pack" build "$src/setup.dat" --files "$src/files" --stub "$stub" -o "$src/setup.exe" --level 0 --quiet
      rm -rf "$src/files"
    fi
    cat "$src/setup.exe" > /dev/null
    fresh_prefix open-window
    window=$(python3 "$probe" window - wine "$src/setup.exe")
    fresh_prefix open-silent
    first="$(drive_c)/Program Files (x86)/Open/first.txt|$(drive_c)/Program Files/Open/first.txt"
    start=$(python3 "$probe" file "$first" wine "$src/setup.exe" --silent)
    end_prefix
    open_rows+=("$(stat -c %s "$src/setup.exe") $window $start")
  done
fi

# --- A stored member written out against a plain copy, under Wine.
fresh_prefix stored
stored_rows=$(wine "$root/win64/bench/stored_decode_bench.exe" 100 'C:\stored-bench' 2>/dev/null | tr -d '\r')
end_prefix

# --- The table.
# (Empty where a kind was left out of the run.)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "" && b + 0 != 0) printf "%.2fx", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
row() { printf '%-46s %16s %16s %8s  %s\n' "$@"; }
row4() { printf '%-46s %14s %14s %14s %8s %8s\n' "$@"; }
first() { echo "${1%% *}"; }
second() { local rest=${1#* }; echo "${rest%% *}"; }

printf '\nInstall benchmark: %s processors, %s; load average %s before the installs, %s after\n' \
  "$(nproc)" "$(wine --version)" "$load_before" "$load_after"
printf 'NSIS: makensis %s, %s, non-solid LZMA, with an uninstaller and an Uninstall entry\n' \
  "$(makensis -VERSION)" "${nsis_target:-x86-unicode stub}"
printf 'Inno Setup: npm innosetup %s (ISCC.exe under Wine), solid LZMA, its uninstaller and entry\n' \
  "$(sed -n 's/.*"version": *"\([^"]*\)".*/\1/p' "$inno_dir/node_modules/innosetup/package.json" | head -n 1)"
for name in "${corpora[@]}"; do
  printf '\nCorpus "%s": %s\n' "$name" "${results[$name:files]:-}"
  row "measure" "plovepack" "NSIS" "ratio" "target"
  pb=$(first "${results[$name:plove:build]:-}") nb=$(first "${results[$name:nsis:build]:-}")
  row "build, wall s" "$pb" "$nb" "$(ratio "$pb" "$nb")" "<= 0.50x"
  ps=${results[$name:plove:size]:-} ns=${results[$name:nsis:size]:-}
  row "installer size, bytes" "$ps" "$ns" "$(ratio "$ps" "$ns")" "<= 1.00x"
  pt=${results[$name:plove:times]:-} nt=${results[$name:nsis:times]:-}
  row "silent install, s (min of $runs)" "$(first "$pt")" "$(first "$nt")" "$(ratio "$(first "$pt")" "$(first "$nt")")" \
    "<= 0.60x"
  row "silent install, s (median of $runs)" "$(second "$pt")" "$(second "$nt")" \
    "$(ratio "$(second "$pt")" "$(second "$nt")")" "<= 0.60x"
  if [ -n "$baseline_stub" ]; then
    bt=${results[$name:base:times]:-}
    row "silent install, s (min / median), baseline" "$(first "$pt") / $(second "$pt")" "$(first "$bt") / $(second "$bt")" \
      "$(ratio "$(first "$pt")" "$(first "$bt")")" "against the baseline stub"
  fi
  if has_kind xcopy; then
    xt=${results[$name:xcopy:times]:-}
    row "plain copy (xcopy /E), s (min / median)" "$(first "$xt") / $(second "$xt")" "" "" ""
    row "silent install against the plain copy (min)" "$(first "$pt")" "$(first "$xt")" \
      "$(ratio "$(first "$pt")" "$(first "$xt")")" "<= 1.25x"
    row "the same, median" "$(second "$pt")" "$(second "$xt")" "$(ratio "$(second "$pt")" "$(second "$xt")")" ""
    if has_kind plove32; then
      p32=${results[$name:plove32:times]:-}
      row "x86 stub against the plain copy (min / median)" "$(first "$p32") / $(second "$p32")" \
        "$(first "$xt") / $(second "$xt")" "$(ratio "$(first "$p32")" "$(first "$xt")")" "<= 1.25x"
    fi
  fi
  row "uninstaller left, bytes" "${results[$name:plove:uninstaller]:-}" "${results[$name:nsis:uninstaller]:-}" \
    "$(ratio "${results[$name:plove:uninstaller]:-}" "${results[$name:nsis:uninstaller]:-}")" "< 1 MB"
  while read -r role peak anon; do
    row "peak memory, $role process (RSS / private)" "$(mib "$peak") / $(mib "$anon")" "" "" \
      "$([ "$role" = elevated ] && echo "private <= 64 MiB above the 8 MiB dictionary")"
  done < <(cat "$work/$name/plove.memory" 2>/dev/null)
  n=0
  while read -r role peak anon; do
    n=$((n + 1))
    row "peak memory, NSIS process $n (RSS / private)" "" "$(mib "$peak") / $(mib "$anon")" "" ""
  done < <(cat "$work/$name/nsis.memory" 2>/dev/null)
  row "installed trees equal the corpus (SHA-256)" "yes" "yes" "" ""
  packed=$("$pack" list "$work/$name/plove-setup.exe" | awk '$3 == "stored" { n++; b += $2 } END { printf "%d members, %.1f MB", n, b / 1e6 }')
  row "stored members" "$packed" "" "" ""
  if has_kind plove32 && has_kind nsis32 && has_kind inno; then
    printf '\n  32-bit installers, corpus "%s"\n' "$name"
    row4 "measure" "plovepack x86" "NSIS x86" "Inno Setup" "to NSIS" "to Inno"
    for m in build size times uninstaller; do
      a=${results[$name:plove32:$m]:-} b=${results[$name:nsis32:$m]:-} c=${results[$name:inno:$m]:-}
      case $m in
        build) label="build, wall s" a=$(first "$a") b=$(first "$b") c=$(first "$c") ;;
        size) label="installer size, bytes" ;;
        times) label="silent install, s (min of $runs)" a=$(first "$a") b=$(first "$b") c=$(first "$c") ;;
        uninstaller) label="uninstaller left, bytes" ;;
      esac
      row4 "$label" "$a" "$b" "$c" "$(ratio "$a" "$b")" "$(ratio "$a" "$c")"
    done
    pt=${results[$name:plove32:times]:-} nt=${results[$name:nsis32:times]:-} it=${results[$name:inno:times]:-}
    row4 "silent install, s (median of $runs)" "$(second "$pt")" "$(second "$nt")" "$(second "$it")" \
      "$(ratio "$(second "$pt")" "$(second "$nt")")" "$(ratio "$(second "$pt")" "$(second "$it")")"
  fi
done
echo
row "installer stub, bytes (x86 / x64)" "$(stat -c %s "$stub32") / $(stat -c %s "$stub")" "" "" ""
echo
for r in "${open_rows[@]}"; do
  read -r bytes window start <<< "$r"
  row "open, $(awk -v b="$bytes" 'BEGIN { printf "%.0f MB", b / 1e6 }') installer: first window / silent start, s" \
    "$window / $start" "" "" "<= 0.5 s at 1 GiB"
done
echo
echo "Stored members under Wine (best of 5, the bytes in the page cache):"
sed 's/^/  /' <<< "$stored_rows"
echo
echo "Integrity sums, natively (1 GiB in memory):"
"$root/host-release/bench/checksum_bench" 1024 | sed 's/^/  /'
