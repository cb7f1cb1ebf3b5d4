#!/usr/bin/env bash
# packages.sh TOP BUILD_ROOT WORK
# The packages of scripts/package.sh, made from the trees already built
# under BUILD_ROOT (host-release, win32, win64):
# - made twice, under another umask and time zone, they are the same bytes;
#   another SOURCE_DATE_EPOCH gives other bytes (the dates are in them);
# - the .deb: its control fields (dpkg-deb -I), Depends naming only what
#   the packer links, and its files (dpkg-deb -c), owned by root, dated
#   SOURCE_DATE_EPOCH;
# - the quick start on the .deb's files (dpkg-deb -x): the example packed
#   without --stub, for x86 and with --arch x64, passes plovepack verify,
#   and plovepack --version, the packer named in the installer's version
#   block (plovepack list) and the project's version agree;
# - the .tar.gz holds the same files as the .deb in the installed layout
#   and its packer finds its stubs too; the .zip holds plovepack.exe with
#   stubs\ beside it, sorted, dated, without extra fields.
# Exit 77 (skipped) when a tree has not been built.
set -uo pipefail
top=$1 root=$2 work=$3
for built in host-release/src/packer/plovepack win32/src/app/setup-stub-x86.exe win64/src/app/setup-stub-x64.exe \
             win64/src/packer/plovepack.exe win32/examples/hello/hello-app.exe; do
  [ -f "$root/$built" ] || { echo "no $root/$built: skipped (scripts/build.sh host-release win32 win64)"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }
version=$(sed -n 's/^project(PloveInstall VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
epoch=$(git -C "$top" log -1 --format=%ct 2>/dev/null || echo 1700000000)
package() {  # package OUTDIR: the three packages, made from the built trees
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$epoch} PLOVE_BUILD_ROOT=$root bash "$top/scripts/package.sh" --no-build "$1" \
    >/dev/null || fail "package.sh $1"
}
deb=plove-install_${version}_amd64.deb
tgz=plove-install-$version-linux-x86_64.tar.gz
zip=plove-install-$version-windows-x64.zip

package one
(umask 077 && TZ=Pacific/Kiritimati package two)
SOURCE_DATE_EPOCH=$((epoch + 86400)) package later
for made in "$deb" "$tgz" "$zip"; do
  cmp -s "one/$made" "two/$made" || fail "$made differs when made again"
  cmp -s "one/$made" "later/$made" && fail "$made does not change with SOURCE_DATE_EPOCH"
done
echo "made twice, the same bytes: $deb, $tgz, $zip"

# The .deb's control fields and files.
field() { dpkg-deb -f "one/$deb" "$1" 2>/dev/null; }
[ "$(field Package) $(field Version) $(field Architecture)" = "plove-install $version amd64" ] ||
  fail "control: $(dpkg-deb -I "one/$deb" 2>&1)"
depends=$(field Depends | tr ',' '\n' | sed -E 's/^ *//; s/ .*//' | sort | tr '\n' ' ')
[ "$depends" = "libc6 libgcc-s1 liblzma5 libstdc++6 " ] || fail "Depends: $(field Depends)"
date=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M')
listing=$(TZ=UTC dpkg-deb -c "one/$deb")
bad=$(awk -v date="$date" '$2 != "root/root" || $4 " " $5 != date' <<<"$listing")
[ -z "$bad" ] || fail "entries not owned by root or not dated $date: $bad"
files=$(awk '$1 ~ /^-/ { print $1, $6 }' <<<"$listing")
expected="-rwxr-xr-x ./usr/bin/plovepack
-rw-r--r-- ./usr/share/doc/plove-install/copyright
-rw-r--r-- ./usr/share/doc/plove-install/licenses/README.txt
-rw-r--r-- ./usr/share/doc/plove-install/licenses/gcc-runtime.txt
-rw-r--r-- ./usr/share/doc/plove-install/licenses/liblzma.txt
-rw-r--r-- ./usr/share/doc/plove-install/licenses/mingw-w64.txt
-rw-r--r-- ./usr/share/doc/plove-install/publishing.md
-rw-r--r-- ./usr/share/man/man1/plovepack.1.gz
-rwxr-xr-x ./usr/share/plove-install/stubs/setup-stub-x64.exe
-rwxr-xr-x ./usr/share/plove-install/stubs/setup-stub-x86.exe"
[ -f "$top/LICENSE" ] && expected=$(sed 's|^\(.*licenses/\)README.txt$|-rw-r--r-- ./usr/share/doc/plove-install/licenses/LICENSE.txt\n&|' <<<"$expected")
[ "$files" = "$expected" ] || fail "files of the .deb: $(diff <(echo "$expected") <(echo "$files"))"
[ -n "$(field Maintainer)" ] || fail "no Maintainer field"
echo "deb: $(field Depends); $(wc -l <<<"$files") files, root/root, $date"

