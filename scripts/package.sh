#!/usr/bin/env bash
# package.sh [--no-build] [OUTDIR]
# Makes the packages of Plove Install in OUTDIR (default build/packages):
#   plove-install_VERSION_amd64.deb             Debian 12: /usr/bin/plovepack, the stubs in
#                                               /usr/share/plove-install/stubs/
#   plove-install-VERSION-linux-x86_64.tar.gz   the same layout for any x86-64 Linux
#   plove-install-VERSION-windows-x64.zip       plovepack.exe (64-bit) with stubs\ beside it
# each with the guide (publishing.md) and the licence texts. The Linux
# packer comes from the optimised host tree (host-release), the stubs from
# the win32 and win64 trees, the Windows packer from win64; all of them are
# set up and built first (scripts/setup.sh, scripts/build.sh) unless
# --no-build says they are built already.
#
# The same sources give the same bytes: every date is SOURCE_DATE_EPOCH (by
# default the time of the last commit), entries are sorted, owners are 0,
# modes are 0644 or 0755, gzip stores no name or time, the zip holds no
# extra fields and its times are read in UTC.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${PLOVE_BUILD_ROOT:-$top/build}
build=1
if [ "${1:-}" = "--no-build" ]; then build=0; shift; fi
out=${1:-$root/packages}
mkdir -p "$out" && out=$(cd "$out" && pwd)

version=$(sed -n 's/^project(PloveInstall VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct 2>/dev/null) ||
    { echo "package.sh: not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

if [ $build = 1 ]; then
  bash "$top/scripts/setup.sh"
  bash "$top/scripts/build.sh" host-release win32
  # Of the win64 tree only what the packages carry, not its test suites
  # (configured as scripts/build.sh configures it).
  if [ ! -f "$root/win64/build.ninja" ]; then
    cmake -S "$top" -B "$root/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
  fi
  cmake --build "$root/win64" -j "$(nproc)" --target plovepack setup_stub
fi

stage=$out/.stage
rm -rf "$stage"
mkdir -p "$stage"
trap 'rm -rf "$stage"' EXIT

# Same modes and dates whatever the umask and the build's own times.
normalise() {
  find "$1" -type d -exec chmod 0755 {} +
  find "$1" -type f -exec chmod 0644 {} +
  find "$1" -type f \( -name plovepack -o -name '*.exe' \) -exec chmod 0755 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

install_tree() {  # install_tree TREE PREFIX [DESTDIR]
  DESTDIR=${3:-} cmake --install "$root/$1" --prefix "$2" --strip >/dev/null
}

# The Debian package.
deb_root=$stage/deb
install_tree host-release /usr "$deb_root"
doc=$deb_root/usr/share/doc/plove-install
# Debian keeps manual pages compressed.
gzip -9 -n "$deb_root/usr/share/man/man1/plovepack.1"
cat > "$doc/copyright" <<EOF
Plove Install $version: plovepack, the packer of self-extracting installers
for Windows, and the installer stubs it packs into.

The licences of Plove Install and of the code that its programs carry from
elsewhere (liblzma, the mingw-w64 runtime, GCC's runtime libraries) are in
/usr/share/doc/plove-install/licenses/ (README.txt there says which is which).
EOF
# Depends: what the packer links, as dpkg-shlibdeps finds it.
mkdir -p "$stage/shlibs/debian"
printf 'Source: plove-install\n\nPackage: plove-install\nArchitecture: amd64\n' > "$stage/shlibs/debian/control"
depends=$(cd "$stage/shlibs" && dpkg-shlibdeps -O "$deb_root/usr/bin/plovepack" 2>/dev/null |
          sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
normalise "$deb_root"
installed_size=$(du -s -k --apparent-size "$deb_root/usr" | cut -f1)
mkdir -p "$deb_root/DEBIAN"
# The maintainer's name and address: PLOVE_MAINTAINER="Name <address>";
# without one apt warns on every command while the package is installed,
# so there is always one. PLOVE_HOMEPAGE="https://..." adds a Homepage.
maintainer="Maintainer: ${PLOVE_MAINTAINER:-Plove Install developers <plove-install@packages.invalid>}
"
homepage=${PLOVE_HOMEPAGE:+Homepage: $PLOVE_HOMEPAGE
}
cat > "$deb_root/DEBIAN/control" <<EOF
Package: plove-install
Version: $version
Architecture: amd64
${maintainer}${homepage}Depends: $depends
Installed-Size: $installed_size
Section: devel
Priority: optional
Description: packer of self-extracting installers for Windows software
 plovepack turns an install script (setup.dat) and the files of a product
 into one setup.exe: a self-extracting, script-driven installer for Windows
 that leaves an uninstaller behind. It also writes winget manifests and
 Chocolatey packages for the installers it builds. The installer stubs for
 32-bit and 64-bit Windows come with it.
EOF
normalise "$deb_root"
chmod 0644 "$deb_root/DEBIAN/control"
deb=$out/plove-install_${version}_amd64.deb
[ -n "${PLOVE_MAINTAINER:-}" ] ||
  echo "package.sh: the .deb names a placeholder maintainer: set PLOVE_MAINTAINER=\"Name <address>\" to give yours"
dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$deb_root" "$deb" 2>&1 >/dev/null |
  { grep -v -e "missing 'Maintainer' field" -e "ignoring 1 warning about the control file" -e "^dpkg-deb: warning: parsing file" || true; } >&2

# The tarball and the zip: a folder each, named after the package.
archive_folder() {  # archive_folder TREE NAME
  local folder=$stage/$2/$2
  install_tree "$1" "$folder"
  if [ -f "$folder/share/man/man1/plovepack.1" ]; then gzip -9 -n "$folder/share/man/man1/plovepack.1"; fi
  normalise "$stage/$2"
}
linux=plove-install-$version-linux-x86_64
archive_folder host-release "$linux"
tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
  -C "$stage/$linux" -cf - "$linux" | gzip -9 -n > "$out/$linux.tar.gz"

windows=plove-install-$version-windows-x64
archive_folder win64 "$windows"
rm -f "$out/$windows.zip"
(cd "$stage/$windows" && find "$windows" -type f | sort | zip -X -D -q -9 "$out/$windows.zip" -@)

for made in "$deb" "$out/$linux.tar.gz" "$out/$windows.zip"; do
  echo "package.sh: $(sha256sum "$made" | cut -d' ' -f1)  $made"
done
