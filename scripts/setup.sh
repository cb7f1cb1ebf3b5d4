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

if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  as_root apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
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