# The quick start on the .deb's files, with the bundled example.
dpkg-deb -x "one/$deb" debroot || fail "dpkg-deb -x"
pack=debroot/usr/bin/plovepack
[ "$("$pack" --version | head -n 1)" = "plovepack $version" ] || fail "--version: $("$pack" --version)"
"$pack" --version | grep -q 'MIT licence' || fail "--version names no licence"
hello=$top/examples/hello
for arch in x86 x64; do
  "$pack" build "$hello/setup.dat" --files "$hello/files" --add "hello-app.exe=$root/win32/examples/hello/hello-app.exe" \
    --arch "$arch" -o "hello-$arch.exe" --quiet || fail "build --arch $arch"
  "$pack" verify "hello-$arch.exe" >/dev/null || fail "verify hello-$arch.exe"
  # The version block names the product, and the packer that built it.
  "$pack" list "hello-$arch.exe" | grep -qx "  Comments: Built with plovepack $version" ||
    fail "list hello-$arch.exe: $("$pack" list "hello-$arch.exe" | head -n 12)"
  made=$("$pack" manifest "hello-$arch.exe" --id Plove.Hello --url https://x.example/h.exe | grep -c "Architecture: $arch")
  [ "$made" = 1 ] || fail "hello-$arch.exe is not an $arch installer"
done
echo "quick start from the .deb: the example packed without --stub (x86 and x64), verified, version $version"

# The tarball: the same files in the installed layout, and its packer finds its stubs.
tar tzvf "one/$tgz" | awk '$2 != "0/0" { exit 1 }' || fail "tarball entries not owned by 0/0"
mkdir tarroot && tar xzf "one/$tgz" -C tarroot || fail "tar x"
(cd debroot/usr && find . -type f ! -name copyright | sort) > deb-files
(cd "tarroot/plove-install-$version-linux-x86_64" && find . -type f | sort) > tar-files
cmp -s deb-files tar-files || fail "tarball files: $(diff deb-files tar-files)"
mkdir tar && "tarroot/plove-install-$version-linux-x86_64/bin/plovepack" build "$hello/setup.dat" --files "$hello/files" \
  --add "hello-app.exe=$root/win32/examples/hello/hello-app.exe" -o tar/hello-x86.exe --quiet ||
  fail "build from the tarball"
# (The same output name: it is in the installer's version block.)
cmp -s tar/hello-x86.exe hello-x86.exe || fail "the tarball's packer made another installer"
echo "tarball: $(wc -l < tar-files) files as in the .deb; its packer makes the same installer"

# The zip.
python3 - "one/$zip" "plove-install-$version-windows-x64" "$epoch" <<'EOF' || fail "zip"
import sys, time, zipfile
z, top, epoch = zipfile.ZipFile(sys.argv[1]), sys.argv[2], int(sys.argv[3])
names = [i.filename for i in z.infolist()]
want = sorted(top + "/" + n for n in ["plovepack.exe", "publishing.md", "stubs/setup-stub-x64.exe",
                                      "stubs/setup-stub-x86.exe", "licenses/README.txt", "licenses/gcc-runtime.txt",
                                      "licenses/liblzma.txt", "licenses/mingw-w64.txt"])
names_wanted = [n for n in names if not n.endswith("/LICENSE.txt")]
stamp = time.gmtime(epoch)[:5]
bad = [i.filename for i in z.infolist() if i.extra or i.date_time[:5] != stamp]
if names_wanted != want or bad or z.testzip() is not None:
    print("zip entries %r, with extra fields or other dates: %r" % (names, bad))
    sys.exit(1)
print("zip: %d entries, sorted, no extra fields, dated %04d-%02d-%02d %02d:%02d UTC" % ((len(names),) + stamp))
EOF
