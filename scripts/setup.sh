#!/usr/bin/env bash
# Installs everything the build and the tests need, from the machine's own
# Debian package sources only. Safe to run again: it does nothing that is
# already done.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps="$here/build/deps-src"

packages=(
  cmake ninja-build g++ make pkg-config dpkg-dev
  mingw-w64 g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 fonts-wine fonts-liberation xvfb xauth x11-apps imagemagick icoutils
  liblzma-dev googletest xz-utils python3 procps
  python3-yaml python3-jsonschema osslsigncode openssl nodejs zip unzip
)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# npm comes with some builds of nodejs and as a package of its own with Debian's.
command -v npm >/dev/null || missing+=(npm)

# Source entries: the same URIs and suites as the binary entries the machine
# already has, with the type changed. No host name is written anywhere here.
src_list=/etc/apt/sources.list.d/plove-deb-src.sources
need_update=0
if [ ! -f "$src_list" ]; then
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # deb822 stanzas: keep those whose Types list "deb", and make them deb-src.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
      { n = split($0, line, "\n"); keep = 0; out = ""
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^Types:/) { if ((" " line[i] " ") ~ / deb /) keep = 1; line[i] = "Types: deb-src" }
          out = out line[i] "\n"
        }
        if (keep) printf "%s\n", out }' "$f" >> "$tmp"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$tmp.list"
  done
  [ -s "$tmp" ] && as_root install -m 644 "$tmp" "$src_list"
  [ -s "$tmp.list" ] && as_root install -m 644 "$tmp.list" /etc/apt/sources.list.d/plove-deb-src.list
  rm -f "$tmp" "$tmp.list"
  need_update=1
fi

# An index that is out of step (a mirror in the middle of a sync, often one
# architecture's security index) makes apt-get update fail although the rest
# is usable: say so and go on; an install that really lacks something fails
# on its own.
apt_update() {
  as_root apt-get update -q || echo "setup: apt-get update reported errors (see above); going on"
}

if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  apt_update
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The 32-bit Windows programs (the shipped installer, the i686 test suites)
# run under Wine's WoW64: Debian's wine32:i386 beside wine64. Only where this
# machine runs 32-bit programs at all: elsewhere wine32 cannot start and
# breaks /usr/bin/wine for the 64-bit programs too.
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
if bash "$here/scripts/wine/runs-32bit.sh"; then
  if ! installed wine32:i386; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      as_root dpkg --add-architecture i386
    fi
    apt_update
    echo "setup: installing wine32:i386"
    if ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends wine32:i386; then
      # The i386 index of a suite beside the main one (security updates) may
      # lag behind its amd64 index, and wine32's libraries must then match
      # amd64 libraries apt cannot see for i386. Take both architectures from
      # the main suite of this release for this one install.
      codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
      [ -n "$codename" ] || { echo "setup: no release codename in /etc/os-release" >&2; exit 1; }
      pin=$(mktemp)
      printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$codename" > "$pin"
      chmod 644 "$pin"
      echo "setup: installing wine32:i386 from the $codename suite, with the libraries it shares with amd64"
      as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends --allow-downgrades \
        -o Dir::Etc::Preferences="$pin" wine32:i386 || { rm -f "$pin"; exit 1; }
      rm -f "$pin"
    fi
  fi
  echo "setup: 32-bit programs run here: Wine runs the i686 Windows suites (WoW64)"
else
  if installed wine32:i386; then
    echo "setup: removing wine32:i386, which cannot run here and breaks /usr/bin/wine"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q wine32:i386
  fi
  echo "setup: this machine does not run 32-bit programs: wine32 is not installed and the i686 Windows suites are skipped"
fi

# liblzma for the Windows targets is compiled from Debian's xz-utils source.
if ! ls -d "$deps"/xz-utils-*/CMakeLists.txt >/dev/null 2>&1; then
  mkdir -p "$deps"
  (cd "$deps" && apt-get source -q xz-utils)
fi
readlink -f "$(ls -d "$deps"/xz-utils-*/ | head -n 1)" > "$deps/xz-utils.path"

# A PowerShell parser for the tests of the Chocolatey scripts: tree-sitter's
# PowerShell grammar with its WebAssembly runtime, from npm (nothing to
# compile, no install scripts run).
npm_dir="$deps/npm"
if [ ! -f "$npm_dir/node_modules/tree-sitter-powershell/tree-sitter-powershell.wasm" ] ||
   [ ! -f "$npm_dir/node_modules/web-tree-sitter/package.json" ]; then
  mkdir -p "$npm_dir"
  (cd "$npm_dir" && npm install --no-save --ignore-scripts --no-audit --no-fund --loglevel=error \
     web-tree-sitter@0.25.10 tree-sitter-powershell@0.26.4)
fi
echo "setup: ready"
